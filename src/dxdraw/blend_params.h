// The blend record every pixel-combining draw takes, and the span routine signature.
//
// Pixels are 32 bits, bytes B, G, R, A in memory, with the alpha byte inverted (0 opaque,
// 255 fully transparent); the opacity of a pixel is 255 - A.
#pragma once

#include <cstdint>

namespace DxDraw {

class DxImage;

// flags: bits 0-3 the operation column, bits 4-5 the destination-alpha row; together the
// span table index.
inline constexpr std::uint32_t BLEND_INDEX_MASK = 0xFF;
inline constexpr std::uint32_t BLEND_SOURCE_ALPHA = 0x10000;
// Not a switch of any routine; the blit clears it before dispatch.
inline constexpr std::uint32_t BLEND_RESERVED_BIT17 = 0x20000;
inline constexpr std::uint32_t BLEND_CHANNEL_MASK = 0x40000;
inline constexpr std::uint32_t BLEND_EXACT_FADE = 0x10000000;

// Operation columns.
enum BlendColumn : std::uint32_t {
    kColumnCopy = 0,
    kColumnBrightness = 1,
    kColumnFade = 2,
    kColumnAdd = 3,
    kColumnSubtract = 4,
    kColumnRule = 5,
    kColumnRuleReserved = 6,  // empty, but still given a rule-image pointer
    kColumnXor = 10,
    kColumnOntoOpaque = 11,
};

// Destination-alpha rows.
enum BlendRow : std::uint32_t {
    kAlphaFromSource = 0,
    kAlphaUnion = 1,
    kAlphaErase = 2,
    kAlphaKeep = 3,
};

constexpr std::uint32_t BlendIndex(std::uint32_t column, std::uint32_t row) { return column + 16 * row; }

// The neutral level of every operation that uses one.
inline constexpr std::int32_t kLevelNeutral = 256;

struct BlendParams {
    std::uint32_t flags = 0;
    std::uint32_t level = kLevelNeutral;  // low 16 bits read, signed
    std::uint32_t reserved0 = 0;
    std::uint32_t reserved1 = 0;
    std::uint32_t channelMask = 0xFFFFFFFF;  // byte masks B, G, R, A for BLEND_CHANNEL_MASK
    const DxImage* maskImage = nullptr;      // rule image of the rule column, not owned
    std::uint32_t reserved2 = 0;
    std::uint32_t reserved3 = 0;

    friend bool operator==(const BlendParams&, const BlendParams&) = default;
};

// The level as the engine reads it: the low 16 bits, signed.
constexpr std::int32_t RawLevel(const BlendParams& p) { return static_cast<std::int16_t>(p.level & 0xFFFF); }

// The level limited to what the column's tables cover (0..512 for brightness, fade and rule,
// 0..256 for the others): an out-of-range level from a caller can never index past a table.
constexpr std::int32_t ClampLevel(std::uint32_t column, std::int32_t level) {
    const std::int32_t high =
        (column == kColumnBrightness || column == kColumnFade || column == kColumnRule) ? 512 : 256;
    return level < 0 ? 0 : (level > high ? high : level);
}

// Bits 16-23 of flags: the plain routines mask and blend by its exact value (0x05 both,
// 0x04 mask, 0x01 blend, anything else neither); the fast routines and the plain rule blend
// on BLEND_SOURCE_ALPHA alone.
constexpr std::uint32_t AlphaMode(std::uint32_t flags) { return (flags >> 16) & 0xFF; }

// One span routine: an operation applied to a rectangle of `height` rows of `width` pixels.
// Pitches are signed byte distances from one row to the next (negative for bottom-up images).
// `aux` is the rule-image pixel matching `src`, read by the rule column only.
using SpanFunc = void (*)(void* dst, const void* src, const void* aux, std::int32_t width, const BlendParams* params,
                          std::int32_t dstPitch, std::int32_t srcPitch, std::int32_t auxPitch, std::int32_t height);

}  // namespace DxDraw
