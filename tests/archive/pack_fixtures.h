// Hand-made packs, laid out byte by byte in the test so that a reader error cannot hide behind
// a writer that shares it.
#pragma once

#include <string>
#include <vector>

#include "test_util.h"

namespace archive_test {

// Version 5, three records (96 bytes: the scrambling key restarts inside the second record):
//   root -> "a.txt" = "abc" (sector 1), "ABCDEFGHIJKLMNOPQRST" (a full 20-byte name) = "full".
inline std::vector<std::uint8_t> Fixture5(bool scrambled) {
    ByteWriter w;
    w.U8(scrambled ? 1 : 0).U8(5).U16(3);
    w.Name5("", true).U32(1).U32(0).U32(2);
    w.Name5("a.txt", false).U32(1).U32(3).U32(0);
    w.Name5("ABCDEFGHIJKLMNOPQRST", false).U32(2).U32(4).U32(0);
    if (scrambled) Scramble5(w.bytes, 4, 96);
    w.PadTo(2048).Text("abc").PadTo(4096).Text("full").PadTo(6144);
    return w.bytes;
}

inline constexpr std::size_t kFixture6Names = 40;
inline constexpr std::size_t kFixture6Count = 6;

// Version 6 with folders and a nested version 5 pack:
//   [0] root: 1..3   [1] "bg": 4..5   [2] "ReadMe.TXT" = "hello world" (sector 1)
//   [3] "nested.saf" = Fixture5 (sector 3)   [4] "title.png" = "PNGDATA" (sector 2)
//   [5] "sub": empty folder
inline std::vector<std::uint8_t> Fixture6(bool scrambled, bool nested_scrambled = false) {
    ByteWriter w;
    w.U8(scrambled ? 1 : 0).U8(6).U16(kFixture6Count).U32(kFixture6Names);
    w.U32(0x80000000u | 0).U32(1).U32(0).U32(3);
    w.U32(0x80000000u | 1).U32(4).U32(0).U32(2);
    w.U32(4).U32(1).U32(11).U32(0);
    w.U32(15).U32(3).U32(6144).U32(0);
    w.U32(26).U32(2).U32(7).U32(0);
    w.U32(0x80000000u | 36).U32(6).U32(0).U32(0);
    w.U8(0).Text("bg").U8(0).Text("ReadMe.TXT").U8(0).Text("nested.saf").U8(0).Text("title.png").U8(0);
    w.Text("sub").U8(0);
    if (scrambled) Scramble6(w.bytes, 8, kFixture6Count, kFixture6Names);
    w.PadTo(2048).Text("hello world").PadTo(4096).Text("PNGDATA").PadTo(6144).Raw(Fixture5(nested_scrambled));
    return w.bytes;
}

// Offsets into Fixture6 (unscrambled) for patching single fields.
inline std::size_t Entry6(std::size_t index, std::size_t field) { return 8 + index * 16 + field * 4; }
inline void PatchU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

struct FlatEntry {
    std::string name;
    std::vector<std::uint8_t> stored;
    std::uint32_t decoded;  // 0: stored raw
};

// Version 6, unscrambled, every entry at the root, each from its own sector.
inline std::vector<std::uint8_t> FlatPack6(std::uint8_t flags, const std::vector<FlatEntry>& entries) {
    std::string names(1, '\0');
    std::vector<std::uint32_t> offsets;
    for (const FlatEntry& e : entries) {
        offsets.push_back(static_cast<std::uint32_t>(names.size()));
        names += e.name;
        names.push_back('\0');
    }
    ByteWriter w;
    w.U8(flags).U8(6).U16(static_cast<std::uint16_t>(entries.size() + 1)).U32(static_cast<std::uint32_t>(names.size()));
    w.U32(0x80000000u).U32(1).U32(0).U32(static_cast<std::uint32_t>(entries.size()));
    std::uint32_t sector = 1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        w.U32(offsets[i]).U32(sector).U32(static_cast<std::uint32_t>(entries[i].stored.size())).U32(entries[i].decoded);
        sector += static_cast<std::uint32_t>((entries[i].stored.size() + 2047) / 2048);
    }
    w.Text(names);
    for (const FlatEntry& e : entries) w.PadTo((w.size() + 2047) / 2048 * 2048).Raw(e.stored);
    w.PadTo((w.size() + 2047) / 2048 * 2048);
    return w.bytes;
}

}  // namespace archive_test
