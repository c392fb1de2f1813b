// A thin wrapper over SQLite for the save database: SQLite3 owns one connection, SQLite3Statement
// one prepared statement. Both are reference-counted objects held through ComPtr; a statement
// keeps its connection object alive. All SQL and text handed to SQLite is UTF-16.
//
// Lock waits are bounded: a connection waits at most its busy timeout for another connection's
// lock and then the statement fails with SQLITE_BUSY, which the caller reports. Nothing is retried
// without a bound.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "lib/combase.h"

struct sqlite3;
struct sqlite3_stmt;

// How long a statement waits for another connection's lock before it fails.
inline constexpr std::chrono::milliseconds kDatabaseBusyTimeout{5000};

inline constexpr IID IID_SQLite3 = {0x5B1C9E20, 0x7D3A, 0x4C61, {0x9A, 0x0E, 0x31, 0x6F, 0x52, 0xC8, 0x0B, 0x17}};
inline constexpr IID IID_SQLite3Statement = {
    0x5B1C9E21, 0x7D3A, 0x4C61, {0x9A, 0x0E, 0x31, 0x6F, 0x52, 0xC8, 0x0B, 0x17}};

class SQLite3Statement;

class SQLite3 : public CComBaseT<IUnknown> {
public:
    static constexpr const IID& kIid = IID_SQLite3;

    SQLite3();
    ~SQLite3() override;

    HRESULT InternalQueryInterface(const IID& iid, void** out) override;

    // Opens (and creates when missing) the database file. On failure the connection SQLite
    // allocated anyway is closed again, so the object stays closed; returns the SQLite code.
    int Open(std::u16string_view path);
    // Opens an existing file only (a missing one is SQLITE_CANTOPEN), read and write where the
    // file allows, read only where it does not.
    int OpenExisting(std::u16string_view path);
    // Closes the connection when it is open. Statements still alive keep SQLite's connection
    // until they are finalized (sqlite3_close_v2), so closing never leaks nor fails.
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    sqlite3* Handle() const { return db_; }

    void SetBusyTimeout(std::chrono::milliseconds timeout);

    // Makes a new statement on this connection from UTF-16 SQL (byte length, -1 up to the zero
    // unit). On success `out` holds the caller's one reference and 0 is returned; on failure `out`
    // is left as it was and the SQLite code is returned (the text is ErrorMessage()).
    int Prepare(ComPtr<SQLite3Statement>& out, const char16_t* sql, int bytes = -1, const void** tail = nullptr);
    // Prepares and runs one statement to its end, ignoring the rows it gives; 0 or the SQLite code.
    int Execute(const char16_t* sql);

    // The connection's text of its last failure ("out of memory" when closed).
    std::u16string ErrorMessage() const;

private:
    sqlite3* db_ = nullptr;
};

class SQLite3Statement : public CComBaseT<IUnknown> {
public:
    static constexpr const IID& kIid = IID_SQLite3Statement;

    // Holds a reference on the owner until the statement goes.
    explicit SQLite3Statement(SQLite3* owner);
    ~SQLite3Statement() override;

    HRESULT InternalQueryInterface(const IID& iid, void** out) override;

    // Prepares UTF-16 SQL on the owner's connection; a statement is prepared once.
    int Prepare(const char16_t* sql, int bytes = -1, const void** tail = nullptr);
    // One step: SQLITE_ROW, SQLITE_DONE or an error code (SQLITE_BUSY once the busy timeout ran out).
    int Step();
    int Reset();
    int ClearBindings();

    int BindInt(int index, std::int32_t value);
    // The bytes are not copied: they must stay alive until the statement is reset or finalized.
    int BindBlob(int index, std::span<const std::uint8_t> bytes);
    int BindText16(int index, std::u16string_view text);

    bool ColumnIsNull(int column) const;
    std::int32_t ColumnInt(int column) const;
    std::u16string ColumnText16(int column) const;
    // The blob of the current row's column, bounded by its byte count; nothing for NULL. The bytes
    // stay valid until the next step, reset or finalization.
    std::optional<std::span<const std::uint8_t>> ColumnBlob(int column) const;

    sqlite3_stmt* Handle() const { return stmt_; }
    SQLite3* Owner() const { return owner_.Get(); }

private:
    ComPtr<SQLite3> owner_;
    sqlite3_stmt* stmt_ = nullptr;
};
