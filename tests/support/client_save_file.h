// Save files built by the sqlite3 command-line client, independently of the game's own encoders:
// the records are laid out byte by byte from their documented offsets, written into SQL as hex
// literals and run through the client against the documented schema. The tests that read such a
// file with savetool or load it with the game share these pieces.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/run_tool.h"

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

// The schema of "save.dat" as the client writes it: the file's text encoding, then both tables.
inline constexpr const char* kSaveSchemaSql =
    "PRAGMA encoding=\"UTF-16le\";\n"
    "CREATE TABLE global (id INTEGER PRIMARY KEY, name TEXT, value_text TEXT, value_bin BLOB);\n"
    "CREATE TABLE entry (id INTEGER PRIMARY KEY, number INTEGER, header BLOB, backlog BLOB, value_data BLOB);\n";

// Upper-case hex digits, as an SQL blob literal X'...' takes them.
inline std::string Hex(std::span<const std::uint8_t> bytes) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (const std::uint8_t byte : bytes) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

// Little-endian stores at a byte offset; .at() so that a wrong offset fails the test, not memory.
inline void Put16(Bytes& bytes, std::size_t at, std::uint16_t value) {
    bytes.at(at) = static_cast<std::uint8_t>(value);
    bytes.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}
inline void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    Put16(bytes, at, static_cast<std::uint16_t>(value));
    Put16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}
// The text's bytes and a terminating zero.
inline void PutBytes(Bytes& bytes, std::size_t at, const std::string& text) {
    bytes.at(at + text.size()) = 0;
    std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

// The bytes of a variable blob in the order given: name, zero, value as 32-bit little-endian, and
// a zero after the last entry.
inline Bytes VariableBlob(std::initializer_list<std::pair<std::string, std::int32_t>> variables) {
    Bytes blob;
    for (const auto& [name, value] : variables) {
        blob.insert(blob.end(), name.begin(), name.end());
        blob.push_back(0);
        for (int i = 0; i < 4; ++i)
            blob.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i)));
    }
    blob.push_back(0);
    return blob;
}

// One scene-state record of a slot: its mode and its CP932 name.
struct ClientScene {
    std::uint8_t mode;
    std::string name;
};

// A slot record of 65,796 bytes laid out by its offsets: u32 0, the CP932 comment at 4, the eight
// u16 of the time at 40, the page at 56, a 140 x 105 32-bit picture header at 60, the 58,800
// pixels at 100 and the five scene records of 32 bytes (mode, name) at 65,636.
inline Bytes ClientSlotHeader(const std::string& comment, const std::uint16_t (&time)[8], std::int32_t page,
                              std::span<const std::uint8_t> pixels, const ClientScene (&scenes)[5]) {
    Bytes header(65'796);
    PutBytes(header, 4, comment);
    for (int i = 0; i < 8; ++i) Put16(header, 40 + 2 * i, time[i]);
    Put32(header, 56, static_cast<std::uint32_t>(page));
    Put32(header, 60, 40);
    Put32(header, 64, 140);
    Put32(header, 68, 105);
    Put16(header, 72, 1);
    Put16(header, 74, 32);
    std::copy(pixels.begin(), pixels.end(), header.begin() + 100);
    for (int i = 0; i < 5; ++i) {
        header.at(65'636 + 32 * i) = scenes[i].mode;
        PutBytes(header, 65'637 + 32 * i, scenes[i].name);
    }
    return header;
}

// The common record of 2,308 bytes: the last used slot index at 0, the two UTF-16 hero names at 4
// and 132, and the page-read bits from 260 (bit 7 of a byte is its first page).
inline Bytes ClientCommonRecord(std::int32_t last_slot, std::u16string_view name1, std::u16string_view name2,
                                std::initializer_list<int> seen_pages) {
    Bytes common(2'308);
    Put32(common, 0, static_cast<std::uint32_t>(last_slot));
    for (std::size_t i = 0; i < name1.size(); ++i) Put16(common, 4 + 2 * i, name1[i]);
    for (std::size_t i = 0; i < name2.size(); ++i) Put16(common, 132 + 2 * i, name2[i]);
    for (const int page : seen_pages)
        common.at(260 + static_cast<std::size_t>(page >> 3)) |= static_cast<std::uint8_t>(0x80 >> (page & 7));
    return common;
}

// The SQL that inserts one slot row with its header and variable blob.
inline std::string InsertEntrySql(std::int32_t number, std::span<const std::uint8_t> header,
                                  std::span<const std::uint8_t> variables) {
    return "INSERT INTO entry(number,header,value_data) VALUES(" + std::to_string(number) + ",X'" + Hex(header) +
           "',X'" + Hex(variables) + "');\n";
}

// The client the build found (`built`, from find_program), else the first on PATH; empty when
// there is none.
inline std::string FindSqliteClient(const std::string& built) {
    if (!built.empty() && std::filesystem::is_regular_file(built)) return built;
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::filesystem::path candidate = std::filesystem::path(folder) / "sqlite3";
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return {};
}

// What a test says when the client is missing.
inline constexpr const char* kSqliteClientMissing =
    "the sqlite3 command-line client is missing: install the Debian package sqlite3 (scripts/install-deps.sh "
    "does)";

// Runs the SQL through the client on `file`, in batch mode and stopping at the first error; the
// script is written beside the file and removed afterwards.
inline ToolRun RunSqliteClient(const std::string& client, const std::filesystem::path& file, const std::string& sql) {
    const std::filesystem::path script = file.parent_path() / "client_script.sql";
    std::ofstream(script, std::ios::binary) << sql;
    ToolRun run = RunTool(client, "-batch -bail '" + file.string() + "' < '" + script.string() + "'");
    std::filesystem::remove(script);
    return run;
}

}  // namespace testsupport
