#include "lib/sqlite.h"

#include <sqlite3.h>

#include "lib/report.h"
#include "lib/text.h"

SQLite3::SQLite3() {
    // Born with the creator's reference, which ComPtr::Adopt takes over.
    InternalAddRef();
}

SQLite3::~SQLite3() { Close(); }

HRESULT SQLite3::InternalQueryInterface(const IID& iid, void** out) {
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, kIid)) {
        AddRef();
        *out = static_cast<IUnknown*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

int SQLite3::Open(std::u16string_view path) {
    if (db_) AssertFail("m_pDB == NULL", "src/lib/sqlite", 52);
    Close();
    const std::u16string terminated(path);
    const int result = sqlite3_open16(terminated.c_str(), &db_);
    // SQLite hands out a connection even when the open fails; it holds the error text only.
    if (result != SQLITE_OK) Close();
    return result;
}

int SQLite3::OpenExisting(std::u16string_view path) {
    if (db_) AssertFail("m_pDB == NULL", "src/lib/sqlite", 52);
    const int result = sqlite3_open_v2(Utf16ToUtf8(path).c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    if (result != SQLITE_OK) Close();
    return result;
}

void SQLite3::Close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

void SQLite3::SetBusyTimeout(std::chrono::milliseconds timeout) {
    if (db_) sqlite3_busy_timeout(db_, static_cast<int>(timeout.count()));
}

int SQLite3::Prepare(ComPtr<SQLite3Statement>& out, const char16_t* sql, int bytes, const void** tail) {
    ComPtr<SQLite3Statement> statement = ComPtr<SQLite3Statement>::Adopt(new SQLite3Statement(this));
    const int result = statement->Prepare(sql, bytes, tail);
    if (result == SQLITE_OK) out = std::move(statement);
    return result;
}

int SQLite3::Execute(const char16_t* sql) {
    ComPtr<SQLite3Statement> statement;
    int result = Prepare(statement, sql);
    if (result != SQLITE_OK) return result;
    while ((result = statement->Step()) == SQLITE_ROW) {}
    return result == SQLITE_DONE ? SQLITE_OK : result;
}

std::u16string SQLite3::ErrorMessage() const {
    // Without a connection SQLite answers with its out-of-memory text, the only way a
    // connection can be missing after an open.
    return reinterpret_cast<const char16_t*>(sqlite3_errmsg16(db_));
}

SQLite3Statement::SQLite3Statement(SQLite3* owner) : owner_(ComPtr<SQLite3>::Share(owner)) { InternalAddRef(); }

SQLite3Statement::~SQLite3Statement() {
    if (stmt_) {
        sqlite3_clear_bindings(stmt_);
        sqlite3_finalize(stmt_);
    }
}

HRESULT SQLite3Statement::InternalQueryInterface(const IID& iid, void** out) {
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, kIid)) {
        AddRef();
        *out = static_cast<IUnknown*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

int SQLite3Statement::Prepare(const char16_t* sql, int bytes, const void** tail) {
    if (stmt_) {
        AssertFail("m_pStmt==NULL", "src/lib/sqlite", 169);
        return SQLITE_MISUSE;
    }
    if (!owner_ || !owner_->IsOpen()) return SQLITE_MISUSE;
    return sqlite3_prepare16_v2(owner_->Handle(), sql, bytes, &stmt_, tail);
}

int SQLite3Statement::Step() { return sqlite3_step(stmt_); }
int SQLite3Statement::Reset() { return sqlite3_reset(stmt_); }
int SQLite3Statement::ClearBindings() { return sqlite3_clear_bindings(stmt_); }

int SQLite3Statement::BindInt(int index, std::int32_t value) { return sqlite3_bind_int(stmt_, index, value); }

int SQLite3Statement::BindBlob(int index, std::span<const std::uint8_t> bytes) {
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) return SQLITE_TOOBIG;
    // A zero-length blob needs a non-null pointer, or SQLite stores NULL instead.
    static constexpr std::uint8_t kEmpty{};
    return sqlite3_bind_blob(stmt_, index, bytes.empty() ? &kEmpty : bytes.data(), static_cast<int>(bytes.size()),
                             SQLITE_STATIC);
}

int SQLite3Statement::BindText16(int index, std::u16string_view text) {
    if (text.size() > static_cast<std::size_t>(INT32_MAX / 2)) return SQLITE_TOOBIG;
    return sqlite3_bind_text16(stmt_, index, text.data(), static_cast<int>(text.size() * 2), SQLITE_TRANSIENT);
}

bool SQLite3Statement::ColumnIsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

std::int32_t SQLite3Statement::ColumnInt(int column) const { return sqlite3_column_int(stmt_, column); }

std::u16string SQLite3Statement::ColumnText16(int column) const {
    const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(stmt_, column));
    // The byte count is asked after the text, so that it counts the UTF-16 form.
    const int bytes = sqlite3_column_bytes16(stmt_, column);
    if (!text || bytes <= 0) return {};
    return std::u16string(text, static_cast<std::size_t>(bytes) / 2);
}

std::optional<std::span<const std::uint8_t>> SQLite3Statement::ColumnBlob(int column) const {
    // The type first: asking for the blob converts the value, after which it no longer says NULL.
    if (ColumnIsNull(column)) return std::nullopt;
    const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
    const int count = sqlite3_column_bytes(stmt_, column);
    if (!bytes || count <= 0) return std::span<const std::uint8_t>();
    return std::span<const std::uint8_t>(bytes, static_cast<std::size_t>(count));
}
