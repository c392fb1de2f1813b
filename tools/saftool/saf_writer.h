// Writes ".saf" packs from folder trees, and the encoders the packs use.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <vector>

enum class PackCompression { kNone, kZlib, kLzss };

struct PackOptions {
    std::uint8_t version = 6;  // 5 or 6
    bool scramble = false;
    PackCompression compression = PackCompression::kNone;  // LZSS needs version 6
};

// Raised for a tree that the format cannot hold or a file that cannot be read or written.
struct PackError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Packs every file under source into a pack at target. Names become CP932; a sub-folder whose
// name ends in ".saf" becomes a nested pack with the same options. Empty files are stored raw.
void PackFolder(const std::filesystem::path& source, const std::filesystem::path& target, const PackOptions& options);
// The same into memory.
std::vector<std::uint8_t> PackFolderToMemory(const std::filesystem::path& source, const PackOptions& options);

std::vector<std::uint8_t> EncodeLzss(std::span<const std::uint8_t> input);
std::vector<std::uint8_t> CompressZlib(std::span<const std::uint8_t> input);
