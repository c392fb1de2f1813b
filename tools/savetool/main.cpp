// savetool: prints what a save file holds (the slot list, one slot, the global records), read
// through the game's own save database. It never creates or changes the file. `--help` prints the
// usage; a command line it cannot read (an unknown option among them) ends it with 2, a file or
// record it cannot read with 1.
#include <charconv>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "save_report.h"
#include "tools/usage.h"

namespace {

constexpr const char* kUsage =
    "usage: savetool list SAVE [DATA]\n"
    "       savetool show SAVE NUMBER [DATA]\n"
    "       savetool globals SAVE\n"
    "DATA: the game's data folder; the slots are checked against the story it holds, as a load\n"
    "      checks them. Without it the page a slot resumes at is not checked, and a note says so.\n"
    "list: one line per occupied slot: number, YYYY/MM/DD HH:MM:SS, page, comment (tab-separated);\n"
    "      number, unreadable, reason for a slot that a load refuses.\n"
    "show: page N; scene I MODE NAME for the picture, second layer, music and the two sounds (I 0 to 4);\n"
    "      thumbnail SHA256 of its pixels, or blank for an all-zero area; var NAME VALUE in the order a\n"
    "      load sets them.\n"
    "globals: last-slot INDEX; hero1 NAME; hero2 NAME; seen PAGE...; scene NAME and album NAME lines;\n"
    "      latest-auto INDEX (a slot index is its number - 1; -1 for none).\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return tools::kUsageExit;
}

// A slot number 1 to 99, digits only.
bool ParseSlotNumber(std::string_view text, std::int32_t& number) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() && number >= 1 && number <= 99;
}

}  // namespace

int main(int argc, char** argv) {
    if (tools::AnswerHelp(argc, argv, kUsage)) return 0;
    for (int i = 1; i < argc; ++i) {
        if (tools::IsOption(argv[i])) return tools::RefuseOption("savetool", argv[i], kUsage);
    }
    if (argc < 3) return Usage();
    const std::string_view command = argv[1];
    savetool::Report report;
    std::int32_t number = 0;
    std::string data_folder;
    if (command == "list" && (argc == 3 || argc == 4)) {
        report = savetool::Report::kList;
        if (argc == 4) data_folder = argv[3];
    } else if (command == "globals" && argc == 3) {
        report = savetool::Report::kGlobals;
    } else if (command == "show" && (argc == 4 || argc == 5) && ParseSlotNumber(argv[3], number)) {
        report = savetool::Report::kShow;
        if (argc == 5) data_folder = argv[4];
    } else {
        return Usage();
    }
    try {
        const std::string lines = savetool::ReadSaveReport(argv[2], report, number, data_folder);
        std::fwrite(lines.data(), 1, lines.size(), stdout);
        if (std::fflush(stdout) != 0) return 1;
        // A slot listed without the story may still name a page the game cannot resume at.
        if (report != savetool::Report::kGlobals && data_folder.empty())
            std::fputs("savetool: no DATA given: the pages the slots resume at are not checked\n", stderr);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "savetool: %s\n", error.what());
        return 1;
    }
}
