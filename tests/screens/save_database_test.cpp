#include "screens/save_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/settings.h"
#include "lib/error.h"
#include "support/sqlite_observer.h"
#include "support/temp_folder.h"

namespace {

using namespace std::chrono_literals;
using testsupport::TempFolder;
using Bytes = std::vector<std::uint8_t>;

using Observer = testsupport::SqliteObserver;
using testsupport::FileBytes;

// A header record whose bytes tell records apart.
Bytes Header(std::uint8_t fill) { return Bytes(kSaveData2Bytes, fill); }

std::span<const std::uint8_t, kSaveData2Bytes> AsHeader(const Bytes& bytes) {
    return std::span<const std::uint8_t, kSaveData2Bytes>(bytes.data(), kSaveData2Bytes);
}

class SaveDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override { SettingsFolders.settings_folder = folder_.Path(""); }  // ends in '/'
    void TearDown() override { SettingsFolders.settings_folder = std::move(saved_folder_); }

    // A file with the schema, as a first start leaves it.
    void Create() {
        const DatabaseScope scope = OpenSaveDatabase();
        ASSERT_FALSE(SaveSchemaExists());
        CreateSaveSchema();
    }
    // Slots with these numbers, each header filled with its number.
    void Slots(std::initializer_list<std::int32_t> numbers) {
        const DatabaseScope scope = OpenSaveDatabase();
        for (const std::int32_t number : numbers) {
            WriteEntryHeader(number, AsHeader(Header(static_cast<std::uint8_t>(number))));
        }
    }
    std::string Rows(const std::string& sql) { return Observer(file_).Rows(sql); }
    std::string Numbers() { return Rows("SELECT number FROM entry ORDER BY number;"); }

    // Runs `body` in a scope and returns the error it raised (line 0 when none).
    ExceptionHandle Failure(const std::function<void()>& body) {
        try {
            const DatabaseScope scope = OpenSaveDatabase(50ms);
            body();
        } catch (const ExceptionHandle& error) {
            return error;
        }
        return ExceptionHandle();
    }

    TempFolder folder_{"qb_savedb"};
    std::filesystem::path file_ = folder_ / "save.dat";
    std::u16string saved_folder_ = SettingsFolders.settings_folder;
};

TEST_F(SaveDatabaseTest, AFirstStartCreatesTheUtf16SchemaAndNothingElse) {
    Create();
    EXPECT_EQ(SaveDatabasePath(), folder_.Path("save.dat"));
    EXPECT_EQ(Rows("SELECT type, name, sql FROM sqlite_master;"),
              "table|global|CREATE TABLE global (id INTEGER PRIMARY KEY, name TEXT, value_text TEXT, value_bin BLOB);"
              "table|entry|CREATE TABLE entry (id INTEGER PRIMARY KEY, number INTEGER, header BLOB, backlog BLOB, "
              "value_data BLOB)");
    EXPECT_EQ(Rows("SELECT id, name, value_text, value_bin FROM global ORDER BY id;"),
              "1|SCENE|NULL|NULL;2|ALBUM|NULL|NULL;3|COMMON|NULL|NULL");
    EXPECT_EQ(Rows("SELECT typeof(name) FROM global WHERE id=1;"), "text");
    EXPECT_EQ(Rows("PRAGMA encoding;"), "UTF-16le");
    EXPECT_EQ(Rows("PRAGMA journal_mode;"), "delete");
    const DatabaseScope scope = OpenSaveDatabase();
    EXPECT_TRUE(SaveSchemaExists());
}

TEST_F(SaveDatabaseTest, AnEmptyFileLeftByAKillBecomesADatabase) {
    std::ofstream(file_).close();
    ASSERT_EQ(std::filesystem::file_size(file_), 0u);
    Create();
    EXPECT_EQ(Rows("PRAGMA encoding;"), "UTF-16le");
    EXPECT_EQ(Rows("SELECT count(*) FROM global;"), "3");
}

TEST_F(SaveDatabaseTest, ASchemaLeftByAnExceptionIsNotCommitted) {
    try {
        const DatabaseScope scope = OpenSaveDatabase();
        CreateSaveSchema();
        throw std::runtime_error("killed before the first values");
    } catch (const std::runtime_error&) {}
    EXPECT_EQ(FileBytes(file_), "") << "an empty file is an empty database";
    Create();
}

TEST_F(SaveDatabaseTest, GlobalRecordsKeepTheirBlobs) {
    Create();
    Bytes common(kCommonRecordBytes);
    for (std::size_t i = 0; i < common.size(); ++i) common[i] = static_cast<std::uint8_t>(i * 7);
    const Bytes scene = {'a', 'b', 'c', 0, 'd', 'e', 'f', 0, 0};
    const Bytes album = {0};
    {
        const DatabaseScope scope = OpenSaveDatabase();
        Bytes read(kCommonRecordBytes, 0xEE);
        EXPECT_FALSE(ReadCommonData(std::span<std::uint8_t, kCommonRecordBytes>(read))) << "never written";
        EXPECT_EQ(read, Bytes(kCommonRecordBytes, 0xEE));
        EXPECT_EQ(ReadSceneData(), Bytes());
        EXPECT_EQ(ReadAlbumData(), Bytes());
        WriteCommonData(std::span<const std::uint8_t, kCommonRecordBytes>(common));
        WriteSceneData(scene);
        WriteAlbumData(album);
    }
    EXPECT_EQ(Rows("SELECT name, value_bin FROM global ORDER BY id;"), "SCENE|#9;ALBUM|#1;COMMON|#2308");
    const DatabaseScope scope = OpenSaveDatabase();
    Bytes read(kCommonRecordBytes);
    EXPECT_TRUE(ReadCommonData(std::span<std::uint8_t, kCommonRecordBytes>(read)));
    EXPECT_EQ(read, common);
    EXPECT_EQ(ReadSceneData(), scene);
    EXPECT_EQ(ReadAlbumData(), album);
}

TEST_F(SaveDatabaseTest, SlotsAreWrittenOnceAndFoundByNumber) {
    Create();
    Slots({5, 5, 7});
    EXPECT_EQ(Numbers(), "5;7") << "saving twice to one number updates its row";
    const DatabaseScope scope = OpenSaveDatabase();
    EXPECT_TRUE(EntryExists(5));
    EXPECT_FALSE(EntryExists(6));
    Bytes read(kSaveData2Bytes);
    ReadEntryHeader(7, std::span<std::uint8_t, kSaveData2Bytes>(read));
    EXPECT_EQ(read, Header(7));
    const Bytes variables = {'x', 0, 5, 0, 0, 0, 0};
    WriteSlotVariables(7, variables);
    EXPECT_EQ(ReadSlotVariables(7), variables);
    EXPECT_EQ(ReadSlotVariables(5), Bytes()) << "never written";
    DeleteEntry(5);
    DeleteEntry(6);
    EXPECT_FALSE(EntryExists(5));
    EXPECT_TRUE(EntryExists(7));
}

TEST_F(SaveDatabaseTest, ASavedSlotsBacklogIsNull) {
    Create();
    Slots({3});
    ASSERT_EQ(Observer(file_).Exec("UPDATE entry SET backlog=x'01';"), SQLITE_OK);
    {
        const DatabaseScope scope = OpenSaveDatabase();
        WriteEntryBacklog(3);
    }
    EXPECT_EQ(Rows("SELECT backlog FROM entry;"), "NULL");
}

TEST_F(SaveDatabaseTest, RenumberingMovesOnlyExistingSlots) {
    Create();
    Slots({5, 8});
    {
        const DatabaseScope scope = OpenSaveDatabase();
        RenumberEntry(6, 7);
        RenumberEntry(5, 9);
    }
    EXPECT_EQ(Numbers(), "8;9");
    EXPECT_EQ(Rows("SELECT hex(substr(header, 1, 1)) FROM entry WHERE number=9;"), "05");
}

TEST_F(SaveDatabaseTest, TheRingSlotIsTheLowestOccupiedRingNumber) {
    Create();
    const struct {
        std::initializer_list<std::int32_t> slots;
        std::int32_t index;
    } cases[] = {{{}, -1}, {{1, 90, 100}, -1}, {{99}, 98}, {{95, 93}, 92}, {{91}, 90}};
    for (const auto& c : cases) {
        ASSERT_EQ(Observer(file_).Exec("DELETE FROM entry;"), SQLITE_OK);
        Slots(c.slots);
        const DatabaseScope scope = OpenSaveDatabase();
        EXPECT_EQ(FindRingSlot(), c.index) << Numbers();
    }
}

TEST_F(SaveDatabaseTest, ACommentReplacesTheCommentFieldOnly) {
    Create();
    Slots({4});
    const std::string long_kanji(40, '\x82');  // double-byte lead bytes: pairs "\x82\x82"
    const struct {
        std::string comment;
        std::string stored;  // the 36-byte field up to its zeros
    } cases[] = {
        {"hello", "hello"},
        {std::string(40, 'x'), std::string(35, 'x')},
        {long_kanji, std::string(34, '\x82')},
        {"", ""},
    };
    for (const auto& c : cases) {
        {
            const DatabaseScope scope = OpenSaveDatabase();
            UpdateEntryHeader(4, c.comment);
            UpdateEntryHeader(6, c.comment);  // no slot: left alone
        }
        const DatabaseScope scope = OpenSaveDatabase();
        Bytes read(kSaveData2Bytes);
        ReadEntryHeader(4, std::span<std::uint8_t, kSaveData2Bytes>(read));
        Bytes expected = Header(4);
        std::fill(expected.begin() + 4, expected.begin() + 40, 0);
        std::copy(c.stored.begin(), c.stored.end(), expected.begin() + 4);
        EXPECT_EQ(read, expected) << c.comment;
    }
    EXPECT_EQ(Numbers(), "4");
}

TEST_F(SaveDatabaseTest, FailuresAreRaisedWithTheirLineAndRollBack) {
    Create();
    Slots({2});
    ASSERT_EQ(Observer(file_).Exec("INSERT INTO entry(number, header) VALUES(8, x'0102');"
                                   "INSERT INTO entry(number) VALUES(9);"),
              SQLITE_OK);
    Bytes header(kSaveData2Bytes);
    const auto read_header = [&](std::int32_t number) {
        return [&header, number] { ReadEntryHeader(number, std::span<std::uint8_t, kSaveData2Bytes>(header)); };
    };
    const struct {
        std::function<void()> body;
        std::uint32_t line;
    } cases[] = {
        {read_header(3), 3650},
        {read_header(8), 3655},
        {read_header(9), 3655},
        {[] { UpdateEntryHeader(8, "x"); }, 3615},
        {[] { ReadSlotVariables(3); }, 3725},
        {[] {
             // A view in the place of the table: not the schema, and no table can take its name.
             SaveDatabaseSession.Database()->Execute(u"ALTER TABLE global RENAME TO old;");
             SaveDatabaseSession.Database()->Execute(u"CREATE VIEW global AS SELECT 1 AS x;");
             CreateSaveSchema();
         },
         3791},
    };
    for (const auto& c : cases) {
        const std::string before = FileBytes(file_);
        const ExceptionHandle error = Failure([&] {
            DeleteEntry(2);  // undone with the failure
            c.body();
        });
        EXPECT_EQ(std::u16string(error.file), u"script/scr_gui");
        EXPECT_EQ(error.line, c.line);
        EXPECT_NE(error.message[0], 0);
        EXPECT_EQ(FileBytes(file_), before) << c.line;
        EXPECT_EQ(SaveDatabaseSession.Users(), 0u);
    }
}

TEST_F(SaveDatabaseTest, TheSchemaIsThereOnlyWithBothTablesAndEachOfTheirColumns) {
    const struct {
        const char* sql;
        bool schema;
        const char* columns;  // CheckSaveColumns' failure, "" for none
    } cases[] = {
        {"", false, ""},
        {"CREATE TABLE global (id INTEGER PRIMARY KEY, name TEXT, value_text TEXT, value_bin BLOB);", false, ""},
        {"CREATE TABLE entry (id INTEGER PRIMARY KEY, number INTEGER, header BLOB, backlog BLOB, value_data BLOB);",
         false, ""},
        {"CREATE TABLE global (id INTEGER PRIMARY KEY, name TEXT, value_text TEXT, value_bin BLOB);"
         "CREATE TABLE entry (id INTEGER PRIMARY KEY, number INTEGER, header BLOB, backlog BLOB, value_data BLOB);",
         true, ""},
        {"CREATE TABLE global (id INTEGER PRIMARY KEY, name TEXT, value_bin BLOB);", false,
         "no such column: value_text"},
        {"CREATE TABLE entry (id INTEGER PRIMARY KEY, number INTEGER, header BLOB, backlog BLOB);", false,
         "no such column: value_data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        std::filesystem::remove(file_);
        ASSERT_EQ(Observer(file_).Exec(c.sql), SQLITE_OK);
        std::string failure;
        {
            const DatabaseScope scope = OpenSaveDatabase();
            EXPECT_EQ(SaveSchemaExists(), c.schema);
            try {
                CheckSaveColumns();
            } catch (const ExceptionHandle& error) {
                failure = Utf16ToUtf8(error.message);
                EXPECT_EQ(error.line, 3787u);
            }
        }
        EXPECT_EQ(failure, c.columns);
        if (!failure.empty()) continue;
        // What is missing is made; the slot a lone `entry` holds stays.
        Observer(file_).Exec("INSERT INTO entry(number) VALUES(7);");
        {
            const DatabaseScope scope = OpenSaveDatabase();
            CreateSaveSchema();
            EXPECT_TRUE(SaveSchemaExists());
        }
        EXPECT_EQ(Rows("SELECT name FROM global ORDER BY id;"), "SCENE;ALBUM;COMMON");
        EXPECT_EQ(Rows("SELECT number FROM entry;"), std::string(c.sql).find("entry") != std::string::npos ? "7" : "");
    }
}

TEST_F(SaveDatabaseTest, AShortCommonRecordIsRefused) {
    Create();
    ASSERT_EQ(Observer(file_).Exec("UPDATE global SET value_bin=x'0102' WHERE name='COMMON';"), SQLITE_OK);
    Bytes record(kCommonRecordBytes, 0xEE);
    {
        const DatabaseScope scope = OpenSaveDatabase();
        WriteSceneData(Bytes{0});
        try {
            ReadCommonData(std::span<std::uint8_t, kCommonRecordBytes>(record));
            ADD_FAILURE() << "read";
        } catch (const ExceptionHandle& error) {
            EXPECT_EQ(error.line, 3451u);
            EXPECT_EQ(std::u16string(error.message), u"save.dat: COMMON holds 2 bytes, not 2308.");
        }
    }
    EXPECT_EQ(record, Bytes(kCommonRecordBytes, 0xEE));
    EXPECT_EQ(Rows("SELECT value_bin FROM global WHERE name='SCENE';"), "NULL") << "caught inside, still rolled back";
}

TEST_F(SaveDatabaseTest, ALockHeldElsewhereIsAnErrorAndTheNextScopeWorks) {
    Create();
    Slots({1});
    const struct {
        const char* lock;
        std::uint32_t line;
    } cases[] = {
        {"BEGIN EXCLUSIVE;", 3411},  // not even readable: the connection's set-up fails
        {"BEGIN IMMEDIATE;", 3777},  // readable, but the DELETE cannot write
    };
    for (const auto& c : cases) {
        Observer other(file_);
        ASSERT_EQ(other.Exec(c.lock), SQLITE_OK);
        const ExceptionHandle error = Failure([] {
            EXPECT_TRUE(EntryExists(1));
            DeleteEntry(1);
        });
        EXPECT_EQ(std::u16string(error.file), u"script/scr_gui");
        EXPECT_EQ(error.line, c.line) << c.lock;
        EXPECT_EQ(std::u16string(error.message), u"database is locked");
        EXPECT_EQ(SaveDatabaseSession.Users(), 0u);
    }
    Slots({2});
    EXPECT_EQ(Numbers(), "1;2");
}

TEST_F(SaveDatabaseTest, EveryStatementNamesItsLine) {
    Create();
    ASSERT_EQ(Observer(file_).Exec("ALTER TABLE entry RENAME TO gone; ALTER TABLE global RENAME TO gone2;"), SQLITE_OK);
    Bytes header(kSaveData2Bytes);
    const auto whole = [&header] { return std::span<std::uint8_t, kSaveData2Bytes>(header); };
    const struct {
        std::function<void()> body;
        std::uint32_t line;
    } cases[] = {
        {[&] { WriteCommonData(std::span<const std::uint8_t, kCommonRecordBytes>(header.data(), kCommonRecordBytes)); },
         3434},
        {[&] { ReadCommonData(std::span<std::uint8_t, kCommonRecordBytes>(header.data(), kCommonRecordBytes)); }, 3445},
        {[&] { WriteSceneData(header); }, 3460},
        {[] { ReadSceneData(); }, 3472},
        {[&] { WriteAlbumData(header); }, 3489},
        {[] { ReadAlbumData(); }, 3501},
        {[] { RenumberEntry(1, 2); }, 3517},
        {[] { FindRingSlot(); }, 3554},
        {[&] { WriteEntryHeader(1, whole()); }, 3570},
        {[] { UpdateEntryHeader(1, "x"); }, 3608},
        {[&] { ReadEntryHeader(1, whole()); }, 3644},
        {[] { WriteEntryBacklog(1); }, 3667},
        {[&] { WriteSlotVariables(1, header); }, 3704},
        {[] { ReadSlotVariables(1); }, 3720},
        {[] { EntryExists(1); }, 3759},
        {[] { DeleteEntry(1); }, 3777},
    };
    for (const auto& c : cases) {
        const ExceptionHandle error = Failure(c.body);
        EXPECT_EQ(error.line, c.line);
        EXPECT_NE(std::u16string(error.message).find(u"no such table"), std::u16string::npos) << c.line;
    }
}

TEST_F(SaveDatabaseTest, AFileThatCannotBeOpenedSaysSo) {
    SettingsFolders.settings_folder = folder_.Path("missing/");
    const ExceptionHandle error = Failure([] { EntryExists(1); });
    EXPECT_EQ(std::u16string(error.file), u"script/scr_gui");
    EXPECT_EQ(error.line, 3410u);
    EXPECT_EQ(std::u16string(error.message), u"セーブファイルを開けません\n");
    EXPECT_EQ(SaveDatabaseSession.Users(), 0u);
    EXPECT_EQ(SaveDatabaseSession.Database(), nullptr);
}

TEST_F(SaveDatabaseTest, RowOperationsOutsideAScopeAreRefused) {
    EXPECT_THROW(EntryExists(1), ExceptionHandle);
    EXPECT_FALSE(std::filesystem::exists(file_));
}

}  // namespace

namespace {

// The write check stores nothing: the file keeps every byte. A file that reads but takes no write
// (a write version SQLite does not know, the slot table's root page zeroed, the free pages'
// list pointing past the file) fails it with a code that says so.
TEST_F(SaveDatabaseTest, TheWriteCheckLeavesTheFileAsItWasAndFailsWhereASaveWould) {
    Create();
    Slots({3, 91});
    const std::string intact = testsupport::FileBytes(file_);
    { ASSERT_NO_THROW(CheckSaveWritable()); }
    EXPECT_EQ(testsupport::FileBytes(file_), intact) << "rolled back";
    EXPECT_EQ(Numbers(), "3;91");
    ASSERT_EQ(Observer(file_).Exec("DELETE FROM entry WHERE number=91;"), SQLITE_OK);  // free pages to damage
    const std::string with_free_pages = testsupport::FileBytes(file_);
    const struct {
        const char* name;
        std::size_t at;
        std::string bytes;
    } damages[] = {
        {"write version", 18, "\x03"},
        {"slot table's root page zeroed", 2 * 4096, std::string(4096, '\0')},
        {"free pages past the file", 32, std::string("\x7f\xff\xff\x00", 4)},
    };
    for (const auto& d : damages) {
        SCOPED_TRACE(d.name);
        std::string bytes = with_free_pages;
        bytes.replace(d.at, d.bytes.size(), d.bytes);
        std::ofstream(file_, std::ios::binary) << bytes;
        try {
            CheckSaveWritable();
            ADD_FAILURE() << "no failure";
        } catch (const ExceptionHandle&) {
            EXPECT_TRUE(FileRefusesWrites(SaveDatabaseSession.LastError())) << SaveDatabaseSession.LastError();
        }
        EXPECT_EQ(testsupport::FileBytes(file_), bytes) << "never written";
    }
}

}  // namespace
