#include "screens/save_database.h"

#include "lib/text_field.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>

#include "app/settings.h"
#include "lib/error.h"
#include "lib/scope_guard.h"
#include "lib/text.h"
#include "screens/save_file.h"

namespace {

constexpr std::u16string_view kSource = u"script/scr_gui";

// The line each failure is reported with: one per statement (its prepare, bindings and steps),
// and one for each read that finds no row or a record of the wrong size.
enum Line : std::uint32_t {
    kOpenLine = 3410,
    kSetupLine = 3411,  // the connection's pragmas and BEGIN
    kCommitLine = 3412,
    kWriteCommonLine = 3434,
    kReadCommonLine = 3445,
    kReadCommonRowLine = 3450,
    kReadCommonSizeLine = kCommonRecordSizeLine,
    kWriteSceneLine = 3460,
    kReadSceneLine = 3472,
    kReadSceneRowLine = 3477,
    kWriteAlbumLine = 3489,
    kReadAlbumLine = 3501,
    kReadAlbumRowLine = 3505,
    kRenumberSelectLine = 3517,
    kRenumberUpdateLine = 3527,
    kFindRingLine = 3554,
    kWriteHeaderSelectLine = 3570,
    kWriteHeaderUpdateLine = 3581,
    kWriteHeaderInsertLine = 3592,
    kUpdateHeaderSelectLine = 3608,
    kUpdateHeaderSizeLine = 3615,
    kUpdateHeaderUpdateLine = 3627,
    kReadHeaderLine = 3644,
    kReadHeaderRowLine = 3650,
    kReadHeaderSizeLine = 3655,
    kWriteBacklogLine = 3667,
    kWriteVariablesLine = 3704,
    kReadVariablesLine = 3720,
    kReadVariablesRowLine = 3725,
    kEntryExistsLine = 3759,
    kDeleteLine = 3777,
    kSchemaExistsLine = 3785,
    kGlobalRowExistsLine = 3786,
    kColumnsLine = 3787,
    kEncodingLine = 3789,
    kIntegrityLine = 3790,
    kCountSlotsLine = 3788,
    kCreateGlobalLine = 3791,
    kCreateEntryLine = 3797,
    kInsertGlobalLine = 3807,
};

constexpr DatabaseSite kSaveSite{kSource, kOpenLine, u"セーブファイルを開けません\n", kSetupLine, kCommitLine};

// The quick-save ring's slot numbers.
constexpr std::int32_t kFirstRingNumber = 91;
constexpr std::int32_t kLastRingNumber = 99;

// The number the write check stores its record at: no slot, no ring turn uses it.
constexpr std::int32_t kWriteCheckNumber = 0;

// The comment field of a slot's header record: 36 bytes from offset 4, zero-terminated.
constexpr std::size_t kCommentOffset = 4;
constexpr std::size_t kCommentBytes = 36;

// One statement of the save database, prepared on the session's connection and finalized when
// it goes. Every failure raises the error exception with the statement's line.
class SaveStatement {
public:
    SaveStatement(const char16_t* sql, std::uint32_t line) : line_(line) {
        SQLite3* database = SaveDatabaseSession.Database();
        if (!database) SaveDatabaseSession.Raise(line_);
        if (database->Prepare(statement_, sql) != SQLITE_OK) SaveDatabaseSession.Raise(line_);
    }

    // Ready for another run: the last run's row and bindings are dropped.
    void Restart() {
        statement_->Reset();
        statement_->ClearBindings();
    }
    void BindInt(int index, std::int32_t value) { Check(statement_->BindInt(index, value)); }
    void BindBlob(int index, std::span<const std::uint8_t> bytes) { Check(statement_->BindBlob(index, bytes)); }
    void BindText(int index, std::u16string_view text) { Check(statement_->BindText16(index, text)); }

    // True with a row, false at the end.
    bool Step() {
        const int result = statement_->Step();
        if (result == SQLITE_ROW) return true;
        if (result != SQLITE_DONE) SaveDatabaseSession.Raise(line_);
        return false;
    }
    // Runs a writing statement to its end.
    void Run() {
        while (Step()) {}
    }
    // Steps to the one row a read needs; no row raises the error of `missing_line`.
    void StepToRow(std::uint32_t missing_line) {
        if (!Step()) SaveDatabaseSession.Raise(missing_line);
    }

    std::optional<std::span<const std::uint8_t>> Blob() const { return statement_->ColumnBlob(0); }
    std::u16string Text() const { return statement_->ColumnText16(0); }
    std::int32_t Int() const { return statement_->ColumnInt(0); }

    // The first `limit` bytes of the record in `column` of `table`, for a row of a statement that
    // selects "rowid, typeof(column)": read through an incremental blob handle, so that a record
    // of any size costs no more memory than the limit. Nothing for NULL; no bytes for a number,
    // which no record is.
    std::optional<std::vector<std::uint8_t>> RecordPrefix(const char* table, const char* column,
                                                          std::size_t limit) const {
        sqlite3_stmt* row = statement_->Handle();
        const char* type = reinterpret_cast<const char*>(sqlite3_column_text(row, 1));
        const std::string_view kind = type ? type : "null";
        if (kind == "null") return std::nullopt;
        if (kind != "blob" && kind != "text") return std::vector<std::uint8_t>();
        sqlite3_blob* blob = nullptr;
        const ScopeExit close([&blob] { sqlite3_blob_close(blob); });
        if (sqlite3_blob_open(SaveDatabaseSession.Database()->Handle(), "main", table, column,
                              sqlite3_column_int64(row, 0), 0, &blob) != SQLITE_OK)
            SaveDatabaseSession.Raise(line_);
        std::vector<std::uint8_t> bytes(std::min(limit, static_cast<std::size_t>(sqlite3_blob_bytes(blob))));
        if (!bytes.empty() && sqlite3_blob_read(blob, bytes.data(), static_cast<int>(bytes.size()), 0) != SQLITE_OK)
            SaveDatabaseSession.Raise(line_);
        return bytes;
    }

private:
    void Check(int result) {
        if (result != SQLITE_OK) SaveDatabaseSession.Raise(line_);
    }

    ComPtr<SQLite3Statement> statement_;
    std::uint32_t line_;
};

// A record whose stored size is not its own is refused: nothing is read past the blob, and a
// damaged slot is named.
// `size` is what was read, at most one byte past the record.
[[noreturn]] void RefuseSize(std::uint32_t line, std::u16string_view what, std::size_t size, std::size_t expected) {
    // A record's own damage, not the file's: its code says so, whatever failed before it.
    if (size > expected)
        SaveDatabaseSession.Refuse(
            line, SQLITE_MISMATCH,
            FormatString(u"save.dat: %s holds more than %u bytes.", what, static_cast<unsigned>(expected)));
    SaveDatabaseSession.Refuse(line, SQLITE_MISMATCH,
                               FormatString(u"save.dat: %s holds %u bytes, not %u.", what, static_cast<unsigned>(size),
                                            static_cast<unsigned>(expected)));
}

void WriteGlobal(const char16_t* sql, std::uint32_t line, std::span<const std::uint8_t> blob) {
    SaveStatement statement(sql, line);
    statement.BindBlob(1, blob);
    statement.Run();
}

// `sql` selects "rowid, typeof(value_bin)" of one row of `global`.
std::optional<std::vector<std::uint8_t>> ReadGlobal(const char16_t* sql, std::uint32_t line, std::uint32_t missing_line,
                                                    std::size_t limit) {
    SaveStatement statement(sql, line);
    statement.StepToRow(missing_line);
    return statement.RecordPrefix("global", "value_bin", limit);
}

// True when a slot row with the number exists, by `sql`, a SELECT of that slot.
bool SlotRowExists(const char16_t* sql, std::uint32_t line, std::int32_t number) {
    SaveStatement statement(sql, line);
    statement.BindInt(1, number);
    return statement.Step();
}

bool GlobalRowExists(std::u16string_view name) {
    SaveStatement statement(u"SELECT id FROM global WHERE name=?;", kGlobalRowExistsLine);
    statement.BindText(1, name);
    return statement.Step();
}

}  // namespace

DatabaseSession SaveDatabaseSession(kSaveSite);

std::u16string DescribeSaveFailure(int code, std::u16string_view message) {
    std::u16string_view cause;
    switch (code & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED: cause = u"他のプログラムが使っています"; break;
        case SQLITE_FULL: cause = u"ディスクがいっぱいです"; break;
        case SQLITE_IOERR: cause = u"ディスクの読み書きに失敗しました"; break;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
        case SQLITE_ERROR: cause = u"ファイルが壊れています"; break;
        case SQLITE_READONLY: cause = u"ファイルに書き込めません"; break;
        // A file that is gone (or a link to nothing) is named so: the player looks for it.
        case SQLITE_CANTOPEN:
            cause = IdentityOf(SaveDatabasePath()) ? u"ファイルを開けません" : u"ファイルがありません";
            break;
        // A slot's own damage, or a failure of no file: the message says it all.
        default: return std::u16string(message);
    }
    return FormatString(u"%s: %s", cause, message);
}

std::u16string SaveDatabasePath() { return SettingsFolders.settings_folder + u"save.dat"; }

DatabaseScope OpenSaveDatabase(std::chrono::milliseconds busy_timeout) {
    return DatabaseScope(SaveDatabaseSession, SaveDatabasePath(), busy_timeout);
}

DatabaseScope InspectSaveDatabase(const std::u16string& path, std::chrono::milliseconds busy_timeout) {
    return DatabaseScope(SaveDatabaseSession, path, busy_timeout, DatabaseAccess::kInspect);
}

bool SaveTableExists(std::u16string_view table) {
    SaveStatement statement(u"SELECT count(*) FROM sqlite_master WHERE type='table' AND name=?;", kSchemaExistsLine);
    statement.BindText(1, table);
    statement.StepToRow(kSchemaExistsLine);
    return statement.Int() > 0;
}

bool SaveSchemaExists() { return SaveTableExists(u"global") && SaveTableExists(u"entry"); }

void CheckSaveColumns() {
    // Preparing names every column: a table without one of them fails with SQLite's words.
    if (SaveTableExists(u"global"))
        SaveStatement(u"SELECT id, name, value_text, value_bin FROM global LIMIT 0;", kColumnsLine).Run();
    if (SaveTableExists(u"entry"))
        SaveStatement(u"SELECT id, number, header, backlog, value_data FROM entry LIMIT 0;", kColumnsLine).Run();
}

void CreateSaveSchema() {
    // Only a database without any table takes an encoding; the pragma is part of the transaction
    // that creates the tables, so a file is either empty or complete.
    SaveStatement(u"PRAGMA encoding=\"UTF-16le\";", kEncodingLine).Run();
    // A file that lost one table keeps the other with what it holds: only what is missing is made.
    if (!SaveTableExists(u"global"))
        SaveStatement(u"CREATE TABLE global (id INTEGER PRIMARY KEY, name TEXT, value_text TEXT, value_bin BLOB);",
                      kCreateGlobalLine)
            .Run();
    if (!SaveTableExists(u"entry"))
        SaveStatement(
            u"CREATE TABLE entry (id INTEGER PRIMARY KEY, number INTEGER, header BLOB, backlog BLOB, value_data BLOB);",
            kCreateEntryLine)
            .Run();
    SaveStatement insert(u"INSERT INTO global(name) VALUES(?);", kInsertGlobalLine);
    for (const std::u16string_view name : {u"SCENE", u"ALBUM", u"COMMON"}) {
        if (GlobalRowExists(name)) continue;
        insert.Restart();
        insert.BindText(1, name);
        insert.Run();
    }
}

void CheckSaveIntegrity() {
    // The first finding is enough to name the damage; "ok" is the one answer of a sound file.
    SaveStatement check(u"PRAGMA quick_check(1);", kIntegrityLine);
    check.StepToRow(kIntegrityLine);
    if (const std::u16string finding = check.Text(); finding != u"ok")
        SaveDatabaseSession.Refuse(kIntegrityLine, SQLITE_CORRUPT, finding);
}

std::int32_t CountSlots() {
    SaveStatement count(u"SELECT count(*) FROM entry WHERE number BETWEEN 1 AND 99;", kCountSlotsLine);
    count.StepToRow(kCountSlotsLine);
    return count.Int();
}

void CheckSaveWritable() {
    const DatabaseScope scope = OpenSaveDatabase();
    // Rolled back however the check ends, so that nothing of it reaches the file.
    SaveDatabaseSession.MarkFailed();
    const std::vector<std::uint8_t> record(kSaveData2Bytes);
    WriteEntryHeader(kWriteCheckNumber, std::span<const std::uint8_t, kSaveData2Bytes>(record.data(), kSaveData2Bytes));
}

void WriteCommonData(std::span<const std::uint8_t, kCommonRecordBytes> record) {
    WriteGlobal(u"UPDATE global SET value_bin=? WHERE name='COMMON';", kWriteCommonLine, record);
}

bool ReadCommonData(std::span<std::uint8_t, kCommonRecordBytes> record) {
    // One byte past the record tells a longer one without reading all of it.
    const std::optional<std::vector<std::uint8_t>> blob =
        ReadGlobal(u"SELECT rowid, typeof(value_bin) FROM global WHERE name='COMMON';", kReadCommonLine,
                   kReadCommonRowLine, record.size() + 1);
    if (!blob) return false;
    if (blob->size() != record.size()) RefuseSize(kReadCommonSizeLine, u"COMMON", blob->size(), record.size());
    std::copy(blob->begin(), blob->end(), record.begin());
    return true;
}

void WriteSceneData(std::span<const std::uint8_t> blob) {
    WriteGlobal(u"UPDATE global SET value_bin=? WHERE name='SCENE';", kWriteSceneLine, blob);
}

std::vector<std::uint8_t> ReadSceneData(std::size_t limit) {
    return ReadGlobal(u"SELECT rowid, typeof(value_bin) FROM global WHERE name='SCENE';", kReadSceneLine,
                      kReadSceneRowLine, limit)
        .value_or(std::vector<std::uint8_t>());
}

void WriteAlbumData(std::span<const std::uint8_t> blob) {
    WriteGlobal(u"UPDATE global SET value_bin=? WHERE name='ALBUM';", kWriteAlbumLine, blob);
}

std::vector<std::uint8_t> ReadAlbumData(std::size_t limit) {
    return ReadGlobal(u"SELECT rowid, typeof(value_bin) FROM global WHERE name='ALBUM';", kReadAlbumLine,
                      kReadAlbumRowLine, limit)
        .value_or(std::vector<std::uint8_t>());
}

bool EntryExists(std::int32_t number) {
    return SlotRowExists(u"SELECT number FROM entry WHERE number=?;", kEntryExistsLine, number);
}

void ReadEntryHeader(std::int32_t number, std::span<std::uint8_t, kSaveData2Bytes> record) {
    SaveStatement statement(u"SELECT rowid, typeof(header) FROM entry WHERE number=?;", kReadHeaderLine);
    statement.BindInt(1, number);
    statement.StepToRow(kReadHeaderRowLine);
    // One byte past the record tells a longer one without reading all of it.
    const std::vector<std::uint8_t> blob =
        statement.RecordPrefix("entry", "header", record.size() + 1).value_or(std::vector<std::uint8_t>());
    if (blob.size() != record.size()) RefuseSize(kReadHeaderSizeLine, u"a slot header", blob.size(), record.size());
    std::copy(blob.begin(), blob.end(), record.begin());
}

void WriteEntryHeader(std::int32_t number, std::span<const std::uint8_t, kSaveData2Bytes> record) {
    if (SlotRowExists(u"SELECT header FROM entry WHERE number=?;", kWriteHeaderSelectLine, number)) {
        SaveStatement update(u"UPDATE entry SET header=? WHERE number=?;", kWriteHeaderUpdateLine);
        update.BindBlob(1, record);
        update.BindInt(2, number);
        update.Run();
    } else {
        SaveStatement insert(u"INSERT INTO entry(number,header) VALUES(?,?);", kWriteHeaderInsertLine);
        insert.BindInt(1, number);
        insert.BindBlob(2, record);
        insert.Run();
    }
}

void UpdateEntryHeader(std::int32_t number, std::string_view comment) {
    std::vector<std::uint8_t> record;
    {
        SaveStatement select(u"SELECT header FROM entry WHERE number=?;", kUpdateHeaderSelectLine);
        select.BindInt(1, number);
        if (!select.Step()) return;
        const std::optional<std::span<const std::uint8_t>> blob = select.Blob();
        const std::size_t size = blob ? blob->size() : 0;
        if (size != kSaveData2Bytes) RefuseSize(kUpdateHeaderSizeLine, u"a slot header", size, kSaveData2Bytes);
        record.assign(blob->begin(), blob->end());
    }
    // The field keeps its terminating zero: at most 35 bytes of text, the rest zeros.
    const auto field = std::span<std::uint8_t>(record).subspan(kCommentOffset, kCommentBytes);
    std::fill(field.begin(), field.end(), std::uint8_t{0});
    CopyFieldCp932(reinterpret_cast<char*>(field.data()), field.size(), comment);

    SaveStatement update(u"UPDATE entry SET header=? WHERE number=?;", kUpdateHeaderUpdateLine);
    update.BindBlob(1, record);
    update.BindInt(2, number);
    update.Run();
}

void WriteEntryBacklog(std::int32_t number) {
    SaveStatement statement(u"UPDATE entry SET backlog=? WHERE number=?;", kWriteBacklogLine);
    // ?1 stays unbound, so the column becomes NULL.
    statement.BindInt(2, number);
    statement.Run();
}

void WriteSlotVariables(std::int32_t number, std::span<const std::uint8_t> blob) {
    SaveStatement statement(u"UPDATE entry SET value_data=? WHERE number=?;", kWriteVariablesLine);
    statement.BindBlob(1, blob);
    statement.BindInt(2, number);
    statement.Run();
}

std::vector<std::uint8_t> ReadSlotVariables(std::int32_t number, std::size_t limit) {
    SaveStatement statement(u"SELECT rowid, typeof(value_data) FROM entry WHERE number=?;", kReadVariablesLine);
    statement.BindInt(1, number);
    statement.StepToRow(kReadVariablesRowLine);
    return statement.RecordPrefix("entry", "value_data", limit).value_or(std::vector<std::uint8_t>());
}

void DeleteEntry(std::int32_t number) {
    SaveStatement statement(u"DELETE FROM entry WHERE number=?;", kDeleteLine);
    statement.BindInt(1, number);
    statement.Run();
}

void RenumberEntry(std::int32_t from, std::int32_t to) {
    if (!SlotRowExists(u"SELECT number FROM entry WHERE number=?;", kRenumberSelectLine, from)) return;
    SaveStatement update(u"UPDATE entry SET number=? WHERE number=?;", kRenumberUpdateLine);
    update.BindInt(1, to);
    update.BindInt(2, from);
    update.Run();
}

std::int32_t FindRingSlot() {
    SaveStatement statement(u"SELECT header FROM entry WHERE number=?;", kFindRingLine);
    for (std::int32_t number = kFirstRingNumber; number <= kLastRingNumber; ++number) {
        statement.Restart();
        statement.BindInt(1, number);
        if (statement.Step()) return number - 1;
    }
    return -1;
}
