// Runs of the sample game on a save file whose slots name pages the story has not: a header of
// zeros (page 0, before the first page) and a save made before the scripts changed (a page past
// the story's last). The title's and the menu's load dialogs list such a slot as unreadable with
// its reason, the quick load says why in a box and the page stays, and the game plays on to F12
// with exit 0; savetool, given the game's data, lists them as unreadable too.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "playtest/playtest_run.h"
#include "support/client_save_file.h"
#include "support/sqlite_observer.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace playtest_test;
using testsupport::FileBytes;
using testsupport::TempFolder;

// The page number a slot's header stores, at offset 56, set to `page` (SQLite counts from 1).
std::string SetPage(int number, const char* page_hex) {
    return "UPDATE entry SET header=substr(header, 1, 56) || X'" + std::string(page_hex) +
           "' || substr(header, 61) WHERE number=" + std::to_string(number) + ";";
}

TEST(UnresumableSave, ASlotWhosePageTheStoryHasNotIsListedUnreadableAndTheGamePlaysOn) {
    const std::string client = testsupport::FindSqliteClient(SQLITE3_CLIENT);
    ASSERT_FALSE(client.empty()) << testsupport::kSqliteClientMissing;
    TempFolder made("playtest_unresumable_made");
    const PlayRun first = RunPlaytest(DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "damaged_save_first.txt",
                                      "--settings '" + made.path().string() + "'");
    ASSERT_EQ(first.status, 0) << first.errors;
    const std::string original = FileBytes(made / "save.dat");

    const struct {
        const char* what;
        std::string sql;  // slot 3 (the menu's save) and 91 (the quick save)
    } cases[] = {
        {"headers of zeros", "UPDATE entry SET header=zeroblob(65796);"},
        {"saves from before the scripts changed", SetPage(3, "0F270000") + SetPage(91, "10270000")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder settings("playtest_unresumable");
        const fs::path file = settings / "save.dat";
        std::ofstream(file, std::ios::binary) << original;
        const testsupport::ToolRun damage = testsupport::RunSqliteClient(client, file, c.sql);
        ASSERT_EQ(damage.status, 0) << damage.errors;

        // savetool with the game's data lists both as unreadable, with the reason; without it the
        // pages are not checked, and it says so.
        const std::string quoted = "'" + file.string() + "'";
        const std::string unreadable = "\tunreadable\tthe story has no page the record resumes at\n";
        EXPECT_EQ(CommandOutput("'" SAVETOOL "' list " + quoted + " '" DEMO_DATA_DIR "'"),
                  "3" + unreadable + "91" + unreadable);
        EXPECT_EQ(CommandOutput("'" SAVETOOL "' show " + quoted + " 3 '" DEMO_DATA_DIR "'"),
                  "savetool: slot 3: the story has no page the record resumes at\n");
        const std::string unchecked = CommandOutput("'" SAVETOOL "' list " + quoted);
        EXPECT_EQ(unchecked.rfind("3\t", 0), 0u) << unchecked;
        EXPECT_NE(unchecked.find("\n91\t"), std::string::npos) << unchecked;
        EXPECT_NE(unchecked.find("savetool: no DATA given: the pages the slots resume at are not checked\n"),
                  std::string::npos)
            << unchecked;

        // The title's load of slot 3, the quick load of 91, a quick save, the menu's load of slot
        // 3, the title, a new game and F12.
        const PlayRun run = RunPlaytest(DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "damaged_save.txt",
                                        "--settings '" + settings.path().string() + "'");
        ExpectPlayedOnToTheEnd(run);
        if (run.log.empty()) continue;
        // Both load dialogs list slot 3 with why it cannot be loaded, and load nothing (the menu's
        // save between them chooses slot 5, which then carries the flag).
        const std::vector<std::string> items = FirstFields(run, "item");
        ASSERT_EQ(items.size(), 3u) << run.Kinds();
        for (const std::size_t load : {0u, 2u})
            EXPECT_EQ(items[load].substr(1), "03 ----/--/-- --:--:-- 再開できるページがありません");
        // The quick load's box, the one box of the run; the page it was asked on waits again.
        const std::vector<LogLine> boxes = run.Of("box");
        ASSERT_EQ(boxes.size(), 1u) << run.Kinds();
        EXPECT_EQ(boxes[0].fields.at(1),
                  "ロードできませんでした。\\nセーブスロット 91 が再開するページがシナリオにありません\\n");
        EXPECT_EQ(FirstFields(run, "request"), std::vector<std::string>{"0"}) << "the title only, no load";
    }
}

}  // namespace
