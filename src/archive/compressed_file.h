// Readers that produce a whole entry at once: stored raw, zlib or LZSS.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "archive/archive.h"

// The entry file is held by reference; the decoded size comes from the index. Null when the
// decoded size cannot come from that many stored bytes (so a corrupt index cannot make the
// caller allocate gigabytes).
ComPtr<ICompressedFile> MakeFlatFile(ComPtr<IArchiveFile> file);
ComPtr<ICompressedFile> MakeZipFile(ComPtr<IArchiveFile> file, std::uint64_t decoded_size);
ComPtr<ICompressedFile> MakeEggFile(ComPtr<IArchiveFile> file, std::uint64_t decoded_size);

namespace lzss {
inline constexpr std::size_t kRingSize = 4096;
inline constexpr std::size_t kRingStart = 0xFEE;
inline constexpr std::size_t kMinMatch = 3;
inline constexpr std::size_t kMaxMatch = 18;
}  // namespace lzss

// LZSS with a 4096-byte ring starting at 0xFEE; flag bits low first, 1 = literal. Each call
// goes on where the last one stopped (a reference cut by a full output included), so the
// output can be handed over piece by piece.
class LzssDecoder {
public:
    explicit LzssDecoder(std::span<const std::uint8_t> input) : input_(input) {}
    // Decodes until the output is full or the input runs out; returns the bytes written.
    std::size_t Decode(std::span<std::uint8_t> output);

private:
    std::span<const std::uint8_t> input_;
    std::array<std::uint8_t, lzss::kRingSize> ring_{};
    std::size_t r_ = lzss::kRingStart;
    std::size_t in_ = 0;
    unsigned flags_ = 0;
    std::size_t copyFrom_ = 0;  // the rest of a reference that the output had no room for
    std::size_t copyLeft_ = 0;
    bool exhausted_ = false;
};

// One whole decode: stops when the input runs out or the output is full; returns the bytes
// written.
std::size_t DecodeLzss(std::span<std::uint8_t> output, std::span<const std::uint8_t> input);
