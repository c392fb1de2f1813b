// The sample game on damaged copies of a save file it made (menu_save_first.txt makes it; each
// copy is then damaged in one record and played with menu_save_second.txt, which loads slot 3
// from the menu): the game plays to the end of the input and F12 ends it with 0; a record of
// which nothing can be read is told once, in one box; slot 3 still loads wherever it is intact,
// and savetool still lists it; a record of hundreds of megabytes costs little memory.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "playtest/playtest_run.h"
#include "support/sqlite_observer.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace playtest_test;

// The peak resident size in MiB (at most 250) of one run of `script` on the settings folder,
// measured in a child of its own so that no other run counts; -1 when the run did not end with 0.
long RunPeakMiB(const fs::path& settings, const fs::path& script) {
    const pid_t child = ::fork();
    if (child == 0) {
        const PlayRun run = RunPlaytest(DEMO_DATA_DIR, script, "--settings '" + settings.string() + "'");
        rusage usage{};
        ::getrusage(RUSAGE_CHILDREN, &usage);
        ::_exit(run.status == 0 ? static_cast<int>(std::min<long>(usage.ru_maxrss >> 10, 250)) : 255);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) != 255 ? WEXITSTATUS(status) : -1;
}

// Zeroes bytes [from, to) of slot 3's record in place, through SQLite's own blob writes.
void ZeroSlot3Header(const fs::path& file, int from, int to) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    sqlite3_blob* blob = nullptr;
    sqlite3_stmt* row = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT rowid FROM entry WHERE number=3;", -1, &row, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(row), SQLITE_ROW);
    ASSERT_EQ(sqlite3_blob_open(db, "main", "entry", "header", sqlite3_column_int64(row, 0), 1, &blob), SQLITE_OK);
    const std::vector<char> zeros(static_cast<std::size_t>(to - from));
    EXPECT_EQ(sqlite3_blob_write(blob, zeros.data(), to - from, from), SQLITE_OK);
    sqlite3_blob_close(blob);
    sqlite3_finalize(row);
    sqlite3_close(db);
}

// The largest resident size of any child this test has waited for, the runs of the game among
// them, in MiB.
long LargestChildMiB() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss >> 10;
}

TEST(DamagedRecords, TheGamePlaysOnEveryDamagedCopyAndLoadsTheIntactSlot) {
    testsupport::TempFolder made("playtest_damaged_made");
    const PlayRun first = RunPlaytest(DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "menu_save_first.txt",
                                      "--settings '" + made.path().string() + "'");
    ASSERT_EQ(first.status, 0) << first.errors;
    const std::string good = testsupport::FileBytes(made.path() / "save.dat");
    ASSERT_FALSE(good.empty());

    // A name of D's going on past the most that is read of a list.
    const std::string endless = "x'" + std::string(300'000, '4') + "'";
    const struct {
        const char* what;
        std::string sql;
        const char* box;  // what the one box names, or null for none
        bool pages_kept;  // the read pages survive, so the skip goes on to the last page read
    } cases[] = {
        {"a last used slot past the slots",
         "UPDATE global SET value_bin=x'F4010000' || substr(value_bin, 5) WHERE name='COMMON';", nullptr, true},
        {"a common record cut short", "UPDATE global SET value_bin=substr(value_bin, 1, 1000) WHERE name='COMMON';",
         "既読の記録", false},
        {"a scene list cut in its first name", "UPDATE global SET value_bin=x'5330' WHERE name='SCENE';", "シーン回想",
         true},
        {"an album of one endless name", "UPDATE global SET value_bin=" + endless + " WHERE name='ALBUM';",
         "CGアルバム", true},
        {"bytes after the variables' end", "UPDATE entry SET value_data=x'00FFFFFF' WHERE number=3;", nullptr, true},
        {"a slot saved before any picture existed: its whole thumbnail area zero", "", nullptr, true},
        {"records of hundreds of megabytes",
         "UPDATE global SET value_bin=zeroblob(200000000) WHERE name='SCENE';"
         "UPDATE global SET value_bin=printf('%.*c', 15000000, 'A') WHERE name='ALBUM';"
         "UPDATE global SET value_bin=zeroblob(30000000) WHERE name='COMMON';",
         "既読の記録", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempFolder settings("playtest_damaged");
        const fs::path file = settings.path() / "save.dat";
        fs::copy_file(made.path() / "save.dat", file);
        ASSERT_EQ(testsupport::SqliteObserver(file).Exec(c.sql), 0);
        if (c.sql.empty()) ZeroSlot3Header(file, 60, 65'636);

        const PlayRun run = RunPlaytest(DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "menu_save_second.txt",
                                        "--settings '" + settings.path().string() + "'");
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_TRUE(run.Of("error").empty()) << run.Kinds();
        EXPECT_TRUE(run.Of("timeout").empty()) << run.Kinds();
        const std::vector<LogLine> boxes = run.Of("box");
        if (c.box) {
            ASSERT_EQ(boxes.size(), 1u) << run.Kinds();
            EXPECT_EQ(boxes[0].fields.at(0), "エラー");
            EXPECT_NE(boxes[0].fields.at(1).find(c.box), std::string::npos) << boxes[0].fields.at(1);
        } else {
            EXPECT_TRUE(boxes.empty()) << run.Kinds();
        }
        // Slot 3 is listed, loaded at page 4, and skipped from there up to the last page read (8),
        // or to the first page after it when the read pages were lost.
        ASSERT_EQ(run.Of("item").size(), 1u) << run.Kinds();
        EXPECT_EQ(run.Of("item")[0].fields.at(0).substr(1, 3), "03 ");
        EXPECT_EQ(PageNumbers(run), (std::vector<int>{1, 4, c.pages_kept ? 8 : 5}));
        EXPECT_EQ(CommandOutput("'" SAVETOOL "' list '" + file.string() + "'").rfind("3\t", 0), 0u);
    }
    EXPECT_LT(LargestChildMiB(), 250);
}

// What a run on records of hundreds of megabytes costs beyond a run on the file as it was made:
// the records are read no further than their limits.
TEST(DamagedRecords, RecordsOfHundredsOfMegabytesCostLittleMemory) {
    testsupport::TempFolder settings("playtest_damaged_huge");
    const fs::path script = fs::path(PLAYTEST_SCRIPTS) / "menu_save_second.txt";
    ASSERT_EQ(RunPlaytest(DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "menu_save_first.txt",
                          "--settings '" + settings.path().string() + "'")
                  .status,
              0);
    const long intact = RunPeakMiB(settings.path(), script);
    ASSERT_EQ(testsupport::SqliteObserver(settings.path() / "save.dat")
                  .Exec("UPDATE global SET value_bin=zeroblob(200000000) WHERE name='SCENE';"
                        "UPDATE entry SET value_data=zeroblob(200000000) WHERE number=3;"),
              0);
    const long huge = RunPeakMiB(settings.path(), script);
    ASSERT_GT(intact, 0);
    ASSERT_GT(huge, 0) << "the run on the huge records failed";
    EXPECT_LT(huge - intact, 40) << intact << " MiB, then " << huge << " MiB";
}

}  // namespace
