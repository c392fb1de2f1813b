// A connection of a test's own to a database file, for looking at the file as SQLite itself sees
// it and for holding locks against the program's connection.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testsupport {

class SqliteObserver {
public:
    explicit SqliteObserver(const std::filesystem::path& path) { sqlite3_open(path.c_str(), &db_); }
    ~SqliteObserver() { sqlite3_close(db_); }
    SqliteObserver(const SqliteObserver&) = delete;
    SqliteObserver& operator=(const SqliteObserver&) = delete;

    int Exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
    // Every row, its columns joined by '|' ("NULL" for NULL, a blob as "#" and its byte count),
    // the rows by ';'; SQLite's message when the query is refused.
    std::string Rows(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) return sqlite3_errmsg(db_);
        std::string rows;
        for (bool first = true; sqlite3_step(statement) == SQLITE_ROW; first = false) {
            if (!first) rows += ';';
            for (int column = 0; column < sqlite3_column_count(statement); ++column) {
                if (column) rows += '|';
                switch (sqlite3_column_type(statement, column)) {
                    case SQLITE_NULL: rows += "NULL"; break;
                    case SQLITE_BLOB: rows += "#" + std::to_string(sqlite3_column_bytes(statement, column)); break;
                    default: rows += reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
                }
            }
        }
        sqlite3_finalize(statement);
        return rows;
    }

private:
    sqlite3* db_ = nullptr;
};

// The file's bytes, to tell whether a scope left the database file as it was.
inline std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace testsupport
