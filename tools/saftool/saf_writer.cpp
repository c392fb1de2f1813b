#include "saf_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fstream>
#include <string>

#include "archive/saf_format.h"
#include "lib/diskfile.h"
#include "lib/text.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kMaxOffset = 0xFFFFFFFFull;

struct Node {
    std::string name;  // CP932
    bool directory = false;
    fs::path source;                   // a file stored as it is on disk, read while writing
    std::vector<std::uint8_t> stored;  // or the bytes to store, already prepared
    bool has_stored = false;
    std::uint64_t stored_size = 0;
    std::uint64_t decoded_size = 0;  // 0: stored raw
    std::vector<Node> children;
    // Filled by the layout.
    std::uint32_t first = 0;
};

// Read once at its final size; a pipe or device in the tree is an error, not a wait.
std::vector<std::uint8_t> ReadWholeFile(const fs::path& path) {
    std::optional<std::vector<std::uint8_t>> bytes = LoadNativeFile(path.native());
    if (!bytes)
        throw PackError("cannot read " + path.string() +
                        (errno == EINVAL ? " (not a regular file)" : std::string(": ") + std::strerror(errno)));
    return std::move(*bytes);
}

bool EndsWithSaf(const std::string& name) {
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ".saf";
}

void CheckName(const std::string& cp932, const std::string& shown, std::uint8_t version) {
    if (cp932.empty() || cp932.find('\0') != std::string::npos) throw PackError("bad name: " + shown);
    if (version != 5) return;
    if (cp932.size() > saf::kNameSize5) throw PackError("name longer than 20 bytes for version 5: " + shown);
    if (cp932.find(' ') != std::string::npos) throw PackError("name with a space for version 5: " + shown);
    if (static_cast<unsigned char>(cp932[0]) >= 0x80)
        throw PackError("name starting with a non-ASCII byte for version 5: " + shown);
}

Node MakeFile(const fs::path& path, const PackOptions& options) {
    Node node;
    node.source = path;
    if (fs::is_directory(path)) {  // a nested pack
        node.stored = PackFolderToMemory(path, options);
        node.has_stored = true;
    } else if (options.compression == PackCompression::kNone) {
        std::error_code error;
        node.stored_size = fs::file_size(path, error);
        if (error) throw PackError("cannot read " + path.string());
    } else {
        std::vector<std::uint8_t> raw = ReadWholeFile(path);
        node.decoded_size = raw.size();
        if (raw.empty()) {
            node.has_stored = true;
        } else {
            node.stored = options.compression == PackCompression::kZlib ? CompressZlib(raw) : EncodeLzss(raw);
            node.has_stored = true;
        }
    }
    if (node.has_stored) node.stored_size = node.stored.size();
    if (node.stored_size > kMaxOffset || node.decoded_size > kMaxOffset)
        throw PackError("file too large: " + path.string());
    return node;
}

Node ReadTree(const fs::path& folder, const PackOptions& options) {
    Node node;
    node.directory = true;
    std::vector<fs::path> paths;
    for (const auto& entry : fs::directory_iterator(folder)) paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    for (const fs::path& path : paths) {
        const std::string shown = path.filename().string();
        const std::string name = Utf16ToCp932(Utf8ToUtf16(shown));
        CheckName(name, shown, options.version);
        Node child = fs::is_directory(path) && !EndsWithSaf(shown) ? ReadTree(path, options) : MakeFile(path, options);
        child.name = name;
        node.children.push_back(std::move(child));
    }
    return node;
}

// Index order: children of a folder are consecutive, folders are laid out breadth first.
std::vector<Node*> LayOut(Node& root) {
    std::vector<Node*> order{&root};
    std::deque<Node*> folders{&root};
    while (!folders.empty()) {
        Node* folder = folders.front();
        folders.pop_front();
        folder->first = static_cast<std::uint32_t>(order.size());
        for (Node& child : folder->children) {
            order.push_back(&child);
            if (child.directory) folders.push_back(&child);
        }
        if (order.size() > 0xFFFF) throw PackError("more than 65535 entries");
    }
    return order;
}

void PutU32(std::vector<std::uint8_t>& out, std::uint64_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint64_t RoundToSector(std::uint64_t n) {
    return (n + saf::kSectorSize - 1) / saf::kSectorSize * saf::kSectorSize;
}

// Header and index; sets every file's first sector from data_start on.
std::vector<std::uint8_t> BuildIndex(std::vector<Node*>& order, const PackOptions& options) {
    std::uint8_t flags = options.scramble ? saf::kFlagScrambled : 0;
    if (options.compression == PackCompression::kLzss) flags |= saf::kFlagLzss;
    std::vector<std::uint8_t> names;
    std::vector<std::uint32_t> name_offsets;
    if (options.version == 6) {
        for (Node* node : order) {
            name_offsets.push_back(static_cast<std::uint32_t>(names.size()));
            names.insert(names.end(), node->name.begin(), node->name.end());
            names.push_back(0);
        }
        if (names.size() >= saf::kDirectoryBit6) throw PackError("name block too large");
    }
    const std::size_t record_size = options.version == 5 ? saf::kRecordSize5 : saf::kEntrySize6;
    const std::uint64_t index_end = saf::HeaderSize(options.version) + order.size() * record_size + names.size();
    std::uint64_t offset = RoundToSector(index_end);
    for (Node* node : order) {
        if (node->directory) continue;
        node->first = static_cast<std::uint32_t>(offset / saf::kSectorSize);
        offset += RoundToSector(node->stored_size);
    }
    if (offset > kMaxOffset + 1) throw PackError("pack larger than 4 GiB");

    std::vector<std::uint8_t> out{flags, options.version, static_cast<std::uint8_t>(order.size()),
                                  static_cast<std::uint8_t>(order.size() >> 8)};
    if (options.version == 6) PutU32(out, names.size());
    const std::size_t table_start = out.size();
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Node& node = *order[i];
        const std::uint64_t third = node.directory ? node.children.size() : node.decoded_size;
        if (options.version == 5) {
            std::string name = node.name;
            name.resize(saf::kNameSize5, ' ');
            if (node.directory) name[0] = static_cast<char>(name[0] | 0x80);
            out.insert(out.end(), name.begin(), name.end());
        } else {
            PutU32(out, name_offsets[i] | (node.directory ? saf::kDirectoryBit6 : 0));
        }
        PutU32(out, node.first);
        PutU32(out, node.stored_size);
        PutU32(out, third);
    }
    std::span<std::uint8_t> table(out.data() + table_start, out.size() - table_start);
    if (options.scramble) options.version == 5 ? saf::ScrambleRecords5(table) : saf::ScrambleEntries6(table);
    if (options.scramble && options.version == 6) saf::ScrambleNames6(names);
    out.insert(out.end(), names.begin(), names.end());
    out.resize(RoundToSector(out.size()), 0);
    return out;
}

template <class Put>
void WritePack(const fs::path& source, const PackOptions& options, Put put) {
    if (options.version != 5 && options.version != 6) throw PackError("version must be 5 or 6");
    if (options.version == 5 && options.compression == PackCompression::kLzss)
        throw PackError("LZSS entries need version 6");
    Node root = ReadTree(source, options);
    std::vector<Node*> order = LayOut(root);
    put(BuildIndex(order, options));
    for (const Node* node : order) {
        if (node->directory) continue;
        std::vector<std::uint8_t> bytes = node->has_stored ? node->stored : ReadWholeFile(node->source);
        if (bytes.size() != node->stored_size) throw PackError("file changed while packing: " + node->source.string());
        bytes.resize(RoundToSector(bytes.size()), 0);
        put(std::move(bytes));
    }
}

}  // namespace

std::vector<std::uint8_t> PackFolderToMemory(const fs::path& source, const PackOptions& options) {
    std::vector<std::uint8_t> pack;
    WritePack(source, options,
              [&](std::vector<std::uint8_t> bytes) { pack.insert(pack.end(), bytes.begin(), bytes.end()); });
    return pack;
}

void PackFolder(const fs::path& source, const fs::path& target, const PackOptions& options) {
    if (!fs::is_directory(source)) throw PackError("not a folder: " + source.string());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (!out) throw PackError("cannot write " + target.string());
    WritePack(source, options, [&](const std::vector<std::uint8_t>& bytes) {
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    });
    out.close();
    if (!out) throw PackError("cannot write " + target.string());
}

std::vector<std::uint8_t> CompressZlib(std::span<const std::uint8_t> input) {
    uLongf size = compressBound(static_cast<uLong>(input.size()));
    std::vector<std::uint8_t> out(size);
    if (compress2(out.data(), &size, input.data(), static_cast<uLong>(input.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw PackError("zlib compression failed");
    out.resize(size);
    return out;
}
