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
    "usage: savetool list SAVE\n"
    "       savetool show SAVE NUMBER\n"
    "       savetool globals SAVE\n"
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
    if (command == "list" && argc == 3) {
        report = savetool::Report::kList;
    } else if (command == "globals" && argc == 3) {
        report = savetool::Report::kGlobals;
    } else if (command == "show" && argc == 4 && ParseSlotNumber(argv[3], number)) {
        report = savetool::Report::kShow;
    } else {
        return Usage();
    }
    try {
        const std::string lines = savetool::ReadSaveReport(argv[2], report, number);
        std::fwrite(lines.data(), 1, lines.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "savetool: %s\n", error.what());
        return 1;
    }
}
