// Readers that produce a whole entry at once: stored raw, zlib or LZSS.
#pragma once

#include <cstdint>
#include <span>

#include "archive/archive.h"

// The entry file is held by reference; the decoded size comes from the index. Null when the
// decoded size cannot come from that many stored bytes (so a corrupt index cannot make the
// caller allocate gigabytes).
ComPtr<ICompressedFile> MakeFlatFile(ComPtr<IArchiveFile> file);
ComPtr<ICompressedFile> MakeZipFile(ComPtr<IArchiveFile> file, std::uint64_t decoded_size);
ComPtr<ICompressedFile> MakeEggFile(ComPtr<IArchiveFile> file, std::uint64_t decoded_size);

// LZSS with a 4096-byte ring starting at 0xFEE; flag bits low first, 1 = literal. Stops when
// the input runs out or the output is full; returns the bytes written.
std::size_t DecodeLzss(std::span<std::uint8_t> output, std::span<const std::uint8_t> input);

namespace lzss {
inline constexpr std::size_t kRingSize = 4096;
inline constexpr std::size_t kRingStart = 0xFEE;
inline constexpr std::size_t kMinMatch = 3;
inline constexpr std::size_t kMaxMatch = 18;
}  // namespace lzss
