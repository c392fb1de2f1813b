// Helpers for the archive tests: a temporary folder and byte-level pack building.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lib/text.h"
#include "support/temp_folder.h"

namespace archive_test {

// The archive tests' name for the shared temporary folder.
using TempDir = testsupport::TempFolder;

inline void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// Appends little-endian fields, written out by hand so that no reader code is shared.
struct ByteWriter {
    std::vector<std::uint8_t> bytes;

    ByteWriter& U8(std::uint8_t v) {
        bytes.push_back(v);
        return *this;
    }
    ByteWriter& U16(std::uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
    ByteWriter& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    ByteWriter& Raw(const std::vector<std::uint8_t>& data) {
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }
    ByteWriter& Text(std::string_view text) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    // A version 5 name field: 20 bytes padded with spaces, top bit of byte 0 for a folder.
    ByteWriter& Name5(std::string_view name, bool folder) {
        std::string field(name);
        field.resize(20, ' ');
        if (folder) field[0] = static_cast<char>(field[0] | 0x80);
        return Text(field);
    }
    ByteWriter& PadTo(std::size_t size) {
        bytes.resize(size, 0);
        return *this;
    }
    std::size_t size() const { return bytes.size(); }
};

// Version 5 record scrambling: key 0x6B + i, restarting every 60 bytes.
inline void Scramble5(std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) bytes[from + i] ^= static_cast<std::uint8_t>(0x6B + i % 60);
}
// Version 6: entries with key 0xD4 + (i mod 16), the name block with 0x29 - i.
inline void Scramble6(std::vector<std::uint8_t>& bytes, std::size_t entries_from, std::size_t count,
                      std::size_t names_length) {
    for (std::size_t i = 0; i < count * 16; ++i) bytes[entries_from + i] ^= static_cast<std::uint8_t>(0xD4 + i % 16);
    const std::size_t names_from = entries_from + count * 16;
    for (std::size_t i = 0; i < names_length; ++i) bytes[names_from + i] ^= static_cast<std::uint8_t>(0x29 - i);
}

}  // namespace archive_test
