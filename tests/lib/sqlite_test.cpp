#include "lib/sqlite.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "lib/database_session.h"
#include "lib/error.h"
#include "support/sqlite_observer.h"
#include "support/temp_folder.h"

namespace {

using namespace std::chrono_literals;
using testsupport::TempFolder;

constexpr DatabaseSite kSite{u"db/test", 10, u"cannot open\n", 11, 12};

using Observer = testsupport::SqliteObserver;
using testsupport::FileBytes;

class DatabaseSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        Observer setup(file_);
        ASSERT_EQ(setup.Exec("CREATE TABLE t (v INTEGER); INSERT INTO t VALUES(1);"), SQLITE_OK);
    }
    void Insert(int value) {
        ComPtr<SQLite3Statement> statement;
        ASSERT_EQ(session_.Database()->Prepare(statement, u"INSERT INTO t VALUES(?);"), SQLITE_OK);
        statement->BindInt(1, value);
        ASSERT_EQ(statement->Step(), SQLITE_DONE);
    }
    std::string Values() { return Observer(file_).Rows("SELECT group_concat(v) FROM t;"); }

    TempFolder folder_{"qb_sqlite"};
    std::filesystem::path file_ = folder_ / "test.db";
    std::u16string path_ = folder_.Path("test.db");
    DatabaseSession session_{kSite};
};

TEST(SQLite3Objects, AnswerTheirOwnInterfaceOnly) {
    const ComPtr<SQLite3> database = ComPtr<SQLite3>::Adopt(new SQLite3());
    const ComPtr<SQLite3Statement> statement = ComPtr<SQLite3Statement>::Adopt(new SQLite3Statement(database.Get()));
    EXPECT_EQ(database->ReferenceCount(), 2) << "the statement holds its connection";
    struct Case {
        IUnknown* object;
        const IID& iid;
        HRESULT result;
    } const cases[] = {
        {database.Get(), IID_IUnknown, S_OK},
        {database.Get(), IID_SQLite3, S_OK},
        {database.Get(), IID_SQLite3Statement, E_NOINTERFACE},
        {statement.Get(), IID_SQLite3Statement, S_OK},
        {statement.Get(), IID_SQLite3, E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        void* out = &out;
        EXPECT_EQ(c.object->QueryInterface(c.iid, &out), c.result);
        EXPECT_EQ(out, c.result == S_OK ? static_cast<void*>(c.object) : nullptr);
        if (out) c.object->Release();
    }
}

TEST_F(DatabaseSessionTest, InvalidSqlLeavesTheStatementOutUnchanged) {
    const DatabaseScope scope(session_, path_);
    ComPtr<SQLite3Statement> statement;
    ASSERT_EQ(session_.Database()->Prepare(statement, u"SELECT 1;"), SQLITE_OK);
    SQLite3Statement* const held = statement.Get();
    EXPECT_EQ(session_.Database()->Prepare(statement, u"SELEKT 1;"), SQLITE_ERROR);
    EXPECT_EQ(statement.Get(), held);
    EXPECT_NE(session_.Database()->ErrorMessage().find(u"SELEKT"), std::u16string::npos);
    EXPECT_EQ(session_.Database()->ReferenceCount(), 2) << "the failed statement let its connection go";
}

TEST_F(DatabaseSessionTest, BlobsAreReadWithinTheirBytes) {
    const DatabaseScope scope(session_, path_);
    ComPtr<SQLite3Statement> statement;
    ASSERT_EQ(session_.Database()->Prepare(statement, u"SELECT NULL, x'', x'0102', '\u3042';"), SQLITE_OK);
    ASSERT_EQ(statement->Step(), SQLITE_ROW);
    EXPECT_FALSE(statement->ColumnBlob(0).has_value());
    ASSERT_TRUE(statement->ColumnBlob(1).has_value());
    EXPECT_EQ(statement->ColumnBlob(1)->size(), 0u);
    ASSERT_TRUE(statement->ColumnBlob(2).has_value());
    EXPECT_EQ(std::vector<std::uint8_t>(statement->ColumnBlob(2)->begin(), statement->ColumnBlob(2)->end()),
              (std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(statement->ColumnText16(3), u"\u3042");

    ComPtr<SQLite3Statement> typed;
    ASSERT_EQ(session_.Database()->Prepare(typed, u"SELECT typeof(?), length(?2);"), SQLITE_OK);
    ASSERT_EQ(typed->BindBlob(1, {}), SQLITE_OK);
    ASSERT_EQ(typed->Step(), SQLITE_ROW);
    EXPECT_EQ(typed->ColumnText16(0), u"blob") << "an empty blob is not NULL";
}

TEST_F(DatabaseSessionTest, ConnectionKeepsARollbackJournalWithFullSyncs) {
    Observer(file_).Exec("PRAGMA journal_mode=WAL;");
    ASSERT_EQ(Observer(file_).Rows("PRAGMA journal_mode;"), "wal");
    {
        const DatabaseScope scope(session_, path_);
        ComPtr<SQLite3Statement> statement;
        ASSERT_EQ(session_.Database()->Prepare(statement, u"PRAGMA synchronous;"), SQLITE_OK);
        ASSERT_EQ(statement->Step(), SQLITE_ROW);
        EXPECT_EQ(statement->ColumnInt(0), 2) << "FULL";
    }
    EXPECT_EQ(Observer(file_).Rows("PRAGMA journal_mode;"), "delete");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "test.db-wal"));
}

// A connection whose journal mode stays another than the rollback journal on disk (an in-memory
// database answers "memory", and its saves would be gone at the close) is refused and closed.
TEST_F(DatabaseSessionTest, AConnectionThatKeepsNoRollbackJournalIsRefused) {
    EXPECT_THROW(session_.Enter(u":memory:"), ExceptionHandle);
    EXPECT_EQ(session_.Users(), 0u);
    EXPECT_EQ(session_.Database(), nullptr);
    // The session is usable again afterwards.
    { const DatabaseScope scope(session_, path_); }
}

TEST_F(DatabaseSessionTest, OnlyTheOutermostScopeCommitsAndCloses) {
    {
        const DatabaseScope outer(session_, path_);
        SQLite3* database = session_.Database();
        {
            const DatabaseScope inner(session_, path_);
            EXPECT_EQ(session_.Users(), 2u);
            EXPECT_EQ(session_.Database(), database) << "one connection for both";
            Insert(2);
        }
        EXPECT_EQ(session_.Users(), 1u);
        EXPECT_EQ(Values(), "1") << "nothing committed before the outer scope ends";
        Insert(3);
    }
    EXPECT_EQ(session_.Users(), 0u);
    EXPECT_EQ(session_.Database(), nullptr);
    EXPECT_EQ(Values(), "1,2,3");
}

TEST_F(DatabaseSessionTest, AScopeLeftByAnExceptionRollsEverythingBack) {
    const std::string before = FileBytes(file_);
    try {
        const DatabaseScope outer(session_, path_);
        Insert(2);
        const DatabaseScope inner(session_, path_);
        Insert(3);
        throw 7;
    } catch (int) {}
    EXPECT_EQ(session_.Users(), 0u);
    EXPECT_EQ(Values(), "1");
    EXPECT_EQ(FileBytes(file_), before);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "test.db-journal"));
}

TEST_F(DatabaseSessionTest, AFailureCaughtInsideStillRollsTheScopeBack) {
    {
        const DatabaseScope outer(session_, path_);
        Insert(2);
        try {
            session_.Raise(42);
        } catch (const ExceptionHandle& error) {
            EXPECT_EQ(std::u16string(error.file), u"db/test");
            EXPECT_EQ(error.line, 42u);
        }
        Insert(3);
    }
    EXPECT_EQ(Values(), "1");
    // The next scope starts afresh.
    {
        const DatabaseScope scope(session_, path_);
        Insert(4);
    }
    EXPECT_EQ(Values(), "1,4");
}

TEST_F(DatabaseSessionTest, ANewSessionStartsWithItsFailureFlagAndCodeClear) {
    // A failure raised while no scope is open marks the session; the next one must not inherit it.
    EXPECT_THROW(session_.Raise(5), ExceptionHandle);
    EXPECT_TRUE(session_.Failed());
    EXPECT_EQ(session_.LastError(), SQLITE_MISUSE);
    {
        const DatabaseScope scope(session_, path_);
        EXPECT_FALSE(session_.Failed());
        EXPECT_EQ(session_.LastError(), 0);
        Insert(2);
    }
    EXPECT_EQ(Values(), "1,2");
}

TEST_F(DatabaseSessionTest, AFailureTellsAHeldFileFromADamagedOne) {
    {
        Observer other(file_);
        ASSERT_EQ(other.Exec("BEGIN EXCLUSIVE;"), SQLITE_OK);
        EXPECT_THROW(DatabaseScope(session_, path_, 10ms), ExceptionHandle);
        EXPECT_EQ(session_.LastError(), SQLITE_BUSY);
    }
    std::ofstream(file_, std::ios::binary) << std::string(4096, 'x');
    EXPECT_THROW(DatabaseScope(session_, path_, 10ms), ExceptionHandle);
    EXPECT_EQ(session_.LastError(), SQLITE_NOTADB);
}

TEST_F(DatabaseSessionTest, ALockHeldElsewhereEndsInAnErrorAfterTheTimeout) {
    Observer other(file_);
    ASSERT_EQ(other.Exec("BEGIN EXCLUSIVE;"), SQLITE_OK);
    const auto start = std::chrono::steady_clock::now();
    try {
        const DatabaseScope scope(session_, path_, 50ms);
        ADD_FAILURE() << "the locked file was opened";
    } catch (const ExceptionHandle& error) {
        EXPECT_EQ(error.line, 11u);
        EXPECT_EQ(std::u16string(error.message), u"database is locked");
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_EQ(session_.Users(), 0u);
    EXPECT_EQ(session_.Database(), nullptr);
    other.Exec("ROLLBACK;");
    {
        const DatabaseScope scope(session_, path_, 50ms);
        Insert(2);
    }
    EXPECT_EQ(Values(), "1,2");
}

TEST_F(DatabaseSessionTest, ACommitThatCannotTakeItsLockIsRaisedAndRolledBack) {
    Observer reader(file_);
    ASSERT_EQ(reader.Exec("BEGIN; SELECT * FROM t;"), SQLITE_OK);  // holds a shared lock
    try {
        {
            const DatabaseScope scope(session_, path_, 50ms);
            Insert(2);
        }
        ADD_FAILURE() << "the commit was not refused";
    } catch (const ExceptionHandle& error) {
        EXPECT_EQ(error.line, 12u);
        EXPECT_EQ(std::u16string(error.message), u"database is locked");
    }
    EXPECT_EQ(session_.Users(), 0u);
    EXPECT_EQ(session_.Database(), nullptr);
    reader.Exec("COMMIT;");
    EXPECT_EQ(Values(), "1");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "test.db-journal"));
}

TEST_F(DatabaseSessionTest, AFailedOpenLeavesTheSessionClosedForTheNextOpen) {
    SQLite3 database;
    EXPECT_EQ(database.Open(folder_.Path("missing/test.db")), SQLITE_CANTOPEN);
    EXPECT_FALSE(database.IsOpen());
    EXPECT_EQ(database.Open(path_), SQLITE_OK);
    EXPECT_TRUE(database.IsOpen());

    for (const std::u16string& bad : {folder_.Path("missing/test.db"), folder_.Path("")}) {
        try {
            const DatabaseScope scope(session_, bad);
            ADD_FAILURE() << "opened " << Utf16ToUtf8(bad);
        } catch (const ExceptionHandle& error) {
            EXPECT_EQ(std::u16string(error.file), u"db/test");
            EXPECT_EQ(error.line, 10u);
            EXPECT_EQ(std::u16string(error.message), u"cannot open\n");
        }
        EXPECT_EQ(session_.Users(), 0u);
        EXPECT_EQ(session_.Database(), nullptr);
    }
    {
        const DatabaseScope scope(session_, path_);
        Insert(2);
    }
    EXPECT_EQ(Values(), "1,2");
}

}  // namespace
