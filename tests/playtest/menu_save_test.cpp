// The menu's save and load dialog across two runs of the sample game (menu_save_first.txt, then
// menu_save_second.txt on the same settings folder): the save dialog stores slot 3 with its
// comment, the load dialog of the next run marks it as the last used and loads it, and the story
// resumes at the saved page; skipping from there passes the pages the first run read without
// waiting and stops before the first page it did not.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "playtest/playtest_run.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace playtest_test;

constexpr int kSavedPage = 4;     // where the first run saves
constexpr int kLastReadPage = 8;  // where the first run quits
const std::string kComment = "灯台の前で";

// The text of each page wait's page: the last message before it, by page number.
std::vector<std::pair<int, std::string>> PageTexts(const PlayRun& run) {
    std::vector<std::pair<int, std::string>> texts;
    std::string last;
    for (const LogLine& line : run.log) {
        if (line.kind == "text") last = line.fields.at(1);
        if (line.kind == "page") texts.emplace_back(std::stoi(line.fields.at(1)), last);
    }
    return texts;
}

std::size_t IndexOf(const PlayRun& run, const std::string& kind, std::size_t from = 0) {
    for (std::size_t i = from; i < run.log.size(); ++i)
        if (run.log[i].kind == kind) return i;
    return run.log.size();
}

void ExpectCleanRun(const PlayRun& run) {
    EXPECT_EQ(run.status, 0) << run.errors;
    for (const char* kind : {"box", "error", "timeout", "grayed"})
        EXPECT_TRUE(run.Of(kind).empty()) << kind << ": " << run.Kinds();
}

TEST(MenuSave, ASlotSavedFromTheMenuIsLoadedInTheNextRunAndItsReadPagesAreSkipped) {
    testsupport::TempFolder settings("playtest_menu_save");
    const std::string settings_option = "--settings '" + settings.path().string() + "'";
    const std::string save_file = "'" + (settings.path() / "save.dat").string() + "'";

    // The first run: the save dialog lists slot 3 as empty and saves it on page 4.
    const PlayRun first =
        RunPlaytest(DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "menu_save_first.txt", settings_option);
    ExpectCleanRun(first);
    EXPECT_EQ(PageNumbers(first), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_EQ(first.Of("dialog").size(), 1u) << first.Kinds();
    EXPECT_EQ(first.Of("dialog")[0].fields.at(0), "セーブ");
    ASSERT_EQ(first.Of("item").size(), 1u);
    EXPECT_EQ(first.Of("item")[0].fields.at(0).substr(0, 23), " 03 ----/--/-- --:--:--");

    // Between the runs: slot 3 holds page 4 and the comment, it is the last used, and the pages
    // read are seen up to the last one.
    std::istringstream slots(CommandOutput("'" SAVETOOL "' list " + save_file + " '" DEMO_DATA_DIR "'"));
    std::string slot_line;
    ASSERT_TRUE(std::getline(slots, slot_line));
    EXPECT_EQ(slot_line.substr(0, 2), "3\t");
    EXPECT_NE(slot_line.find("\t" + std::to_string(kSavedPage) + "\t" + kComment), std::string::npos) << slot_line;
    EXPECT_FALSE(std::getline(slots, slot_line)) << "only slot 3";
    const std::string globals = CommandOutput("'" SAVETOOL "' globals " + save_file);
    EXPECT_NE(globals.find("last-slot 2\n"), std::string::npos) << globals;
    EXPECT_NE(globals.find("seen 0 1 2 3 4 5 6 7 8\n"), std::string::npos) << globals;

    // The second run: the load dialog marks slot 3 and loads it; the story resumes at page 4.
    const PlayRun second =
        RunPlaytest(DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "menu_save_second.txt", settings_option);
    ExpectCleanRun(second);
    ASSERT_EQ(second.Of("dialog").size(), 1u) << second.Kinds();
    EXPECT_EQ(second.Of("dialog")[0].fields.at(0), "ロード");
    ASSERT_EQ(second.Of("item").size(), 1u);
    const std::string item = second.Of("item")[0].fields.at(0);
    EXPECT_EQ(item.substr(0, 4), ">03 ") << item;
    EXPECT_NE(item.find(kComment), std::string::npos) << item;
    const std::size_t request = IndexOf(second, "request");
    ASSERT_LT(request, second.log.size()) << second.Kinds();
    EXPECT_EQ(second.log[request].fields.at(0), "1");
    EXPECT_LT(IndexOf(second, "item"), request);

    // After the load, the saved page, then the skip: pages 5 to 7 shown with no page wait, and the
    // wait on page 8, the last page read, after which the unread text begins.
    EXPECT_EQ(PageNumbers(second), (std::vector<int>{1, kSavedPage, kLastReadPage}));
    const std::vector<std::pair<int, std::string>> read = PageTexts(first);
    const std::vector<std::pair<int, std::string>> resumed = PageTexts(second);
    ASSERT_EQ(resumed.size(), 3u);
    EXPECT_EQ(resumed[1], read[kSavedPage - 1]) << "the saved page's text";
    EXPECT_EQ(resumed[2], read[kLastReadPage - 1]);
    std::vector<std::string> skipped;
    for (std::size_t i = IndexOf(second, "page", request) + 1; i < second.log.size() && second.log[i].kind != "page";
         ++i)
        if (second.log[i].kind == "text") skipped.push_back(second.log[i].fields.at(1));
    std::vector<std::string> expected;
    for (int page = kSavedPage + 1; page <= kLastReadPage; ++page) expected.push_back(read[page - 1].second);
    EXPECT_EQ(skipped, expected) << "each read page's text, in order";
}

}  // namespace
