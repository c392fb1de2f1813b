#include "lib/database_session.h"

#include <sqlite3.h>

#include <utility>

#include "lib/error.h"
#include "lib/report.h"
#include "lib/scope_guard.h"

namespace {

// The journal mode is the file's own once it is WAL, so it is set and its answer checked: a
// write-ahead log beside the file would hold committed saves that a copy of the file alone lacks.
int KeepRollbackJournal(SQLite3& database) {
    ComPtr<SQLite3Statement> statement;
    int result = database.Prepare(statement, u"PRAGMA journal_mode=DELETE;");
    if (result != SQLITE_OK) return result;
    result = statement->Step();
    if (result != SQLITE_ROW) return result;
    // The pragma answers with the mode in force; any other means the change was refused.
    return statement->ColumnText16(0) == u"delete" ? SQLITE_OK : SQLITE_ERROR;
}

}  // namespace

bool FileRefusesWrites(int code) {
    switch (code & 0xFF) {
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
        case SQLITE_READONLY:
        // A folder the journal cannot be made in, on builds that do not say READONLY for it.
        case SQLITE_CANTOPEN: return true;
        default: return false;
    }
}

bool FileHeld(int code) { return (code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED; }

bool DiskFailed(int code) { return (code & 0xFF) == SQLITE_FULL || (code & 0xFF) == SQLITE_IOERR; }

bool FileNeedsAttention(int code) { return FileHeld(code) || FileRefusesWrites(code) || (code & 0xFF) == SQLITE_ERROR; }

void DatabaseSession::Enter(std::u16string_view path, std::chrono::milliseconds busy_timeout, DatabaseAccess access) {
    if (users_ > 0) {
        ++users_;
        return;
    }
    lastError_ = 0;
    // Owned here until the transaction runs, so that every failure below closes it again and
    // leaves the session closed with no user.
    ComPtr<SQLite3> database = ComPtr<SQLite3>::Adopt(new SQLite3());
    const bool inspect = access == DatabaseAccess::kInspect;
    if (const int opened = inspect ? database->OpenExisting(path) : database->Open(path); opened != SQLITE_OK) {
        lastError_ = opened;
        ThrowError(site_.source, site_.open_line, 0, 0, u"%s", site_.open_message);
    }
    database->SetBusyTimeout(busy_timeout);
    const bool set_up =
        inspect ? sqlite3_db_config(database->Handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr) == SQLITE_OK &&
                      database->Execute(u"PRAGMA query_only=1;") == SQLITE_OK
                : KeepRollbackJournal(*database) == SQLITE_OK &&
                      database->Execute(u"PRAGMA synchronous=FULL;") == SQLITE_OK;
    if (!set_up || database->Execute(u"BEGIN;") != SQLITE_OK) RaiseFor(*database, site_.setup_line);
    database_ = std::move(database);
    failed_ = false;
    users_ = 1;
}

void DatabaseSession::Leave(bool abandoned) {
    if (users_ == 0 || !database_) {
        AssertFail("m_pDB", "src/lib/sqlite", 86);
        return;
    }
    if (abandoned) failed_ = true;
    if (--users_ > 0) return;
    ComPtr<SQLite3> database = std::move(database_);
    const bool failed = std::exchange(failed_, false);
    // Closed on every way out below, even while a statement someone still holds keeps the object.
    const ScopeExit close([&database] { database->Close(); });
    if (failed) {
        // Closing would roll back as well; the explicit ROLLBACK ends the transaction first.
        database->Execute(u"ROLLBACK;");
        return;
    }
    if (database->Execute(u"COMMIT;") != SQLITE_OK) {
        const std::u16string message = database->ErrorMessage();
        lastError_ = sqlite3_errcode(database->Handle());
        // A COMMIT that could not take its lock leaves the transaction open.
        database->Execute(u"ROLLBACK;");
        ThrowError(site_.source, site_.commit_line, 0, 0, u"%s", message);
    }
}

void DatabaseSession::Raise(std::uint32_t line) {
    failed_ = true;
    if (!database_) {
        lastError_ = SQLITE_MISUSE;
        ThrowError(site_.source, line, 0, 0, u"%s", u"The database is not open.");
    }
    RaiseFor(*database_, line);
}

void DatabaseSession::Refuse(std::uint32_t line, int code, std::u16string_view message) {
    failed_ = true;
    lastError_ = code;
    ThrowError(site_.source, line, 0, 0, u"%s", message);
}

void DatabaseSession::RaiseFor(SQLite3& database, std::uint32_t line) {
    lastError_ = sqlite3_errcode(database.Handle());
    ThrowError(site_.source, line, 0, 0, u"%s", database.ErrorMessage());
}
