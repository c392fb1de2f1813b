// Unaligned, aliasing-safe access to 32-bit pixels in byte buffers, shared by the span files.
#pragma once

#include <cstdint>
#include <cstring>

namespace DxDraw {

inline std::uint32_t LoadPixel(const void* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void StorePixel(void* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

inline std::uint8_t* AdvanceRow(void* p, std::int32_t pitch) { return static_cast<std::uint8_t*>(p) + pitch; }
inline const std::uint8_t* AdvanceRow(const void* p, std::int32_t pitch) {
    return static_cast<const std::uint8_t*>(p) + pitch;
}

inline constexpr std::uint32_t kColourBytes = 0x00FFFFFF;
inline constexpr std::uint32_t kAlphaByte = 0xFF000000;

}  // namespace DxDraw
