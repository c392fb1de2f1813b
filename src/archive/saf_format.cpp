#include "archive/saf_format.h"

#include <algorithm>
#include <cstring>

#include "lib/text.h"

namespace saf {
namespace {

std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

char16_t FoldAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c; }

bool IsSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

std::vector<Entry> DecodeRecords5(std::span<const std::uint8_t> records, std::size_t count) {
    std::vector<Entry> entries(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* record = records.data() + i * kRecordSize5;
        char name[kNameSize5];
        std::memcpy(name, record, kNameSize5);
        Entry& entry = entries[i];
        entry.directory = (name[0] & 0x80) != 0;
        name[0] = static_cast<char>(name[0] & 0x7F);
        // Names are padded with spaces; a NUL ends one too, since no name can hold it.
        std::string_view bytes(name, kNameSize5);
        bytes = bytes.substr(0, std::min(bytes.find(' '), bytes.find('\0')));
        entry.name = Cp932ToUtf16(bytes);
        entry.first = ReadU32(record + 20);
        entry.stored = ReadU32(record + 24);
        entry.decoded = ReadU32(record + 28);
    }
    return entries;
}

std::optional<std::vector<Entry>> DecodeEntries6(std::span<const std::uint8_t> table,
                                                 std::span<const std::uint8_t> names, std::size_t count) {
    // Every name must end inside the block: it is enough that the block's last byte ends one.
    if (names.empty() || names.back() != 0) return std::nullopt;
    std::vector<Entry> entries(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* raw = table.data() + i * kEntrySize6;
        std::uint32_t word = ReadU32(raw);
        std::uint32_t name_offset = word & ~kDirectoryBit6;
        if (name_offset >= names.size()) return std::nullopt;
        const char* name = reinterpret_cast<const char*>(names.data()) + name_offset;
        Entry& entry = entries[i];
        entry.directory = (word & kDirectoryBit6) != 0;
        entry.name = Cp932ToUtf16(std::string_view(name, std::strlen(name)));
        entry.first = ReadU32(raw + 4);
        entry.stored = ReadU32(raw + 8);
        entry.decoded = ReadU32(raw + 12);
    }
    return entries;
}

// The lookup key of a child: its folder's index, then its name with ASCII case folded.
std::u16string ChildKey(std::size_t folder, std::u16string_view name) {
    std::u16string key(1, static_cast<char16_t>(folder));
    key.reserve(name.size() + 1);
    for (char16_t c : name) key.push_back(FoldAscii(c));
    return key;
}

// Every folder reachable from the root must keep its children inside the index, and every entry
// must be reached once only: a folder met twice means the tree loops, an entry met twice that
// folders share children. Fills the child lookup while it walks.
bool WalkTree(Index& index) {
    const std::vector<Entry>& entries = index.entries;
    std::vector<bool> seen(entries.size(), false);
    std::vector<std::size_t> pending{0};
    seen[0] = true;
    while (!pending.empty()) {
        const std::size_t parent = pending.back();
        const Entry& folder = entries[parent];
        pending.pop_back();
        std::uint64_t end = std::uint64_t{folder.first} + folder.decoded;
        if (end > entries.size()) return false;
        for (std::size_t child = folder.first; child < end; ++child) {
            if (seen[child]) return false;
            seen[child] = true;
            ChildMatch& match = index.children[ChildKey(parent, entries[child].name)];
            if (match.any < 0) match.any = static_cast<int>(child);
            if (!entries[child].directory) continue;
            if (match.folder < 0) match.folder = static_cast<int>(child);
            pending.push_back(child);
        }
    }
    return true;
}

// The children of a folder as a range of entry indices.
struct Children {
    std::size_t first;
    std::size_t count;
};

Children ChildrenOf(const Index& index, std::size_t folder) {
    return {index.entries[folder].first, index.entries[folder].decoded};
}

int FindChild(const Index& index, std::size_t folder, std::u16string_view name, bool folder_only) {
    const auto found = index.children.find(ChildKey(folder, name));
    if (found == index.children.end()) return -1;
    return folder_only ? found->second.folder : found->second.any;
}

// Depth first without recursion: a pack may nest folders thousands deep.
void EnumerateFolder(const Index& index, std::vector<ArchiveListEntry>& out) {
    struct Level {
        Children children;
        std::size_t next;
        std::size_t prefix_size;
    };
    std::u16string prefix;
    std::vector<Level> stack{{ChildrenOf(index, 0), 0, 0}};
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.children.count) {
            stack.pop_back();
            continue;
        }
        std::size_t i = level.children.first + level.next++;
        const Entry& entry = index.entries[i];
        prefix.resize(level.prefix_size);
        if (entry.directory) {
            prefix.append(entry.name).push_back(u'/');
            // Paths are cut at kMaxPath anyway; keeping more would only cost memory.
            if (prefix.size() > ArchiveListEntry::kMaxPath) prefix.resize(ArchiveListEntry::kMaxPath);
            stack.push_back({ChildrenOf(index, i), 0, prefix.size()});
            continue;
        }
        std::u16string path = prefix;
        path.append(entry.name, 0, ArchiveListEntry::kMaxPath - std::min(path.size(), ArchiveListEntry::kMaxPath));
        out.push_back({std::move(path), entry.stored, entry.DataOffset()});
    }
}

}  // namespace

std::size_t HeaderSize(std::uint8_t version) { return version == 5 ? 4 : version == 6 ? 8 : 0; }

std::optional<Header> ParseHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 2) return std::nullopt;
    Header header;
    header.flags = bytes[0];
    header.version = bytes[1];
    std::size_t size = HeaderSize(header.version);
    if (size == 0 || bytes.size() < size) return std::nullopt;
    header.count = static_cast<std::uint16_t>(bytes[2] | bytes[3] << 8);
    if (header.version == 6) header.name_block_size = ReadU32(bytes.data() + 4);
    return header;
}

std::uint64_t IndexBodySize(const Header& header) {
    if (header.version == 5) return std::uint64_t{header.count} * kRecordSize5;
    return std::uint64_t{header.count} * kEntrySize6 + header.name_block_size;
}

void ScrambleRecords5(std::span<std::uint8_t> records) {
    // The key restarts every 60 bytes of the record area, whatever the record bounds.
    std::uint8_t key = 0x6B;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i % 60 == 0) key = 0x6B;
        records[i] ^= key++;
    }
}

void ScrambleEntries6(std::span<std::uint8_t> entries) {
    std::uint8_t key = 0xD4;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i % kEntrySize6 == 0) key = 0xD4;
        entries[i] ^= key++;
    }
}

void ScrambleNames6(std::span<std::uint8_t> names) {
    std::uint8_t key = 0x29;
    for (std::uint8_t& byte : names) byte ^= key--;
}

std::optional<Index> ParseIndex(const Header& header, std::span<const std::uint8_t> body) {
    if (header.count == 0 || body.size() < IndexBodySize(header)) return std::nullopt;
    std::vector<std::uint8_t> bytes(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(IndexBodySize(header)));
    const bool scrambled = (header.flags & kFlagScrambled) != 0;
    Index index;
    index.header = header;
    if (header.version == 5) {
        if (scrambled) ScrambleRecords5(bytes);
        index.entries = DecodeRecords5(bytes, header.count);
    } else {
        std::span<std::uint8_t> table(bytes.data(), std::size_t{header.count} * kEntrySize6);
        std::span<std::uint8_t> names(bytes.data() + table.size(), header.name_block_size);
        if (scrambled) {
            ScrambleEntries6(table);
            ScrambleNames6(names);
        }
        auto entries = DecodeEntries6(table, names, header.count);
        if (!entries) return std::nullopt;
        index.entries = std::move(*entries);
    }
    if (!WalkTree(index)) return std::nullopt;
    return index;
}

bool NamesEqual(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

int FindEntry(const Index& index, std::u16string_view path) {
    if (path.size() >= 2 && path[1] == u':') path.remove_prefix(2);
    std::vector<std::u16string_view> parts;
    while (!path.empty()) {
        std::size_t end = std::find_if(path.begin(), path.end(), IsSeparator) - path.begin();
        if (end > 0) parts.push_back(path.substr(0, end));
        path.remove_prefix(std::min(end + 1, path.size()));
    }
    if (parts.empty()) return -1;
    std::size_t folder = 0;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        const int found = FindChild(index, folder, parts[i], true);
        if (found < 0) return -1;
        folder = static_cast<std::size_t>(found);
    }
    return FindChild(index, folder, parts.back(), false);
}

std::vector<ArchiveListEntry> EnumerateFiles(const Index& index) {
    std::vector<ArchiveListEntry> out;
    EnumerateFolder(index, out);
    return out;
}

}  // namespace saf
