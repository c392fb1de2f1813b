// The save file as a session meets it: a damaged or held file at the start, global records a cycle
// end cannot write, a quick load that would fail. Locks are held by the sqlite3 client.
#include "screens/save_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/app_script.h"
#include "app/game_cycle.h"
#include "app/game_data.h"
#include "app/menu_commands.h"
#include "app/picture_commands.h"
#include "app/settings.h"
#include "app/win_app.h"
#include "fault_vfs.h"
#include "host/testhost/test_host.h"
#include "host/ui/menu.h"
#include "host/ui/modal_stack.h"
#include "lib/error.h"
#include "lib/report_hook.h"
#include "lib/text.h"
#include "save_state.h"
#include "screens/global_records.h"
#include "screens/save_database.h"
#include "screens/save_load_dialog.h"
#include "screens/save_slots.h"
#include "screens/screen_services.h"
#include "support/client_lock.h"
#include "support/client_save_file.h"
#include "support/sqlite_observer.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ClientLock;
using testsupport::FileBytes;
using testsupport::SqliteObserver;
using testsupport::TempFolder;

struct Box {
    std::u16string text;
    unsigned style;
};

// Message boxes answered by a function of the test, which may act (release a lock) first. A loop
// that asks again without end meets the bound of the test host's answers, past which the box
// raises the error exception, so that its test fails at once instead of hanging.
class AnsweringSink : public ReportSink {
public:
    AnsweringSink() : scope_(this) {}
    int MessageBox(std::u16string_view, std::u16string_view text, unsigned style) override {
        if (boxes.size() == testhost::ScriptedModal::kMaxBoxes)
            ThrowError(u"test", 0, 0, 0, u"%d boxes answered: a loop that asks again without end",
                       static_cast<int>(boxes.size()));
        boxes.push_back({std::u16string(text), style});
        return answer ? answer(boxes.back()) : kIdOk;
    }
    void DebugOutput(std::u16string_view) override {}

    std::function<int(const Box&)> answer;
    std::vector<Box> boxes;

private:
    ScopedReportSink scope_;
};

bool Contains(std::u16string_view text, std::u16string_view part) { return text.find(part) != std::u16string::npos; }

void Overwrite(const fs::path& file, std::size_t at, const std::string& bytes) {
    std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(static_cast<std::streamoff>(at));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class SaveStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsFolders.settings_folder = folder_.Path("");
        ResetSaveState();
        BuildMainMenu(menu_, 0);
        InstallSaveServices(services_);
        services_.menu = &menu_;
        client_ = testsupport::FindSqliteClient(SQLITE3_CLIENT);
    }
    void TearDown() override {
        ResetSaveState();
        CurrentScript = nullptr;
        SettingsFolders.settings_folder = saved_folder_;
    }

    // A group of a new cycle, as RunSession makes it.
    std::unique_ptr<ScriptStateGroup_App> Cycle() {
        auto group = std::make_unique<ScriptStateGroup_App>();
        group->SetServices(&services_);
        group->SetMenu(&menu_);
        SeenCgList.clear();
        return group;
    }
    // An empty folder and a store of a new session.
    void Fresh() {
        for (const fs::directory_entry& entry : fs::directory_iterator(folder_.path())) fs::remove(entry);
        NewSession();
    }
    void NewSession() {
        menu_ = {};
        BuildMainMenu(menu_, 0);
        services_ = {};
        InstallSaveServices(services_);
        services_.menu = &menu_;
        sink_.boxes.clear();
    }
    // A file the game made: page 5 read, a scene and a picture seen, slot 3 and the ring's slot
    // 91; then a new session.
    void MakeSaveFile() {
        Fresh();
        auto group = Cycle();
        CurrentScript = group.get();
        services_.load_global(*group);
        SeenFlags[0] = 0x04;
        group->AddSceneName(u"SC01");
        SeenCgList.push_back(u"CG1");
        SaveSlot(3, u"three");
        ASSERT_EQ(AutoSave(), 1);
        services_.save_global(*group);
        CurrentScript = nullptr;
        ResetSaveState();
        NewSession();
    }
    std::string Rows(const std::string& sql) { return SqliteObserver(file_).Rows(sql); }

    TempFolder folder_{"qb_store"};
    fs::path file_ = folder_ / "save.dat";
    std::u16string saved_folder_ = SettingsFolders.settings_folder;
    host::MenuModel menu_;
    GameCycleServices services_;
    AnsweringSink sink_;
    std::string client_;
};

// The kinds of damage, kept aside or left, are played through in tests/playtest/damaged_save_test;
// here what those runs do not show: the whole menu grayed, the services' answers, and the records
// of one cycle kept for the next while the file is left.
TEST_F(SaveStoreTest, AnUnusableFileIsKeptAsideOrTheSessionPlaysOnWithoutIt) {
    for (const int answer : {kIdYes, kIdNo}) {
        SCOPED_TRACE(answer == kIdYes ? "kept aside" : "played without");
        MakeSaveFile();
        Overwrite(file_, 0, "SQLite format 9");
        const std::string damaged = FileBytes(file_);
        sink_.answer = [answer](const Box&) { return answer; };
        auto group = Cycle();
        services_.load_global(*group);
        // Kept aside: a second box says how many slots the new file took (none read here).
        ASSERT_EQ(sink_.boxes.size(), answer == kIdYes ? 2u : 1u);
        EXPECT_EQ(sink_.boxes[0].style & kMbButtonMask, kMbYesNo);
        EXPECT_TRUE(Contains(sink_.boxes[0].text, u"file is not a database")) << Utf16ToUtf8(sink_.boxes[0].text);
        EXPECT_EQ(services_.saves_off(), answer == kIdNo);
        if (answer == kIdYes) {
            EXPECT_TRUE(Contains(sink_.boxes[1].text, u"0 件のセーブデータを新しいファイルに移しました"))
                << Utf16ToUtf8(sink_.boxes[1].text);
            EXPECT_EQ(services_.auto_save(), 1) << "the new file takes saves";
            continue;
        }
        menu_.Gray(kMenuSave, false);
        menu_.Gray(kMenuLoad, false);
        EXPECT_TRUE(menu_.IsGrayed(kMenuSave));
        EXPECT_TRUE(menu_.IsGrayed(kMenuLoad));
        EXPECT_EQ(services_.auto_save(), 0);
        EXPECT_EQ(services_.find_latest_auto_save(), -1);
        group->AddSceneName(u"SC02");
        services_.save_global(*group);
        auto next = Cycle();
        services_.load_global(*next);
        EXPECT_EQ(next->scene_names(), std::vector<std::u16string>{u"SC02"});
        EXPECT_EQ(FileBytes(file_), damaged) << "never touched";
        EXPECT_EQ(sink_.boxes.size(), 1u) << "asked once";
    }
}

// A new file takes, one slot at a time, every slot and record of the old one that reads as a
// load and a cycle read it: a page of one slot that cannot be read costs that slot only.
TEST_F(SaveStoreTest, ANewFileTakesEverySlotAndRecordThatStillReads) {
    MakeSaveFile();
    // Slots 1 to 4, 90 and the rest of the ring whose thumbnail pages are filled with their number.
    for (const std::uint8_t number : {1, 2, 3, 4, 90, 92, 93, 94, 95, 96, 97, 98, 99}) {
        SAVEDATA2 record;
        record.comment = u"slot";
        record.thumbnail.fill(number);
        const std::vector<std::uint8_t> bytes = EncodeSaveData2(record);
        const std::uint8_t no_variables[] = {0};
        const DatabaseScope scope = OpenSaveDatabase();
        WriteEntryHeader(number, std::span<const std::uint8_t, kSaveData2Bytes>(bytes.data(), kSaveData2Bytes));
        WriteSlotVariables(number, std::span<const std::uint8_t>(no_variables));
    }
    // One page of slot 3's record zeroed, its chain with it; the header's write version makes the
    // file one that takes no write, which the start finds.
    std::string bytes = FileBytes(file_);
    constexpr std::size_t kPage = 4096;
    std::size_t damaged = 0;
    for (std::size_t page = kPage; page + kPage <= bytes.size() && !damaged; page += kPage)
        if (bytes.find_first_not_of('\x03', page + 4) >= page + kPage) damaged = page;
    ASSERT_NE(damaged, 0u);
    Overwrite(file_, damaged, std::string(kPage, '\0'));
    // Slot 4 reads in the database, but no load would take it without its variables.
    ASSERT_EQ(SqliteObserver(file_).Exec("UPDATE entry SET value_data=NULL WHERE number=4;"), SQLITE_OK);
    Overwrite(file_, 18, "\x03");
    const std::string kept = FileBytes(file_);

    sink_.answer = [](const Box&) { return kIdYes; };
    auto group = Cycle();
    services_.load_global(*group);
    ASSERT_EQ(sink_.boxes.size(), 2u);
    // Found by the quick check before the write check: the damaged chain of slot 3.
    EXPECT_TRUE(Contains(sink_.boxes[0].text, u"ファイルが壊れています: ")) << Utf16ToUtf8(sink_.boxes[0].text);
    EXPECT_TRUE(Contains(sink_.boxes[1].text, u"12 件のセーブデータを新しいファイルに移しました"))
        << Utf16ToUtf8(sink_.boxes[1].text);
    EXPECT_FALSE(services_.saves_off());
    EXPECT_EQ(Rows("SELECT group_concat(number, ' ') FROM (SELECT number FROM entry ORDER BY number);"),
              "1 2 90 91 92 93 94 95 96 97 98 99");
    for (const std::int32_t number : {1, 2, 90, 91, 99}) EXPECT_TRUE(ReadSlotContents(number, nullptr).ok()) << number;
    // The records came across and were read from the new file.
    EXPECT_EQ(Rows("SELECT hex(substr(value_bin, 261, 1)) FROM global WHERE name='COMMON';"), "04");
    EXPECT_EQ(SeenFlags[0], 0x04);
    EXPECT_EQ(group->scene_names(), std::vector<std::u16string>{u"SC01"});
    EXPECT_EQ(SeenCgList, std::vector<std::u16string>{u"CG1"});
    int kept_aside = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_.path())) {
        if (entry.path().filename() == "save.dat") continue;
        ++kept_aside;
        EXPECT_EQ(FileBytes(entry.path()), kept) << "kept aside as it was";
    }
    EXPECT_EQ(kept_aside, 1);
}

// A file that stops taking writes after the start: the quick save and the cycle end offer a new
// file at once (the write made again there) or the session plays on without; never a retry.
TEST_F(SaveStoreTest, ASaveThatMeetsAFileTakingNoWriteOffersANewFileOrPlayingWithout) {
    const struct {
        std::size_t at;
        const char* bytes;
        bool reads;  // whether the slots still read, and so come across
    } damages[] = {{18, "\x03", true}, {0, "Not a database!", false}};
    for (const auto& damage : damages)
        for (const bool quick_save : {true, false}) {
            for (const int answer : {kIdYes, kIdNo}) {
                SCOPED_TRACE(std::string(damage.bytes) + (quick_save ? ", quick save" : ", cycle end") +
                             (answer == kIdYes ? ", yes" : ", no"));
                MakeSaveFile();
                auto group = Cycle();
                CurrentScript = group.get();
                services_.load_global(*group);
                ASSERT_TRUE(sink_.boxes.empty());
                Overwrite(file_, damage.at, damage.bytes);
                const std::string damaged = FileBytes(file_);
                // The first question only: a box that came again would be answered no.
                sink_.answer = [answer, asked = false](const Box& box) mutable {
                    if ((box.style & kMbButtonMask) != kMbYesNo) return int{kIdOk};
                    return std::exchange(asked, true) ? int{kIdNo} : answer;
                };
                SeenFlags[0] = 0x06;
                if (quick_save)
                    EXPECT_EQ(services_.auto_save(), answer == kIdYes ? 1 : 0);
                else
                    services_.save_global(*group);
                CurrentScript = nullptr;
                ASSERT_EQ(sink_.boxes.size(), answer == kIdYes ? 2u : 1u);
                EXPECT_EQ(sink_.boxes[0].style & kMbButtonMask, kMbYesNo);
                EXPECT_TRUE(Contains(sink_.boxes[0].text, u"セーブファイルに書き込めません"))
                    << Utf16ToUtf8(sink_.boxes[0].text);
                EXPECT_EQ(services_.saves_off(), answer == kIdNo);
                if (answer == kIdNo) {
                    EXPECT_EQ(FileBytes(file_), damaged) << "never touched";
                    EXPECT_TRUE(menu_.IsGrayed(kMenuSave));
                    continue;
                }
                // The write made in the new file, which took the slots 3 and 91 where they read (the
                // quick save's moved up to 92).
                EXPECT_EQ(Rows("SELECT number FROM entry ORDER BY number;"),
                          damage.reads ? (quick_save ? "3;91;92" : "3;91") : (quick_save ? "91" : ""));
                EXPECT_EQ(Rows("SELECT hex(substr(value_bin, 261, 1)) FROM global WHERE name='COMMON';"), "06");
            }
        }
}

TEST_F(SaveStoreTest, AFileThatLostATableOrARowGetsThemBackAndKeepsTheRest) {
    const struct {
        const char* damage;
        const char* globals;  // the rows after the start, with whether they hold a value
        const char* slots;    // the slot numbers after the start
        std::uint8_t seen;    // the first byte of SeenFlags read at the start
        std::size_t scenes;   // the scene names read
    } cases[] = {
        {"DROP TABLE entry;", "SCENE|1;ALBUM|1;COMMON|1", "", 0x04, 1},
        {"DROP TABLE global;", "SCENE|1;ALBUM|1;COMMON|1", "3;91", 0x00, 0},
        {"DELETE FROM global WHERE name='COMMON';", "SCENE|1;ALBUM|1;COMMON|0", "3;91", 0x00, 1},
        {"DELETE FROM global WHERE name='SCENE';", "ALBUM|1;COMMON|1;SCENE|0", "3;91", 0x04, 0},
        {"DELETE FROM global;", "SCENE|0;ALBUM|0;COMMON|0", "3;91", 0x00, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damage);
        MakeSaveFile();
        ASSERT_EQ(SqliteObserver(file_).Exec(c.damage), SQLITE_OK);
        auto group = Cycle();
        services_.load_global(*group);
        EXPECT_TRUE(sink_.boxes.empty());
        EXPECT_EQ(Rows("SELECT name, value_bin IS NOT NULL FROM global ORDER BY id;"), c.globals);
        EXPECT_EQ(Rows("SELECT number FROM entry ORDER BY number;"), c.slots);
        EXPECT_EQ(SeenFlags[0], c.seen);
        EXPECT_EQ(group->scene_names().size(), c.scenes);
        ResetSaveState();
    }
}

// A held file is tried again or the session plays without it; no answer moves a file another
// program may be writing.
TEST_F(SaveStoreTest, AFileHeldAtTheStartIsTriedAgainOrLeftNeverMoved) {
    ASSERT_FALSE(client_.empty()) << testsupport::kSqliteClientMissing;
    const struct {
        int answer;
        bool off;           // the session plays on without the file
        std::uint8_t seen;  // the first byte of SeenFlags read at the start
    } cases[] = {{kIdRetry, false, 0x04}, {kIdCancel, true, 0x00}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        MakeSaveFile();
        const std::string made = FileBytes(file_);
        ClientLock lock(client_, file_, "BEGIN EXCLUSIVE;");
        ASSERT_TRUE(lock.held());
        sink_.answer = [&lock, &c](const Box&) {
            lock.Release();
            return c.answer;
        };
        auto group = Cycle();
        services_.load_global(*group);
        ASSERT_EQ(sink_.boxes.size(), 1u);
        EXPECT_EQ(sink_.boxes[0].style & kMbButtonMask, kMbRetryCancel);
        // Return, the answer of a player who waits for the other program, tries again.
        EXPECT_EQ(host::DefaultBoxAnswer(sink_.boxes[0].style), kIdRetry);
        EXPECT_TRUE(Contains(sink_.boxes[0].text, u"他のプログラムが使っています: database is locked"))
            << Utf16ToUtf8(sink_.boxes[0].text);
        EXPECT_EQ(services_.saves_off(), c.off);
        EXPECT_EQ(SeenFlags[0], c.seen) << "the records read once the file is free";
        std::size_t files = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder_.path()))
            files += entry.path().filename() != "quibel.lock";
        EXPECT_EQ(files, 1u) << "nothing kept aside";
        if (c.off) {
            EXPECT_EQ(FileBytes(file_), made);
        }
        ResetSaveState();
    }
}

TEST_F(SaveStoreTest, RecordsACycleEndCouldNotWriteGoToTheNextSaveOrCycleEnd) {
    ASSERT_FALSE(client_.empty()) << testsupport::kSqliteClientMissing;
    MakeSaveFile();
    auto group = Cycle();
    CurrentScript = group.get();
    services_.load_global(*group);
    group->AddSceneName(u"SC02");
    SeenCgList.push_back(u"CG2");
    SeenFlags[1] = 0x80;
    {
        ClientLock lock(client_, file_, "BEGIN IMMEDIATE;");
        ASSERT_TRUE(lock.held());
        sink_.answer = [](const Box&) { return kIdNo; };
        services_.save_global(*group);
    }
    ASSERT_EQ(sink_.boxes.size(), 1u);
    EXPECT_TRUE(Contains(sink_.boxes[0].text, u"database is locked"));
    EXPECT_EQ(sink_.boxes[0].style & kMbButtonMask, kMbYesNo) << "with a retry";
    EXPECT_EQ(Rows("SELECT hex(value_bin) FROM global WHERE name='SCENE';"), "534330310000") << "not written";

    // The next cycle goes on with what memory holds, not with the file.
    auto next = Cycle();
    CurrentScript = next.get();
    services_.load_global(*next);
    EXPECT_EQ(next->scene_names(), (std::vector<std::u16string>{u"SC01", u"SC02"}));
    EXPECT_EQ(SeenCgList, (std::vector<std::u16string>{u"CG1", u"CG2"}));
    // A save writes them.
    SaveSlot(4, u"four");
    EXPECT_EQ(Rows("SELECT hex(value_bin) FROM global WHERE name='SCENE';"), "5343303100534330320000");
    EXPECT_EQ(Rows("SELECT hex(substr(value_bin, 262, 1)) FROM global WHERE name='COMMON';"), "80");
    services_.save_global(*next);
    EXPECT_EQ(sink_.boxes.size(), 1u);

    // With the records written, a cycle reads the file again.
    SqliteObserver(file_).Exec("UPDATE global SET value_bin=x'534330330000' WHERE name='SCENE';");
    auto third = Cycle();
    services_.load_global(*third);
    EXPECT_EQ(third->scene_names(), std::vector<std::u16string>{u"SC03"});
}

TEST_F(SaveStoreTest, ACycleStartThatCannotReadGoesOnWithTheRecordsInMemory) {
    ASSERT_FALSE(client_.empty()) << testsupport::kSqliteClientMissing;
    MakeSaveFile();
    auto group = Cycle();
    services_.load_global(*group);
    group->AddSceneName(u"SC02");
    services_.save_global(*group);
    {
        ClientLock lock(client_, file_, "BEGIN EXCLUSIVE;");
        ASSERT_TRUE(lock.held());
        auto next = Cycle();
        services_.load_global(*next);
        EXPECT_EQ(next->scene_names(), (std::vector<std::u16string>{u"SC01", u"SC02"}));
    }
    ASSERT_EQ(sink_.boxes.size(), 1u);
    EXPECT_TRUE(Contains(sink_.boxes[0].text, u"database is locked")) << Utf16ToUtf8(sink_.boxes[0].text);
    EXPECT_EQ(services_.find_latest_auto_save(), 90) << "the file is used again once free";
}

TEST_F(SaveStoreTest, TheMenusLoadOfASlotThatWouldNotLoadIsShownAndGivesNoSlot) {
    MakeSaveFile();
    testhost::TestHost window;
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged);
        // Damaged after the dialog listed the slot as loadable (another program wrote it meanwhile):
        // the check after the dialog still finds it.
        window.scripted_modal().OnNextDialog([&, damaged](host::Dialog& dialog) {
            if (damaged) SqliteObserver(file_).Exec("UPDATE entry SET value_data=x'4100' WHERE number=3;");
            dialog.Choose(SaveLoadDialog::kSlotList, 2);
            dialog.Accept();
        });
        EXPECT_EQ(OpenCheckedSaveLoadDialog(window.modal(), SaveLoadDialog::kLoadMode), damaged ? -1 : 2);
        // The host shows the boxes while it lives.
        const auto& boxes = window.scripted_modal().boxes;
        ASSERT_EQ(boxes.size(), damaged ? 1u : 0u);
        if (damaged) {
            EXPECT_TRUE(Contains(boxes[0].text, u"ロードできませんでした")) << Utf16ToUtf8(boxes[0].text);
        }
    }
}

// A full disk at the start is no damage: one box says so, the file stays in use with what was read
// of it, and nothing is moved.
TEST_F(SaveStoreTest, AFullDiskAtTheStartKeepsTheFileAndWhatWasReadOfIt) {
    MakeSaveFile();
    const std::string made = FileBytes(file_);
    auto group = Cycle();
    {
        testsupport::FaultVfs vfs;
        vfs.Arm(testsupport::FaultOp::kWrite, 1, SQLITE_FULL, true);
        services_.load_global(*group);
    }
    ASSERT_EQ(sink_.boxes.size(), 1u);
    EXPECT_EQ(sink_.boxes[0].text.find(u"ディスクに書き込めません"), 0u) << Utf16ToUtf8(sink_.boxes[0].text);
    EXPECT_FALSE(services_.saves_off());
    EXPECT_EQ(SeenFlags[0], 0x04);
    EXPECT_EQ(group->scene_names(), std::vector<std::u16string>{u"SC01"});
    EXPECT_EQ(SeenCgList, std::vector<std::u16string>{u"CG1"});
    EXPECT_EQ(FileBytes(file_), made);
    EXPECT_EQ(services_.auto_save(), 1) << "saves work again once there is room";
}

// A damaged file that another program has open in a transaction is not moved, whatever the player
// answers: they are told, and nothing changes on the disk.
TEST_F(SaveStoreTest, ADamagedFileAnotherProgramReadsIsNeverMoved) {
    ASSERT_FALSE(client_.empty()) << testsupport::kSqliteClientMissing;
    MakeSaveFile();
    Overwrite(file_, 18, "\x03");  // a write version SQLite does not know: it takes no write
    const std::string damaged = FileBytes(file_);
    ClientLock reader(client_, file_, "BEGIN; SELECT 1 FROM entry LIMIT 0;");
    ASSERT_TRUE(reader.held());
    sink_.answer = [](const Box&) { return kIdYes; };
    auto group = Cycle();
    services_.load_global(*group);
    ASSERT_EQ(sink_.boxes.size(), 2u);
    EXPECT_TRUE(Contains(sink_.boxes[1].text, u"他のプログラムが使っているため")) << Utf16ToUtf8(sink_.boxes[1].text);
    EXPECT_TRUE(services_.saves_off());
    reader.Release();
    EXPECT_EQ(FileBytes(file_), damaged);
    std::size_t files = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_.path()))
        files += entry.path().filename() != "quibel.lock";
    EXPECT_EQ(files, 1u) << "nothing kept aside, no new file left";
}

// The dialog's save that meets a file which broke while the dialog was open: the offer comes once,
// and after no the dialog closes and the session plays on without the file.
TEST_F(SaveStoreTest, AfterNoToTheDialogsOfferTheDialogCloses) {
    MakeSaveFile();
    auto group = Cycle();
    CurrentScript = group.get();
    services_.load_global(*group);
    testhost::TestHost window;
    bool ended = false;
    window.scripted_modal().OnNextDialog([&](host::Dialog& dialog) {
        Overwrite(file_, 0, "Not a database!");
        dialog.Choose(SaveLoadDialog::kSlotList, 4);
        dialog.Accept();
        ended = dialog.ended();
    });
    window.scripted_modal().AnswerNext(kIdNo);
    EXPECT_EQ(services_.save_load_dialog(window.modal(), SaveLoadDialog::kSaveMode), -1);
    CurrentScript = nullptr;
    EXPECT_TRUE(ended);
    const auto& boxes = window.scripted_modal().boxes;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.find(u"セーブファイルに書き込めません"), 0u) << Utf16ToUtf8(boxes[0].text);
    EXPECT_TRUE(services_.saves_off());
}

TEST(SaveFileAside, TheNameIsFreeAndTheNewFileTakesItWhileTheOldOneKeepsItsJournal) {
    TempFolder folder("qb_aside");
    const std::u16string path = folder.Path("save.dat");
    std::ofstream(folder / "save.dat", std::ios::binary) << "database";
    std::ofstream(folder / "save.dat-journal", std::ios::binary) << "journal";
    std::ofstream(Utf16ToUtf8(NewFileName(path)), std::ios::binary) << "new";
    const std::time_t when = std::time(nullptr);
    const std::u16string first = AsideName(path, when);
    EXPECT_TRUE(first.starts_with(folder.Path("save-")));
    EXPECT_TRUE(first.ends_with(u".dat"));
    EXPECT_EQ(first.size(), path.size() + 16) << "-YYYYMMDD-HHMMSS";
    // A name taken (by the file or by a journal of it) is passed over.
    std::ofstream(Utf16ToUtf8(first) + "-journal") << "older";
    const std::u16string second = AsideName(path, when);
    EXPECT_NE(second, first);
    EXPECT_TRUE(second.ends_with(u"-2.dat")) << Utf16ToUtf8(second);

    EXPECT_EQ(SwapInNewFile(path, NewFileName(path), second), u"");
    EXPECT_EQ(FileBytes(folder / "save.dat"), "new");
    EXPECT_FALSE(fs::exists(Utf16ToUtf8(NewFileName(path))));
    EXPECT_FALSE(fs::exists(folder / "save.dat-journal")) << "a journal the new file would take for its own";
    EXPECT_EQ(FileBytes(Utf16ToUtf8(second)), "database");
    EXPECT_EQ(FileBytes(Utf16ToUtf8(second) + "-journal"), "journal");
    EXPECT_EQ(FileBytes(Utf16ToUtf8(first) + "-journal"), "older") << "never replaced";
}

}  // namespace
