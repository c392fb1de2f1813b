// The database session: one connection kept open, inside one transaction, for as long as any
// scope of the program uses it.
//
// The first DatabaseScope opens the file, sets the connection up and begins the transaction; the
// scopes opened inside it only count. The outermost scope ends the transaction: it commits when
// every scope ended normally and nothing failed, and rolls back when a scope was left by an
// exception or a failure was raised through the session, so half-done work never reaches the
// file. A COMMIT that fails is rolled back and raised as the error exception.
//
// Every failure the session raises is the error exception with the site's source and line and
// SQLite's message (the open failure with the site's own message).
#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <string_view>

#include "lib/combase.h"
#include "lib/sqlite.h"

// Where a session's failures are reported: the source named in the error, the line of each
// step the session runs itself, and the message of a file that cannot be opened.
struct DatabaseSite {
    std::u16string_view source;
    std::uint32_t open_line;
    std::u16string_view open_message;
    std::uint32_t setup_line;  // the connection's pragmas and BEGIN
    std::uint32_t commit_line;
};

// How a session opens its file. A file met for the first time, or changed by someone else since
// the session last wrote it, is inspected before anything is written into it: a damaged file kept
// aside must be the file as it was, and even the switch of its journal mode is a write.
enum class DatabaseAccess {
    kWrite,    // created when missing, a rollback journal with full syncs
    kInspect,  // an existing file only, its journal mode as it is, no statement that writes, and
               // no checkpoint of a write-ahead log on close
};

class DatabaseSession {
public:
    explicit DatabaseSession(const DatabaseSite& site) : site_(site) {}
    DatabaseSession(const DatabaseSession&) = delete;
    DatabaseSession& operator=(const DatabaseSession&) = delete;

    // One more user. The first opens `path`, makes every lock wait end after `busy_timeout`,
    // keeps a rollback journal written with full syncs and begins the transaction; when any of
    // that fails the connection is closed again and the count stays 0.
    // With `access` kInspect only the file as it is is opened, and nothing is written.
    void Enter(std::u16string_view path, std::chrono::milliseconds busy_timeout = kDatabaseBusyTimeout,
               DatabaseAccess access = DatabaseAccess::kWrite);
    // One user less. The last one commits, or rolls back when the session failed or `abandoned`
    // (the user's scope is left by an exception), then closes the connection. A failed COMMIT is
    // rolled back and raised, but only when `abandoned` is false.
    void Leave(bool abandoned);

    // Raises the error exception for the statement at `line` with the connection's message, and
    // marks the session so that its transaction is rolled back.
    [[noreturn]] void Raise(std::uint32_t line);
    // Marks the session so that its transaction is rolled back.
    void MarkFailed() { failed_ = true; }
    // Raises the error exception for `line` with `message`, as though SQLite had answered `code`
    // (a damage SQLite reports as rows of a check, not as a failure), and marks the session.
    [[noreturn]] void Refuse(std::uint32_t line, int code, std::u16string_view message);

    std::uint32_t Users() const { return users_; }
    bool Failed() const { return failed_; }
    // The SQLite result code of the last failure raised through the session (0 before any), so
    // that a caller can tell a file another program holds (SQLITE_BUSY) from a damaged one.
    int LastError() const { return lastError_; }
    // The open connection; null while no scope is open.
    SQLite3* Database() const { return database_.Get(); }

private:
    [[noreturn]] void RaiseFor(SQLite3& database, std::uint32_t line);

    DatabaseSite site_;
    std::uint32_t users_ = 0;
    ComPtr<SQLite3> database_;
    bool failed_ = false;
    int lastError_ = 0;
};

// Whether a failure's SQLite code says that the file cannot take a write however often it is
// tried: it is damaged or not a database, or it is read only (a write version SQLite does not
// know, a file or a folder the player may not write).
bool FileRefusesWrites(int code);
// Whether the code says that another connection holds the file, so that a later try may succeed.
bool FileHeld(int code);
// Whether the code says that the disk is full or failed: nothing is wrong with the file, and a
// later try may succeed once there is room again.
bool DiskFailed(int code);
// Whether the file itself needs looking at again: held, refusing writes, or SQLite's plain error
// (a table or a format missing: the file was changed behind the session's back).
bool FileNeedsAttention(int code);

// One user of a session for the life of a scope.
class DatabaseScope {
public:
    DatabaseScope(DatabaseSession& session, std::u16string_view path,
                  std::chrono::milliseconds busy_timeout = kDatabaseBusyTimeout,
                  DatabaseAccess access = DatabaseAccess::kWrite)
        : session_(session) {
        session_.Enter(path, busy_timeout, access);
    }
    // Throws only when the outermost scope's COMMIT fails, never while an exception unwinds.
    ~DatabaseScope() noexcept(false) { session_.Leave(std::uncaught_exceptions() > uncaught_); }
    DatabaseScope(const DatabaseScope&) = delete;
    DatabaseScope& operator=(const DatabaseScope&) = delete;

private:
    DatabaseSession& session_;
    int uncaught_ = std::uncaught_exceptions();
};
