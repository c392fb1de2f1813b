// The plain span path: one pixel per step, every weighting a read from the byte tables.
#include <cstring>

#include "dxdraw/blend_tables.h"
#include "dxdraw/span_engine.h"
#include "dxdraw/span_pixels.h"

namespace DxDraw {
namespace {

std::uint32_t M(std::uint32_t x, std::uint32_t w) { return MulDiv255Table[w][x]; }
std::uint32_t S(std::uint32_t x, std::uint32_t level) { return LevelTable[level][x]; }
// x with weight w out of 255 over y; never above 255.
std::uint32_t P(std::uint32_t x, std::uint32_t y, std::uint32_t w) { return M(x, w) + M(y, 255 - w); }

// Applies a per-channel function to the three colour bytes of two pixels.
template <class F>
std::uint32_t EachColour(std::uint32_t s, std::uint32_t d, F f) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) out |= f((s >> shift) & 255, (d >> shift) & 255) << shift;
    return out;
}

template <std::uint32_t Row>
std::uint32_t AlphaByRow(std::uint32_t sA, std::uint32_t dA) {
    if constexpr (Row == kAlphaFromSource) return sA;
    if constexpr (Row == kAlphaUnion) return AlphaUnionTable[dA][sA];
    if constexpr (Row == kAlphaErase) return AlphaEraseTable[dA][sA];
    if constexpr (Row == kAlphaKeep) return dA;
}

// The operations. Each gets the source pixel (masked when the loop masks), the destination
// pixel and the rule byte, and returns the three colour bytes.
struct CopyOp {
    template <bool Blend>
    std::uint32_t Colours(std::uint32_t s, std::uint32_t d, std::uint32_t) const {
        if constexpr (!Blend) return s & kColourBytes;
        const std::uint32_t oS = 255 - (s >> 24);
        return EachColour(s, d, [&](std::uint32_t sc, std::uint32_t dc) { return P(sc, dc, oS); });
    }
};

// Brightness at levels 0..256: towards black.
struct DarkenOp {
    const ByteRow& level;
    template <bool Blend>
    std::uint32_t Colours(std::uint32_t s, std::uint32_t d, std::uint32_t) const {
        const std::uint32_t oS = 255 - (s >> 24);
        return EachColour(s, d, [&](std::uint32_t sc, std::uint32_t dc) {
            const std::uint32_t b = level[sc];
            return Blend ? P(b, dc, oS) : b;
        });
    }
};

// Brightness (and fade) at levels 257..512: towards white.
struct LightenOp {
    const ByteRow& keep;  // row 512 - L
    std::uint32_t white;  // S(255, L - 256)
    template <bool Blend>
    std::uint32_t Colours(std::uint32_t s, std::uint32_t d, std::uint32_t) const {
        const std::uint32_t oS = 255 - (s >> 24);
        return EachColour(s, d, [&](std::uint32_t sc, std::uint32_t dc) {
            const std::uint32_t b = keep[sc] + white;
            return Blend ? P(b, dc, oS) : b;
        });
    }
};

// Fade at levels 0..256: the source mixed over the destination by the level.
struct FadeOp {
    std::uint32_t level;
    template <bool Blend>
    std::uint32_t Colours(std::uint32_t s, std::uint32_t d, std::uint32_t) const {
        if constexpr (Blend) {
            const std::uint32_t w = S(255 - (s >> 24), level);
            return EachColour(s, d, [&](std::uint32_t sc, std::uint32_t dc) { return P(sc, dc, w); });
        } else {
            const ByteRow& src = LevelTable[level];
            const ByteRow& dst = LevelTable[256 - level];
            return EachColour(s, d, [&](std::uint32_t sc, std::uint32_t dc) { return src[sc] + dst[dc]; });
        }
    }
};

// The source scaled by the level (and by its opacity when blending), then combined with the
// destination byte by `Combine`.
template <class Combine>
struct ScaledSourceOp {
    const ByteRow& level;
    template <bool Blend>
    std::uint32_t Colours(std::uint32_t s, std::uint32_t d, std::uint32_t) const {
        const ByteRow& weight = MulDiv255Table[255 - (s >> 24)];
        return EachColour(s, d, [&](std::uint32_t sc, std::uint32_t dc) {
            const std::uint32_t v = Blend ? weight[level[sc]] : level[sc];
            return Combine{}(dc, v);
        });
    }
};
struct AddBytes {
    std::uint32_t operator()(std::uint32_t d, std::uint32_t v) const { return d + v > 255 ? 255 : d + v; }
};
struct SubtractBytes {
    std::uint32_t operator()(std::uint32_t d, std::uint32_t v) const { return d > v ? d - v : 0; }
};
struct XorBytes {
    std::uint32_t operator()(std::uint32_t d, std::uint32_t v) const { return d ^ v; }
};
using AddOp = ScaledSourceOp<AddBytes>;
using SubtractOp = ScaledSourceOp<SubtractBytes>;
using XorOp = ScaledSourceOp<XorBytes>;

struct RuleOp {
    static constexpr bool kReadsRule = true;
    std::uint32_t level;
    template <bool Blend>
    std::uint32_t Colours(std::uint32_t s, std::uint32_t d, std::uint32_t rule) const {
        std::uint32_t w = RuleClampTable[rule + level];
        if constexpr (Blend) w = M(w, 255 - (s >> 24));
        return EachColour(s, d, [&](std::uint32_t sc, std::uint32_t dc) { return P(sc, dc, w); });
    }
};

struct OntoOpaqueOp {
    static constexpr bool kKeepsAlpha = true;
    std::uint32_t level;
    template <bool Blend>
    std::uint32_t Colours(std::uint32_t s, std::uint32_t d, std::uint32_t) const {
        const std::uint32_t oD = 255 - (d >> 24);
        const std::uint32_t w = Blend ? S(M(255 - (s >> 24), oD), level) : S(oD, level);
        return EachColour(s, d, [&](std::uint32_t sc, std::uint32_t dc) { return P(sc, dc, w); });
    }
};

template <class Op>
constexpr bool ReadsRule() {
    if constexpr (requires { Op::kReadsRule; }) return Op::kReadsRule;
    return false;
}
template <class Op>
constexpr bool KeepsAlpha() {
    if constexpr (requires { Op::kKeepsAlpha; }) return Op::kKeepsAlpha;
    return false;
}

struct Rows {
    std::uint8_t* dst;
    const std::uint8_t* src;
    const std::uint8_t* aux;
    std::int32_t width, height, dstPitch, srcPitch, auxPitch;
};

template <std::uint32_t Row, bool Mask, bool Blend, class Op>
void Loop(const Rows& r, std::uint32_t channelMask, const Op& op) {
    // The mask never touches the source's alpha byte.
    const std::uint32_t mask = channelMask | kAlphaByte;
    std::uint8_t* dst = r.dst;
    const std::uint8_t* src = r.src;
    const std::uint8_t* aux = r.aux;
    for (std::int32_t y = 0; y < r.height; ++y) {
        for (std::int32_t x = 0; x < r.width; ++x) {
            std::uint32_t s = LoadPixel(src + 4 * x);
            const std::uint32_t d = LoadPixel(dst + 4 * x);
            if constexpr (Mask) s &= mask;
            std::uint32_t rule = 0;
            if constexpr (ReadsRule<Op>()) rule = aux[4 * x];
            const std::uint32_t colours = op.template Colours<Blend>(s, d, rule);
            const std::uint32_t alpha = KeepsAlpha<Op>() ? d >> 24 : AlphaByRow<Row>(s >> 24, d >> 24);
            StorePixel(dst + 4 * x, colours | alpha << 24);
        }
        dst += r.dstPitch;
        src += r.srcPitch;
        if constexpr (ReadsRule<Op>()) aux += r.auxPitch;
    }
}

// The alpha mode picks one of four loops: the exact values 0x05 (mask and blend), 0x04 (mask),
// 0x01 (blend); anything else neither. The rule alone blends on BLEND_SOURCE_ALPHA and always masks.
template <std::uint32_t Row, class Op>
void RunModes(const Rows& r, const BlendParams& p, const Op& op) {
    if constexpr (ReadsRule<Op>()) {
        if (p.flags & BLEND_SOURCE_ALPHA)
            Loop<Row, true, true>(r, p.channelMask, op);
        else
            Loop<Row, true, false>(r, p.channelMask, op);
        return;
    }
    switch (AlphaMode(p.flags)) {
        case 0x05: return Loop<Row, true, true>(r, p.channelMask, op);
        case 0x04: return Loop<Row, true, false>(r, p.channelMask, op);
        case 0x01: return Loop<Row, false, true>(r, p.channelMask, op);
        default: return Loop<Row, false, false>(r, p.channelMask, op);
    }
}

// Lightening, shared by brightness and fade above level 256.
template <std::uint32_t Row>
void RunLighten(const Rows& r, const BlendParams& p, std::int32_t level) {
    RunModes<Row>(r, p, LightenOp{LevelTable[512 - level], S(255, static_cast<std::uint32_t>(level - 256))});
}

template <std::uint32_t Column, std::uint32_t Row>
void PlainSpan(void* dst, const void* src, const void* aux, std::int32_t width, const BlendParams* params,
               std::int32_t dstPitch, std::int32_t srcPitch, std::int32_t auxPitch, std::int32_t height) {
    if (width < 1 || height < 1) return;
    // Pixel rows step by whole pixels; the rule image's pitch is taken as given.
    const Rows r{static_cast<std::uint8_t*>(dst),
                 static_cast<const std::uint8_t*>(src),
                 static_cast<const std::uint8_t*>(aux),
                 width,
                 height,
                 dstPitch / 4 * 4,
                 srcPitch / 4 * 4,
                 auxPitch};
    const BlendParams& p = *params;
    const std::int32_t level = ClampLevel(Column, RawLevel(p));
    const std::uint32_t ulevel = static_cast<std::uint32_t>(level);
    if constexpr (Column == kColumnCopy) {
        const std::uint32_t mode = AlphaMode(p.flags);
        if (Row == kAlphaFromSource && mode != 0x05 && mode != 0x04 && mode != 0x01) {
            // Whole pixels copied; the odd last column of a fast blit is a row of one.
            for (std::int32_t y = 0; y < height; ++y) {
                std::uint8_t* to = r.dst + static_cast<std::ptrdiff_t>(y) * r.dstPitch;
                const std::uint8_t* from = r.src + static_cast<std::ptrdiff_t>(y) * r.srcPitch;
                if (width == 1)
                    StorePixel(to, LoadPixel(from));
                else
                    std::memmove(to, from, 4 * static_cast<std::size_t>(width));
            }
            return;
        }
        RunModes<Row>(r, p, CopyOp{});
    } else if constexpr (Column == kColumnBrightness) {
        if (level <= 256)
            RunModes<Row>(r, p, DarkenOp{LevelTable[ulevel]});
        else
            RunLighten<Row>(r, p, level);
    } else if constexpr (Column == kColumnFade) {
        if (level <= 256)
            RunModes<Row>(r, p, FadeOp{ulevel});
        else
            RunLighten<Row>(r, p, level);
    } else if constexpr (Column == kColumnAdd) {
        RunModes<Row>(r, p, AddOp{LevelTable[ulevel]});
    } else if constexpr (Column == kColumnSubtract) {
        RunModes<Row>(r, p, SubtractOp{LevelTable[ulevel]});
    } else if constexpr (Column == kColumnRule) {
        RunModes<Row>(r, p, RuleOp{ulevel});
    } else if constexpr (Column == kColumnXor) {
        RunModes<Row>(r, p, XorOp{LevelTable[ulevel]});
    } else if constexpr (Column == kColumnOntoOpaque) {
        RunModes<Row>(r, p, OntoOpaqueOp{ulevel});
    }
}

template <std::uint32_t Column>
constexpr void PlaceColumn(BlendSpanTable& table) {
    table[BlendIndex(Column, 0)] = &PlainSpan<Column, 0>;
    table[BlendIndex(Column, 1)] = &PlainSpan<Column, 1>;
    table[BlendIndex(Column, 2)] = &PlainSpan<Column, 2>;
    table[BlendIndex(Column, 3)] = &PlainSpan<Column, 3>;
}

constexpr BlendSpanTable MakePlainTable() {
    BlendSpanTable table{};
    PlaceColumn<kColumnCopy>(table);
    PlaceColumn<kColumnBrightness>(table);
    PlaceColumn<kColumnFade>(table);
    PlaceColumn<kColumnAdd>(table);
    PlaceColumn<kColumnSubtract>(table);
    PlaceColumn<kColumnRule>(table);
    PlaceColumn<kColumnXor>(table);
    // One routine whatever the row: the destination's alpha is never changed.
    for (std::uint32_t row = 0; row < 4; ++row)
        table[BlendIndex(kColumnOntoOpaque, row)] = &PlainSpan<kColumnOntoOpaque, 3>;
    return table;
}

}  // namespace

constinit const BlendSpanTable PlainSpanTable = MakePlainTable();

void FillSpan(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t value, std::int32_t height) {
    auto* row = static_cast<std::uint8_t*>(dst);
    for (std::int32_t y = 0; y < height; ++y, row += pitch)
        for (std::int32_t x = 0; x < width; ++x) StorePixel(row + 4 * x, value);
}

void SetAlphaSpan(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t alpha, std::int32_t height) {
    auto* row = static_cast<std::uint8_t*>(dst);
    const std::uint32_t bits = (alpha & 255) << 24;
    for (std::int32_t y = 0; y < height; ++y, row += pitch)
        for (std::int32_t x = 0; x < width; ++x)
            StorePixel(row + 4 * x, (LoadPixel(row + 4 * x) & kColourBytes) | bits);
}

}  // namespace DxDraw
