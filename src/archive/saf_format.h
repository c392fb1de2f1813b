// The ".saf" pack format: header, index of versions 5 and 6, index scrambling, and the lookups
// over a loaded index. Works on bytes in memory, so the packer and the tests share it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/archive.h"

namespace saf {

inline constexpr std::uint64_t kSectorSize = 2048;
inline constexpr std::uint8_t kFlagScrambled = 0x01;
inline constexpr std::uint8_t kFlagLzss = 0x02;  // version 6: compressed entries are LZSS, not zlib
inline constexpr std::size_t kRecordSize5 = 32;
inline constexpr std::size_t kNameSize5 = 20;
inline constexpr std::size_t kEntrySize6 = 16;
inline constexpr std::uint32_t kDirectoryBit6 = 0x80000000u;

struct Header {
    std::uint8_t flags = 0;
    std::uint8_t version = 0;
    std::uint16_t count = 0;
    std::uint32_t name_block_size = 0;  // version 6 only
};

// Bytes of the header of a version: 4 or 8 (0 for an unknown version).
std::size_t HeaderSize(std::uint8_t version);
// Reads the header from the pack's first bytes; nullopt when too short or not version 5 or 6.
std::optional<Header> ParseHeader(std::span<const std::uint8_t> bytes);
// Bytes of index that follow the header.
std::uint64_t IndexBodySize(const Header& header);

// The index scrambling is a rolling XOR, so one routine both scrambles and unscrambles.
void ScrambleRecords5(std::span<std::uint8_t> records);
void ScrambleEntries6(std::span<std::uint8_t> entries);
void ScrambleNames6(std::span<std::uint8_t> names);

struct Entry {
    std::u16string name;
    bool directory = false;
    std::uint32_t first = 0;    // file: first sector; folder: index of the first child
    std::uint32_t stored = 0;   // stored size in bytes
    std::uint32_t decoded = 0;  // file: decoded size (0 = stored raw); folder: child count

    std::uint64_t DataOffset() const { return first * kSectorSize; }
    bool IsCompressed() const { return !directory && decoded != 0; }
};

// The first child of a folder with a given name (ASCII case folded), and the first such child
// that is a folder; -1 where there is none.
struct ChildMatch {
    int any = -1;
    int folder = -1;
};

struct Index {
    Header header;
    std::vector<Entry> entries;  // entry 0 is the root folder
    // Keyed by the parent folder's index (one unit) then the folded name, so that a lookup
    // costs the same in a folder of 65,535 files as in one of ten.
    std::unordered_map<std::u16string, ChildMatch> children;
};

// Decodes the index that follows the header (scrambled as the header says) and checks its
// structure: every reachable folder's children lie inside the index, no entry is reached twice
// (so no loops, and no folders sharing children, which would make listings grow with the
// square of the index), and every version 6 name lies inside a terminated name block. nullopt when
// the bytes are short or the structure is broken.
std::optional<Index> ParseIndex(const Header& header, std::span<const std::uint8_t> body);

// Entry index of a path ('/' or '\' between folders, drive part ignored, ASCII case ignored),
// or -1. Only folders are walked into.
int FindEntry(const Index& index, std::u16string_view path);

// Every file, depth first in index order, with its path from the root.
std::vector<ArchiveListEntry> EnumerateFiles(const Index& index);

// Equal ignoring ASCII case.
bool NamesEqual(std::u16string_view a, std::u16string_view b);

}  // namespace saf
