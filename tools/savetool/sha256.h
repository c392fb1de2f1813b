// SHA-256 (FIPS 180-4) of a byte string, for the fingerprints savetool prints: the build links no
// library that offers it, and a fingerprint lets a test or a person compare two thumbnails
// without printing 58,800 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace savetool {

std::array<std::uint8_t, 32> Sha256(std::span<const std::uint8_t> bytes);
// The digest as 64 lower-case hex digits.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace savetool
