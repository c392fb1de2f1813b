// savetool on save files made by the game's own save functions and by the sqlite3 command-line
// client from the documented schema and byte offsets; and the game's file as the client sees it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "app/settings.h"
#include "lib/text.h"
#include "screens/global_records.h"
#include "screens/save_database.h"
#include "screens/save_records.h"
#include "script/variables.h"
#include "sha256.h"
#include "support/client_save_file.h"
#include "support/run_tool.h"
#include "support/sqlite_observer.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::FileBytes;
using testsupport::RunTool;
using testsupport::TempFolder;
using testsupport::VariableBlob;

// ---- The fingerprint ----

TEST(SavetoolSha256, MatchesThePublishedDigests) {
    const struct {
        std::string input;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits the last block, so the padding takes two.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrst"
         "nopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1'000'000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.size());
        const auto* data = reinterpret_cast<const std::uint8_t*>(c.input.data());
        EXPECT_EQ(savetool::Sha256Hex(std::span<const std::uint8_t>(data, c.input.size())), c.digest);
    }
}

// The digest of sha256sum (coreutils), an implementation independent of ours.
std::string CoreutilsSha256(const TempFolder& folder, std::span<const std::uint8_t> bytes) {
    const fs::path file = folder / "digest_input";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const testsupport::ToolRun run = RunTool("sha256sum", "'" + file.string() + "'");
    fs::remove(file);
    return run.output.substr(0, 64);
}

TEST(SavetoolSha256, AgreesWithSha256sumAcrossBlockBoundaries) {
    TempFolder folder("qb_sha");
    for (const std::size_t size : {1u, 55u, 63u, 64u, 65u, 119u, 120u, 128u, 58'800u}) {
        SCOPED_TRACE(size);
        Bytes bytes(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
        EXPECT_EQ(savetool::Sha256Hex(bytes), CoreutilsSha256(folder, bytes));
    }
}

// ---- Save files ----

SceneStateRecord Scene(std::uint8_t mode, std::u16string_view name) {
    SceneStateRecord record;
    RecordScene(record, mode, name);
    return record;
}

class SavetoolTest : public ::testing::Test {
protected:
    void SetUp() override { SettingsFolders.settings_folder = folder_.Path(""); }
    void TearDown() override { SettingsFolders.settings_folder = std::move(saved_folder_); }

    // A file as the game leaves it after three saves and a game cycle, made by the game's own
    // encoders and row operations.
    void MakeGameFile() {
        const DatabaseScope scope = OpenSaveDatabase();
        CreateSaveSchema();
        CommonRecord common;
        common.LastUsedSlot = 11;
        const std::u16string hero1 = u"太郎", hero2 = u"Smith";
        std::copy(hero1.begin(), hero1.end(), common.PlayerName1);
        std::copy(hero2.begin(), hero2.end(), common.PlayerName2);
        for (const int page : {0, 7, 8, 100, 16'383}) common.SeenFlags[page >> 3] |= 0x80 >> (page & 7);
        const Bytes record = EncodeCommonRecord(common);
        WriteCommonData(std::span<const std::uint8_t, kCommonRecordBytes>(record.data(), kCommonRecordBytes));
        const std::u16string scenes[] = {u"序章", u"END1"};
        WriteSceneData(EncodeNameList(scenes));
        const std::u16string album[] = {u"A01", u"B02", u"C03"};
        WriteAlbumData(EncodeNameList(album));

        SAVEDATA2 slot;
        slot.comment = u"セーブ一";
        slot.time = {2026, 12, 1, 7, 6, 5, 4, 321};
        slot.resumePage = 1234;
        for (std::size_t i = 0; i < slot.thumbnail.size(); ++i) slot.thumbnail[i] = static_cast<std::uint8_t>(i % 251);
        slot.scenes = {Scene(2, u"背景"), Scene(1, u"CHL"), Scene(0, u""), Scene(2, u"SE01"), Scene(1, u"SE02")};
        WriteSlot(12, slot, VariableBlob({{"ZED", 5}, {"\x95\xcf\x90\x94", -7}, {"A", 2'000'000'000}}));
        thumbnail_ = slot.thumbnail;

        SAVEDATA2 blank;  // all zeros: no time, no picture
        WriteSlot(92, blank, VariableBlob({}));
        blank.comment = u"quick";
        blank.time = {1999, 1, 5, 2, 3, 4, 5, 6};
        blank.resumePage = 7;
        WriteSlot(99, blank, {}, true);
        TextScript::VariableTable table;
        table.GetOrCreate(u"N", 1);
        WriteSlotVariables(99, table);
        blank.comment = u"no picture";
        blank.time = {2001, 2, 0, 3, 4, 5, 6, 0};
        blank.resumePage = 3;
        WriteSlot(5, blank, VariableBlob({}), true);
    }
    // `no_picture`: the whole thumbnail area zero, as a slot saved before any picture existed.
    void WriteSlot(std::int32_t number, const SAVEDATA2& slot, const Bytes& variables = {}, bool no_picture = false) {
        Bytes header = EncodeSaveData2(slot);
        if (no_picture) std::fill_n(header.begin() + 60, 65'576, std::uint8_t{0});
        WriteEntryHeader(number, std::span<const std::uint8_t, kSaveData2Bytes>(header.data(), kSaveData2Bytes));
        WriteEntryBacklog(number);
        if (!variables.empty()) WriteSlotVariables(number, variables);
    }

    testsupport::ToolRun Savetool(const std::string& arguments) { return RunTool(SAVETOOL, arguments); }
    // Savetool on the file: `arguments` is the command and what follows the file ("show 12").
    testsupport::ToolRun SavetoolOn(const std::string& arguments) {
        const std::size_t space = arguments.find(' ');
        const std::string rest = space == std::string::npos ? "" : arguments.substr(space + 1);
        return Savetool(arguments.substr(0, space) + " " + Quoted(file_) + " " + rest);
    }
    std::string Quoted(const fs::path& path) const { return "'" + path.string() + "'"; }

    TempFolder folder_{"qb_savetool"};
    fs::path file_ = folder_ / "save.dat";
    std::u16string saved_folder_ = SettingsFolders.settings_folder;
    std::array<std::uint8_t, kThumbnailPixelBytes> thumbnail_{};
};

TEST_F(SavetoolTest, EachCommandPrintsTheGameFileAndLeavesItAsItWas) {
    MakeGameFile();
    const std::string before = FileBytes(file_);
    const std::string digest = CoreutilsSha256(folder_, thumbnail_);
    const std::string black = CoreutilsSha256(folder_, Bytes(58'800));
    const struct {
        std::string arguments;
        std::string output;
    } rows[] = {
        {"list",
         "5\t2001/02/03 04:05:06\t3\tno picture\n"
         "12\t2026/12/07 06:05:04\t1234\tセーブ一\n"
         "92\t0000/00/00 00:00:00\t0\t\n"
         "99\t1999/01/02 03:04:05\t7\tquick\n"},
        {"show 12", "page 1234\nscene 0 2 背景\nscene 1 1 CHL\nscene 2 0\nscene 3 2 SE01\nscene 4 1 SE02\nthumbnail " +
                        digest + "\nvar ZED 5\nvar 変数 -7\nvar A 2000000000\n"},
        // A picture header over black pixels is a picture; only an all-zero area is blank.
        {"show 92", "page 0\nscene 0 0\nscene 1 0\nscene 2 0\nscene 3 0\nscene 4 0\nthumbnail " + black + "\n"},
        {"show 99", "page 7\nscene 0 0\nscene 1 0\nscene 2 0\nscene 3 0\nscene 4 0\nthumbnail blank\nvar N 1\n"},
        {"show 5", "page 3\nscene 0 0\nscene 1 0\nscene 2 0\nscene 3 0\nscene 4 0\nthumbnail blank\n"},
        {"globals",
         "last-slot 11\nhero1 太郎\nhero2 Smith\nseen 0 7 8 100 16383\nscene 序章\nscene END1\n"
         "album A01\nalbum B02\nalbum C03\nlatest-auto 91\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments);
        const testsupport::ToolRun run = SavetoolOn(row.arguments);
        EXPECT_EQ(run.status, 0) << run.errors;
        // Given no game data, the slots' pages are not checked against a story, and it says so.
        EXPECT_EQ(run.errors, row.arguments == "globals"
                                  ? ""
                                  : "savetool: no DATA given: the pages the slots resume at are not checked\n");
        EXPECT_EQ(run.output, row.output);
        EXPECT_EQ(FileBytes(file_), before);
        EXPECT_FALSE(fs::exists(folder_ / "save.dat-journal"));
    }
}

TEST_F(SavetoolTest, AFileOrRecordItCannotReadEndsItWithOneAndAMessageAndChangesNothing) {
    using Observer = testsupport::SqliteObserver;
    // Rewrites slot 12's header with `patch` applied, through the game's row operations.
    const auto patch_header = [this](std::size_t offset, const Bytes& bytes) {
        const DatabaseScope scope = OpenSaveDatabase();
        Bytes header(kSaveData2Bytes);
        ReadEntryHeader(12, std::span<std::uint8_t, kSaveData2Bytes>(header.data(), kSaveData2Bytes));
        std::copy(bytes.begin(), bytes.end(), header.begin() + static_cast<std::ptrdiff_t>(offset));
        WriteEntryHeader(12, std::span<const std::uint8_t, kSaveData2Bytes>(header.data(), kSaveData2Bytes));
    };
    // Sets one byte of the file.
    const auto patch_file = [this](std::size_t offset, char value) {
        std::fstream file(file_, std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(static_cast<std::streamoff>(offset));
        file.put(value);
        ASSERT_TRUE(file.good());
    };
    const auto sql = [this](const std::string& statement) {
        return [this, statement] { ASSERT_EQ(Observer(file_).Exec(statement), SQLITE_OK) << statement; };
    };
    const auto game_file = [this](std::function<void()> damage) {
        return [this, damage] {
            MakeGameFile();
            damage();
        };
    };
    const auto nothing = [] {};
    const struct {
        const char* what;
        std::function<void()> make;
        std::string arguments;  // after the file
        std::string message;
    } rows[] = {
        {"a slot header of another size", game_file(sql("UPDATE entry SET header=zeroblob(100) WHERE number=12;")),
         "show 12", "a slot header holds 100 bytes, not 65796"},
        {"a NULL slot header", game_file(sql("UPDATE entry SET header=NULL WHERE number=12;")), "show 12",
         "a slot header holds 0 bytes"},
        {"a thumbnail of another width", game_file([&] {
             patch_header(64, {141, 0, 0, 0});
         }),
         "show 12", "slot 12 header: the record's picture header is not a 140 x 105 32-bit picture"},
        {"a comment without its end", game_file([&] { patch_header(4, Bytes(36, 'x')); }), "show 12",
         "slot 12: a text of the record fills its field without an end"},
        {"a truncated variable blob", game_file(sql("UPDATE entry SET value_data=X'410005' WHERE number=12;")),
         "show 12", "the record ends in the middle of an entry"},
        {"a NULL variable blob", game_file(sql("UPDATE entry SET value_data=NULL WHERE number=99;")), "show 99",
         "the record holds no data"},
        {"an empty slot", game_file(nothing), "show 50", "slot 50 is empty"},
        {"a common record of another size",
         game_file(sql("UPDATE global SET value_bin=zeroblob(10) WHERE name='COMMON';")), "globals",
         "COMMON holds 10 bytes, not 2308"},
        {"a common record never written", game_file(sql("UPDATE global SET value_bin=NULL WHERE name='COMMON';")),
         "globals", "the COMMON record was never written"},
        {"a last used slot out of range", game_file([&] {
             CommonRecord common;
             Bytes bytes = EncodeCommonRecord(common);
             bytes[0] = 99;  // index 99 is number 100, no slot
             const DatabaseScope scope = OpenSaveDatabase();
             WriteCommonData(std::span<const std::uint8_t, kCommonRecordBytes>(bytes.data(), kCommonRecordBytes));
         }),
         "globals", "COMMON: a number of the record is out of range"},
        {"a scene list without its end", game_file(sql("UPDATE global SET value_bin=X'4142' WHERE name='SCENE';")),
         "globals", "SCENE: the record ends in the middle of an entry"},
        {"an album list with a name longer than a name can be",
         game_file(sql("UPDATE global SET value_bin=X'" + std::string(64, '4') + "000042' WHERE name='ALBUM';")),
         "globals", "ALBUM: a name of the record is too long"},
        {"a file that is no database", [this] { std::ofstream(file_, std::ios::binary) << std::string(3000, 'z'); },
         "list", "file is not a database"},
        {"a database without the save tables", sql("CREATE TABLE other (x);"), "globals",
         "is not a save file: it lacks the tables global and entry"},
        {"an empty file", [this] { std::ofstream(file_, std::ios::binary).flush(); }, "list", "is not a save file"},
        {"a write-ahead-log file", game_file(sql("PRAGMA journal_mode=WAL;")), "list", "write-ahead-log"},
        // SQLite sets both versions; either alone says the same.
        {"a write-ahead-log write version", game_file([&] { patch_file(18, 2); }), "list", "write-ahead-log"},
        {"a write-ahead-log read version", game_file([&] { patch_file(19, 2); }), "list", "write-ahead-log"},
        {"a journal beside the file",
         game_file([this] { std::ofstream(folder_ / "save.dat-journal", std::ios::binary) << "journal"; }), "list",
         "has a journal of an unfinished write beside it"},
        {"a missing file", nothing, "list", "cannot open " + file_.string() + ": No such file or directory"},
        // The story the slots are checked against cannot be read: nothing is listed unchecked.
        {"a data folder without the game's data", game_file(nothing), "list " + (folder_ / "nodata").string(),
         (folder_ / "nodata").string() + ": データがありません。"},
        {"a folder", [this] { fs::create_directory(file_); }, "globals", "is not a regular file"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(file_);
        fs::remove(folder_ / "save.dat-journal");
        row.make();
        const bool existed = fs::exists(file_);
        const std::string before = existed && fs::is_regular_file(file_) ? FileBytes(file_) : "";
        const testsupport::ToolRun run = SavetoolOn(row.arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.errors.rfind("savetool: ", 0), 0u) << run.errors;
        EXPECT_NE(run.errors.find(row.message), std::string::npos) << run.errors;
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(fs::exists(file_), existed);
        if (existed && fs::is_regular_file(file_)) {
            EXPECT_EQ(FileBytes(file_), before);
        }
        EXPECT_FALSE(fs::exists(folder_ / "save.dat-wal"));
    }
}

// A damaged slot costs only itself: the list shows the others, and names it unreadable as the
// dialog does, for every reason a load would refuse it.
TEST_F(SavetoolTest, TheListShowsTheIntactSlotsBesideTheUnreadableOnes) {
    MakeGameFile();
    const std::string intact = "5\t2001/02/03 04:05:06\t3\tno picture\n";
    const struct {
        const char* what;
        std::string sql;
        std::string line;  // slot 12's line, or 92's
    } rows[] = {
        {"a header of another size", "UPDATE entry SET header=zeroblob(65797) WHERE number=92;",
         "92\tunreadable\tsave.dat: a slot header holds more than 65796 bytes."},
        {"NULL variables", "UPDATE entry SET value_data=NULL WHERE number=12;",
         "12\tunreadable\tthe record holds no data"},
        {"cut variables", "UPDATE entry SET value_data=X'410005' WHERE number=12;",
         "12\tunreadable\tthe record ends in the middle of an entry"},
        {"variables stored as a text", "UPDATE entry SET value_data='AB' WHERE number=12;",
         "12\tunreadable\tthe record ends in the middle of an entry"},
        {"a value running past the end", "UPDATE entry SET value_data=X'41000500' WHERE number=12;",
         "12\tunreadable\tthe record ends in the middle of an entry"},
        {"an all-zero record, which loads", "UPDATE entry SET header=zeroblob(65796) WHERE number=12;",
         "12\t0000/00/00 00:00:00\t0\t"},
    };
    const std::string good = FileBytes(file_);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove(file_);
        { std::ofstream(file_, std::ios::binary) << good; }
        ASSERT_EQ(testsupport::SqliteObserver(file_).Exec(row.sql), SQLITE_OK);
        const testsupport::ToolRun run = SavetoolOn("list");
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(run.output.rfind(intact, 0), 0u) << run.output;
        EXPECT_NE(run.output.find("\n" + row.line + "\n"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("\n99\t1999/01/02 03:04:05\t7\tquick\n"), std::string::npos) << run.output;
    }
}

// A journal that SQLite itself would not roll back into the file (an empty one, a zeroed one, or
// that of a writer still at work, whose lock says so) stops nothing: the file is read as it stands.
TEST_F(SavetoolTest, AJournalThatIsNotHotDoesNotStopIt) {
    MakeGameFile();
    const std::string expected = SavetoolOn("list").output;
    ASSERT_NE(expected, "");
    const fs::path journal = folder_ / "save.dat-journal";
    for (const std::size_t zeros : {0u, 512u}) {
        SCOPED_TRACE(zeros);
        std::ofstream(journal, std::ios::binary) << std::string(zeros, '\0');
        const testsupport::ToolRun run = SavetoolOn("list");
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(run.output, expected);
        EXPECT_TRUE(fs::exists(journal)) << "left as it was";
        fs::remove(journal);
    }
    {
        // A writer in the middle of its transaction: its journal is on disk and hot-looking, and its
        // lock tells SQLite that nobody crashed.
        testsupport::SqliteObserver writer(file_);
        ASSERT_EQ(writer.Exec("BEGIN IMMEDIATE; DELETE FROM entry WHERE number=12;"), SQLITE_OK);
        ASSERT_TRUE(fs::exists(journal));
        const testsupport::ToolRun run = SavetoolOn("list");
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(run.output, expected) << "the committed slots";
        EXPECT_EQ(writer.Exec("ROLLBACK;"), SQLITE_OK);
    }
}

TEST_F(SavetoolTest, AmbiguousSlotNumbersAreACommandLineItCannotRead) {
    MakeGameFile();
    for (const std::string number : {"0", "100", "-1", "12x", "", "1 2 3"}) {
        SCOPED_TRACE(number);
        const testsupport::ToolRun run = Savetool("show " + Quoted(file_) + " " + number);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.errors.find("usage: savetool"), std::string::npos) << run.errors;
        EXPECT_EQ(run.output, "");
    }
    EXPECT_EQ(Savetool("list " + Quoted(file_) + " 12 13").status, 2);
    EXPECT_EQ(Savetool("show " + Quoted(file_) + " 12 data more").status, 2);
    EXPECT_EQ(Savetool("globals " + Quoted(file_) + " data").status, 2);
    EXPECT_EQ(Savetool("dump " + Quoted(file_)).status, 2);
}

// ---- The sqlite3 command-line client ----

class SqliteClientTest : public SavetoolTest {
protected:
    void SetUp() override {
        SavetoolTest::SetUp();
        client_ = testsupport::FindSqliteClient(SQLITE3_CLIENT);
        ASSERT_FALSE(client_.empty()) << testsupport::kSqliteClientMissing;
    }
    // Runs the SQL through the client on the file; its output, and the exit code checked.
    std::string Client(const std::string& sql) {
        const testsupport::ToolRun run = testsupport::RunSqliteClient(client_, file_, sql);
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(run.errors, "");
        return run.output;
    }

    std::string client_;
};

using testsupport::Hex;
using testsupport::Put32;

TEST_F(SqliteClientTest, AFileTheClientBuildsFromTheSchemaIsReadField) {
    Bytes pixels(58'800);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 13 + 1);
    // After a zero mode the name is bytes of no meaning.
    const testsupport::ClientScene scenes[5] = {
        {2, "BG"}, {0, ""}, {1, "BGM01"}, {0, "OLD"}, {2, "\x94\x77\x8c\x69"}};  // 背景 in CP932
    const std::string comment = "\x83\x5a\x81\x5b\x83\x75";                      // セーブ in CP932
    const Bytes header = testsupport::ClientSlotHeader(comment, {2025, 3, 0, 9, 23, 59, 58, 999}, 4242, pixels, scenes);
    Bytes ring = header;
    testsupport::PutBytes(ring, 4, "ring");
    Put32(ring, 56, static_cast<std::uint32_t>(-1));
    const Bytes variables = VariableBlob({{"FLAG", 1}, {"A", -2}});

    const Bytes common = testsupport::ClientCommonRecord(90, u"Ann", u"花子", {3, 8, 15, 16'383});

    Client(std::string(testsupport::kSaveSchemaSql) +
           "INSERT INTO global(name) VALUES('SCENE');\n"
           "INSERT INTO global(name) VALUES('ALBUM');\n"
           "INSERT INTO global(name) VALUES('COMMON');\n"
           "UPDATE global SET value_bin=X'" +
           Hex(common) +
           "' WHERE name='COMMON';\n"
           "UPDATE global SET value_bin=X'4F50454E0000' WHERE name='SCENE';\n" +
           // ALBUM stays NULL, as before its first write: an empty list.
           testsupport::InsertEntrySql(91, ring, Bytes{0}) + testsupport::InsertEntrySql(3, header, variables));
    ASSERT_EQ(Client("PRAGMA encoding;"), "UTF-16le\n");

    const std::string digest = CoreutilsSha256(folder_, pixels);
    const struct {
        std::string arguments;
        std::string output;
    } rows[] = {
        {"list", "3\t2025/03/09 23:59:58\t4242\tセーブ\n91\t2025/03/09 23:59:58\t-1\tring\n"},
        {"show 3", "page 4242\nscene 0 2 BG\nscene 1 0\nscene 2 1 BGM01\nscene 3 0\nscene 4 2 背景\nthumbnail " +
                       digest + "\nvar FLAG 1\nvar A -2\n"},
        {"show 91",
         "page -1\nscene 0 2 BG\nscene 1 0\nscene 2 1 BGM01\nscene 3 0\nscene 4 2 背景\nthumbnail " + digest + "\n"},
        {"globals", "last-slot 90\nhero1 Ann\nhero2 花子\nseen 3 8 15 16383\nscene OPEN\nlatest-auto 90\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments);
        const testsupport::ToolRun run = SavetoolOn(row.arguments);
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(run.output, row.output);
    }
}

TEST_F(SqliteClientTest, TheGameFilePassesTheClientsChecksWithTheDocumentedTablesAndSizes) {
    MakeGameFile();
    const struct {
        const char* sql;
        const char* output;
    } rows[] = {
        {"PRAGMA integrity_check;", "ok\n"},
        {"SELECT type, name FROM sqlite_master;", "table|global\ntable|entry\n"},
        {"PRAGMA encoding;", "UTF-16le\n"},
        {"PRAGMA journal_mode;", "delete\n"},
        {"SELECT id, name, typeof(value_text), length(value_bin) FROM global ORDER BY id;",
         "1|SCENE|null|11\n2|ALBUM|null|13\n3|COMMON|null|2308\n"},
        {"SELECT number, length(header), typeof(backlog), length(value_data) FROM entry ORDER BY number;",
         "5|65796|null|1\n12|65796|null|24\n92|65796|null|1\n99|65796|null|7\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.sql);
        EXPECT_EQ(Client(row.sql), row.output);
    }
    EXPECT_FALSE(fs::exists(folder_ / "save.dat-journal"));
    EXPECT_FALSE(fs::exists(folder_ / "save.dat-wal"));
}

}  // namespace
