// The fast span path, written once over a small vector interface and compiled twice: for SSE2
// (span_sse2.cpp) and for AVX2 (span_avx2.cpp). Everything here has internal linkage, so the
// two instruction sets never meet in one symbol.
//
// Each pixel is widened to four 16-bit values and computed from its own source and destination
// alone, which is why 4, 8 or 2 pixels per step all give the two-pixel formulas of the fast path:
//   weight u(i) = 0 for i = 0, else i + 1;  mix Q(x, y, w) = floor((x u(w) + y (256 - u(w))) / 256).
// Every product and sum stays at or below 255 x 256, so 16-bit lanes never overflow (the mix
// takes the high half of a signed product instead; see Widened::Mix).
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "dxdraw/blend_params.h"
#include "dxdraw/span_engine.h"
#include "dxdraw/span_pixels.h"

namespace DxDraw {
namespace {

struct V128 {
    using R = __m128i;
    static constexpr int kPixels = 4;
    static R Load(const void* p) { return _mm_loadu_si128(static_cast<const R*>(p)); }
    static void Store(void* p, R v) { _mm_storeu_si128(static_cast<R*>(p), v); }
    static R Set32(std::uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
    static R Set16(int v) { return _mm_set1_epi16(static_cast<short>(v)); }
    static R Lo(R v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }
    static R Hi(R v) { return _mm_unpackhi_epi8(v, _mm_setzero_si128()); }
    static R Pack(R lo, R hi) { return _mm_packus_epi16(lo, hi); }
    static R Mul(R a, R b) { return _mm_mullo_epi16(a, b); }
    static R MulHi(R a, R b) { return _mm_mulhi_epi16(a, b); }
    static R Add(R a, R b) { return _mm_add_epi16(a, b); }
    static R Sub(R a, R b) { return _mm_sub_epi16(a, b); }
    static R SubSat(R a, R b) { return _mm_subs_epu16(a, b); }
    static R Shr8(R a) { return _mm_srli_epi16(a, 8); }
    static R Shl8(R a) { return _mm_slli_epi16(a, 8); }
    static R Shl7(R a) { return _mm_slli_epi16(a, 7); }
    static R Min(R a, R b) { return _mm_min_epi16(a, b); }
    static R Max(R a, R b) { return _mm_max_epi16(a, b); }
    static R And(R a, R b) { return _mm_and_si128(a, b); }
    static R Or(R a, R b) { return _mm_or_si128(a, b); }
    static R Xor(R a, R b) { return _mm_xor_si128(a, b); }
    static R SubSat8(R a, R b) { return _mm_subs_epu8(a, b); }
    static R AddSat8(R a, R b) { return _mm_adds_epu8(a, b); }
    static R AlphaToLanes(R v) { return _mm_srli_epi32(v, 24); }
    static R Dup16In32(R v) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xA0), 0xA0); }
    static R Set64(std::uint64_t v) { return _mm_set1_epi64x(static_cast<long long>(v)); }
    static R UnpackLo32(R a, R b) { return _mm_unpacklo_epi32(a, b); }
    static R UnpackHi32(R a, R b) { return _mm_unpackhi_epi32(a, b); }
};

// Two pixels and one, for the ends of a row.
struct V128Pair : V128 {
    static constexpr int kPixels = 2;
    static R Load(const void* p) { return _mm_loadl_epi64(static_cast<const R*>(p)); }
    static void Store(void* p, R v) { _mm_storel_epi64(static_cast<R*>(p), v); }
};
struct V128One : V128 {
    static constexpr int kPixels = 1;
    static R Load(const void* p) { return _mm_cvtsi32_si128(static_cast<int>(LoadPixel(p))); }
    static void Store(void* p, R v) { StorePixel(p, static_cast<std::uint32_t>(_mm_cvtsi128_si32(v))); }
};

// Arithmetic shared by the operations. Pixels are widened to four 16-bit values each; per-pixel
// weights are worked out once per register in "lanes" (one 16-bit value in the low half of each
// pixel's 32 bits, the high half kept 0) and then spread over the pixel's colour values, with
// weight 0 for its alpha value: the mix then hands its second operand's alpha through.
template <class V>
struct Widened {
    using R = typename V::R;
    static R U(R w) { return V::Add(w, V::Min(w, V::Set16(1))); }
    // 2 u(w): the weight as Mix takes it.
    static R U2(R w) {
        const R u = U(w);
        return V::Add(u, u);
    }
    // floor((x u + y (256 - u)) / 256) = y + floor((x - y) u / 256), and (x - y) u / 256 is the
    // high half of the signed product ((x - y) * 128) * (2 u): both factors fit 16 bits. So
    // Q(x, y, w) = Mix(x, y, U2(w)), for any weight u in 0..256 given doubled.
    static R Mix(R x, R y, R u2) { return V::Add(y, V::MulHi(V::Shl7(V::Sub(x, y)), u2)); }
    static R Scale(R x, R level) { return V::Shr8(V::Mul(x, level)); }  // floor(x * level / 256)

    static R Lanes(int v) { return V::Set32(static_cast<std::uint16_t>(v)); }
    static R AlphaLanes(R packed) { return V::AlphaToLanes(packed); }
    static R OpacityLanes(R packed) { return V::Sub(Lanes(255), AlphaLanes(packed)); }
    static R BlueLanes(R packed) { return V::And(packed, Lanes(255)); }

    // Runs f on the low and the high half of the pixels, widened, and packs the results.
    template <class F>
    static R Halves(R s, R d, F f) {
        return V::Pack(f(V::Lo(s), V::Lo(d)), f(V::Hi(s), V::Hi(d)));
    }
    // The same with each pixel's lane value spread over its three colour values (B, G, R get
    // the value, A gets 0).
    template <class F>
    static R Halves(R s, R d, R lanes, F f) {
        const R both = V::Dup16In32(lanes);
        return V::Pack(f(V::Lo(s), V::Lo(d), V::UnpackLo32(both, lanes)),
                       f(V::Hi(s), V::Hi(d), V::UnpackHi32(both, lanes)));
    }
    // A weight for the colour values of every pixel, 0 for its alpha value.
    static R ColourWeights(int w) { return V::Set64(static_cast<std::uint64_t>(w) * 0x0000000100010001u); }
};

// Which alpha byte an operation's colours carry: with kSource and row 0, or kDestination and
// an operation that keeps the destination's alpha, the colours are stored as they are.
enum class CarriedAlpha { kNone, kSource, kDestination };

// Operations: constructed once per call with the clamped level; Colours gives the colour
// bytes of packed pixels (the alpha bytes are replaced afterwards, unless carried).
template <class V>
struct CopyK : Widened<V> {
    using R = typename V::R;
    using W = Widened<V>;
    static constexpr CarriedAlpha kCarries = CarriedAlpha::kSource;
    explicit CopyK(std::int32_t) {}
    template <bool Blend>
    R Colours(R s, R d, R) const {
        if constexpr (!Blend) return s;
        return W::Halves(s, d, W::U2(W::AlphaLanes(s)), [](R s16, R d16, R u2) { return W::Mix(d16, s16, u2); });
    }
};

template <class V>
struct DarkenK : Widened<V> {
    using R = typename V::R;
    using W = Widened<V>;
    R level;
    explicit DarkenK(std::int32_t l) : level(V::Set16(l)) {}
    template <bool Blend>
    R Colours(R s, R d, R) const {
        if constexpr (!Blend) return W::Halves(s, d, [this](R s16, R) { return W::Scale(s16, level); });
        return W::Halves(s, d, W::U2(W::AlphaLanes(s)),
                         [this](R s16, R d16, R u2) { return W::Mix(d16, W::Scale(s16, level), u2); });
    }
};

template <class V>
struct LightenK : Widened<V> {
    using R = typename V::R;
    using W = Widened<V>;
    R keep, white;
    explicit LightenK(std::int32_t l) : keep(V::Set16(512 - l)), white(V::Set16(255 * (l - 256))) {}
    R Lit(R s16) const { return V::Shr8(V::Add(V::Mul(s16, keep), white)); }
    template <bool Blend>
    R Colours(R s, R d, R) const {
        if constexpr (!Blend) return W::Halves(s, d, [this](R s16, R) { return Lit(s16); });
        return W::Halves(s, d, W::U2(W::AlphaLanes(s)),
                         [this](R s16, R d16, R u2) { return W::Mix(d16, Lit(s16), u2); });
    }
};

template <class V>
struct FadeK : Widened<V> {
    using R = typename V::R;
    using W = Widened<V>;
    // Q(s, d, u) = Q(d, s, 256 - u): the two sides of the mix are the same sum. Mixing d into s
    // carries the source alpha through.
    static constexpr CarriedAlpha kCarries = CarriedAlpha::kSource;
    R level, rest2;  // the level, and 2 (256 - level) for the colours as Mix takes it
    explicit FadeK(std::int32_t l) : level(V::Set16(l)), rest2(W::ColourWeights(2 * (256 - l))) {}
    template <bool Blend>
    R Colours(R s, R d, R) const {
        if constexpr (!Blend) return W::Halves(s, d, [this](R s16, R d16) { return W::Mix(d16, s16, rest2); });
        return W::Halves(s, d, V::Sub(W::Lanes(512), W::U2(W::Scale(W::OpacityLanes(s), level))),
                         [](R s16, R d16, R u2) { return W::Mix(d16, s16, u2); });
    }
};

// Add, subtract and xor: the source scaled by the level, or blended by u(S(opacity, level)),
// then combined with the destination byte by Combine (on 16-bit values; the pack saturates).
template <class V, class Combine>
struct ScaledSourceK : Widened<V> {
    using R = typename V::R;
    using W = Widened<V>;
    R level;
    explicit ScaledSourceK(std::int32_t l) : level(V::Set16(l)) {}
    template <bool Blend>
    R Colours(R s, R d, R) const {
        if constexpr (!Blend) return W::Halves(s, d, [this](R s16, R d16) { return Combine::Apply(d16, s16, level); });
        return W::Halves(s, d, W::U(W::Scale(W::OpacityLanes(s), level)),
                         [](R s16, R d16, R u) { return Combine::Apply(d16, s16, u); });
    }
};

// d + floor(s w / 256): at most 510, saturated to 255 by the pack.
template <class V>
struct AddCombine {
    static typename V::R Apply(typename V::R d16, typename V::R s16, typename V::R w) {
        return V::Add(d16, V::Shr8(V::Mul(s16, w)));
    }
};
// d - ceil(s w / 256), formed as floor((256 d - s w) / 256) saturated at 0.
template <class V>
struct SubtractCombine {
    static typename V::R Apply(typename V::R d16, typename V::R s16, typename V::R w) {
        return V::Shr8(V::SubSat(V::Shl8(d16), V::Mul(s16, w)));
    }
};
template <class V>
struct XorCombine {
    static typename V::R Apply(typename V::R d16, typename V::R s16, typename V::R w) {
        return V::Xor(d16, V::Shr8(V::Mul(s16, w)));
    }
};
template <class V>
using AddK = ScaledSourceK<V, AddCombine<V>>;
template <class V>
using SubtractK = ScaledSourceK<V, SubtractCombine<V>>;
template <class V>
using XorK = ScaledSourceK<V, XorCombine<V>>;

// Add, subtract and xor unblended at the neutral level: the source byte itself, so the
// formulas reduce to saturating byte arithmetic on the packed pixels.
// With kAlphaSurvivesZero, combining a destination whose alpha byte is 0 leaves the source's
// alpha byte: row 0 then needs no separate alpha step.
template <class V>
struct AddWholeK {
    using R = typename V::R;
    static constexpr bool kAlphaSurvivesZero = true;
    explicit AddWholeK(std::int32_t) {}
    template <bool Blend>
    R Colours(R s, R d, R) const {
        return V::AddSat8(d, s);
    }
};
template <class V>
struct SubtractWholeK {
    using R = typename V::R;
    explicit SubtractWholeK(std::int32_t) {}
    template <bool Blend>
    R Colours(R s, R d, R) const {
        return V::SubSat8(d, s);
    }
};
template <class V>
struct XorWholeK {
    using R = typename V::R;
    static constexpr bool kAlphaSurvivesZero = true;
    explicit XorWholeK(std::int32_t) {}
    template <bool Blend>
    R Colours(R s, R d, R) const {
        return V::Xor(d, s);
    }
};

template <class V>
struct RuleK : Widened<V> {
    using R = typename V::R;
    using W = Widened<V>;
    static constexpr bool kReadsRule = true;
    static constexpr CarriedAlpha kCarries = CarriedAlpha::kSource;
    R offset;  // L - 256, in lanes
    explicit RuleK(std::int32_t l) : offset(W::Lanes(l - 256)) {}
    template <bool Blend>
    R Colours(R s, R d, R aux) const {
        // t = clamp(r + L - 256, 0, 255), signed in 16 bits.
        R t = V::Min(V::Max(V::Add(W::BlueLanes(aux), offset), V::Set16(0)), V::Set16(255));
        if constexpr (Blend) t = V::Shr8(V::Mul(t, W::U(W::OpacityLanes(s))));
        // Q(s, d, u) = Q(d, s, 256 - u), as for the fade.
        return W::Halves(s, d, V::Sub(W::Lanes(512), W::U2(t)),
                         [](R s16, R d16, R u2) { return W::Mix(d16, s16, u2); });
    }
};

template <class V>
struct OntoOpaqueK : Widened<V> {
    using R = typename V::R;
    using W = Widened<V>;
    static constexpr bool kKeepsAlpha = true;
    static constexpr CarriedAlpha kCarries = CarriedAlpha::kDestination;
    R level;
    explicit OntoOpaqueK(std::int32_t l) : level(V::Set16(l)) {}
    template <bool Blend>
    R Colours(R s, R d, R) const {
        R w;
        if constexpr (Blend)
            w = V::Shr8(V::Mul(W::Scale(W::OpacityLanes(s), level), V::Sub(W::Lanes(256), W::U(W::AlphaLanes(d)))));
        else
            w = W::Scale(W::OpacityLanes(d), level);
        return W::Halves(s, d, W::U2(w), [](R s16, R d16, R u2) { return W::Mix(s16, d16, u2); });
    }
};

template <class Op>
constexpr bool KernelReadsRule() {
    if constexpr (requires { Op::kReadsRule; }) return Op::kReadsRule;
    return false;
}
template <class Op>
constexpr bool KernelKeepsAlpha() {
    if constexpr (requires { Op::kKeepsAlpha; }) return Op::kKeepsAlpha;
    return false;
}
// True when the colours already hold the alpha byte the row wants.
template <class Op, std::uint32_t Row>
constexpr bool KernelCarriesRowAlpha() {
    if constexpr (requires { Op::kCarries; }) {
        if constexpr (Op::kCarries == CarriedAlpha::kSource) return Row == kAlphaFromSource && !KernelKeepsAlpha<Op>();
        if constexpr (Op::kCarries == CarriedAlpha::kDestination) return KernelKeepsAlpha<Op>();
    }
    return false;
}
template <class Op>
constexpr bool KernelAlphaSurvivesZero() {
    if constexpr (requires { Op::kAlphaSurvivesZero; }) return Op::kAlphaSurvivesZero;
    return false;
}

// The destination-alpha rule on packed pixels, byte-wise with saturation.
template <class V, std::uint32_t Row>
typename V::R AlphaRow(typename V::R s, typename V::R d) {
    const auto ones = V::Set32(0xFFFFFFFF);
    if constexpr (Row == kAlphaFromSource) return s;
    if constexpr (Row == kAlphaUnion) return V::SubSat8(s, V::Xor(d, ones));  // sA - (255 - dA)
    if constexpr (Row == kAlphaErase) return V::Xor(V::SubSat8(s, d), ones);  // 255 - (sA - dA)
    if constexpr (Row == kAlphaKeep) return d;
}

// One vector of pixels. Masked: the channel mask has bits to clear.
template <class V, std::uint32_t Row, bool Blend, bool Masked, class Op>
void Step(const Op& op, typename V::R mask, std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* aux) {
    using R = typename V::R;
    const R s = Masked ? V::And(V::Load(src), mask) : V::Load(src);
    const R d = V::Load(dst);
    if constexpr (Row == kAlphaFromSource && KernelAlphaSurvivesZero<Op>()) {
        V::Store(dst, op.template Colours<Blend>(s, V::And(d, V::Set32(kColourBytes)), V::Set32(0)));
        return;
    }
    R a = V::Set32(0);
    if constexpr (KernelReadsRule<Op>()) a = V::Load(aux);
    const R colours = op.template Colours<Blend>(s, d, a);
    if constexpr (KernelCarriesRowAlpha<Op, Row>()) {
        V::Store(dst, colours);
        return;
    }
    const R alpha = KernelKeepsAlpha<Op>() ? d : AlphaRow<V, Row>(s, d);
    V::Store(dst, V::Or(V::And(colours, V::Set32(kColourBytes)), V::And(alpha, V::Set32(kAlphaByte))));
}

struct FastArgs {
    std::uint8_t* dst;
    const std::uint8_t* src;
    const std::uint8_t* aux;
    std::int32_t width, height, dstPitch, srcPitch, auxPitch;
    std::uint32_t mask;
    std::int32_t level;
};

// Runs step<V>(x) along a row so that the main steps store to whole vectors of the
// destination: a lead of 1, 2 and 4 pixels up to the first aligned one (when the rows allow it;
// unaligned stores that split cache lines cost more than the lead), then full vectors, then the
// rest in 4, 2 and 1. Every pixel is computed from its own source and destination alone, so
// the grouping never changes a result.
template <class Main>
struct RowWalker {
    static constexpr std::uintptr_t kAlign = 4 * Main::kPixels;
    // Rows shorter than this gain less from aligned stores than the extra steps of a lead cost.
    static constexpr std::int32_t kAlignFrom = 64;
    // Pixels before the first aligned store of a row starting at dst, at most width.
    static std::int32_t Lead(const std::uint8_t* dst, std::int32_t width) {
        const auto address = reinterpret_cast<std::uintptr_t>(dst);
        if (address % 4 != 0) return 0;  // pixels off their natural alignment never line up
        if (width < kAlignFrom) return 0;
        const auto lead = static_cast<std::int32_t>((kAlign - address % kAlign) % kAlign / 4);
        return lead < width ? lead : width;
    }
    template <class Step>
    static void Row(std::uint8_t* dst, std::int32_t width, const Step& step) {
        std::int32_t x = 0;
        const std::int32_t lead = Lead(dst, width);
        if (lead & 1) step.template operator()<V128One>(x++);
        if (lead & 2) {
            step.template operator()<V128Pair>(x);
            x += 2;
        }
        if constexpr (Main::kPixels > 4) {
            if (lead & 4) {
                step.template operator()<V128>(x);
                x += 4;
            }
        }
        // Two vectors a turn: one's loads overlap the other's arithmetic and store.
        for (; x + 2 * Main::kPixels <= width; x += 2 * Main::kPixels) {
            step.template operator()<Main>(x);
            step.template operator()<Main>(x + Main::kPixels);
        }
        if (x + Main::kPixels <= width) {
            step.template operator()<Main>(x);
            x += Main::kPixels;
        }
        const std::int32_t rest = width - x;
        if constexpr (Main::kPixels > 4) {
            if (rest & 4) {
                step.template operator()<V128>(x);
                x += 4;
            }
        }
        if (rest & 2) {
            step.template operator()<V128Pair>(x);
            x += 2;
        }
        if (rest & 1) step.template operator()<V128One>(x);
    }
};

template <class Main, template <class> class Op, std::uint32_t Row, bool Blend, bool Masked>
void FastRows(const FastArgs& a) {
    const Op<Main> op(a.level);
    const Op<V128> op4(a.level);
    const auto mask = Main::Set32(a.mask);
    const auto mask4 = V128::Set32(a.mask);
    std::uint8_t* dst = a.dst;
    const std::uint8_t* src = a.src;
    const std::uint8_t* aux = a.aux;
    constexpr bool kRule = KernelReadsRule<Op<Main>>();
    for (std::int32_t y = 0; y < a.height; ++y) {
        // Without a rule image `aux` may be null and is never offset.
        RowWalker<Main>::Row(dst, a.width, [&]<class V>(std::int32_t x) {
            const std::uint8_t* r = kRule ? aux + 4 * x : nullptr;
            if constexpr (std::is_same_v<V, Main>)
                Step<V, Row, Blend, Masked>(op, mask, dst + 4 * x, src + 4 * x, r);
            else
                Step<V, Row, Blend, Masked>(op4, mask4, dst + 4 * x, src + 4 * x, r);
        });
        dst += a.dstPitch;
        src += a.srcPitch;
        if constexpr (kRule) aux += a.auxPitch;
    }
}

// Whole pixels, nothing masked or blended: a block copy of every row. A row copied onto itself
// a little further right (a blit within one surface) is copied as memmove would, back to front.
template <class Main>
void CopyRows(const FastArgs& a) {
    std::uint8_t* dst = a.dst;
    const std::uint8_t* src = a.src;
    const auto rowBytes = 4 * static_cast<std::size_t>(a.width);
    if (reinterpret_cast<std::uintptr_t>(dst) - reinterpret_cast<std::uintptr_t>(src) - 1 < rowBytes - 1) {
        for (std::int32_t y = 0; y < a.height; ++y, dst += a.dstPitch, src += a.srcPitch)
            std::memmove(dst, src, rowBytes);
        return;
    }
    for (std::int32_t y = 0; y < a.height; ++y) {
        RowWalker<Main>::Row(dst, a.width,
                             [&]<class V>(std::int32_t x) { V::Store(dst + 4 * x, V::Load(src + 4 * x)); });
        dst += a.dstPitch;
        src += a.srcPitch;
    }
}

template <class Main, template <class> class Op, std::uint32_t Row, bool Blend>
void RunMasked(const FastArgs& a) {
    if (a.mask != 0xFFFFFFFF)
        FastRows<Main, Op, Row, Blend, true>(a);
    else
        FastRows<Main, Op, Row, Blend, false>(a);
}

template <class Main, template <class> class Op, std::uint32_t Row>
void RunFast(const FastArgs& a, std::uint32_t flags) {
    if (flags & BLEND_SOURCE_ALPHA)
        RunMasked<Main, Op, Row, true>(a);
    else
        RunMasked<Main, Op, Row, false>(a);
}

// One cell of the fast table. Widths are even (an odd last pixel belongs to the plain path
// and is left alone here); the source is always ANDed with the channel mask, whose alpha byte
// is kept.
template <class Main, std::uint32_t Column, std::uint32_t Row>
void FastSpan(void* dst, const void* src, const void* aux, std::int32_t width, const BlendParams* params,
              std::int32_t dstPitch, std::int32_t srcPitch, std::int32_t auxPitch, std::int32_t height) {
    width &= ~1;
    if (width < 2 || height < 1) return;
    const BlendParams& p = *params;
    const std::int32_t level = ClampLevel(Column, RawLevel(p));
    const FastArgs a{static_cast<std::uint8_t*>(dst),
                     static_cast<const std::uint8_t*>(src),
                     static_cast<const std::uint8_t*>(aux),
                     width,
                     height,
                     dstPitch,
                     srcPitch,
                     auxPitch,
                     p.channelMask | kAlphaByte,
                     level};
    if constexpr (Column == kColumnCopy) {
        if (Row == kAlphaFromSource && a.mask == 0xFFFFFFFF && !(p.flags & BLEND_SOURCE_ALPHA)) {
            // Nothing masked, nothing blended: whole pixels. Rows of a few kilobytes copy faster in
            // this loop than through the C library, which may hand them to a string instruction.
            CopyRows<Main>(a);
            return;
        }
        RunFast<Main, CopyK, Row>(a, p.flags);
    }
    if constexpr (Column == kColumnBrightness) {
        if (level <= 256)
            RunFast<Main, DarkenK, Row>(a, p.flags);
        else
            RunFast<Main, LightenK, Row>(a, p.flags);
    }
    if constexpr (Column == kColumnFade) {
        if (level <= 256)
            RunFast<Main, FadeK, Row>(a, p.flags);
        else
            RunFast<Main, LightenK, Row>(a, p.flags);
    }
    const bool whole = level == kLevelNeutral && !(p.flags & BLEND_SOURCE_ALPHA);
    if constexpr (Column == kColumnAdd) {
        if (whole)
            RunMasked<Main, AddWholeK, Row, false>(a);
        else
            RunFast<Main, AddK, Row>(a, p.flags);
    }
    if constexpr (Column == kColumnSubtract) {
        if (whole)
            RunMasked<Main, SubtractWholeK, Row, false>(a);
        else
            RunFast<Main, SubtractK, Row>(a, p.flags);
    }
    if constexpr (Column == kColumnRule) RunFast<Main, RuleK, Row>(a, p.flags);
    if constexpr (Column == kColumnXor) {
        if (whole)
            RunMasked<Main, XorWholeK, Row, false>(a);
        else
            RunFast<Main, XorK, Row>(a, p.flags);
    }
    if constexpr (Column == kColumnOntoOpaque) RunFast<Main, OntoOpaqueK, Row>(a, p.flags);
}

template <class Main, std::uint32_t Column>
constexpr void PlaceFastColumn(BlendSpanTable& table) {
    table[BlendIndex(Column, 0)] = &FastSpan<Main, Column, 0>;
    table[BlendIndex(Column, 1)] = &FastSpan<Main, Column, 1>;
    table[BlendIndex(Column, 2)] = &FastSpan<Main, Column, 2>;
    table[BlendIndex(Column, 3)] = &FastSpan<Main, Column, 3>;
}

template <class Main>
constexpr BlendSpanTable MakeFastTable() {
    BlendSpanTable table{};
    PlaceFastColumn<Main, kColumnCopy>(table);
    PlaceFastColumn<Main, kColumnBrightness>(table);
    PlaceFastColumn<Main, kColumnFade>(table);
    PlaceFastColumn<Main, kColumnAdd>(table);
    PlaceFastColumn<Main, kColumnSubtract>(table);
    PlaceFastColumn<Main, kColumnRule>(table);
    PlaceFastColumn<Main, kColumnXor>(table);
    for (std::uint32_t row = 0; row < 4; ++row)
        table[BlendIndex(kColumnOntoOpaque, row)] = &FastSpan<Main, kColumnOntoOpaque, kAlphaKeep>;
    return table;
}

// Fills of even widths. Every pixel gets the same treatment, so single pixels may lead until
// the stores are aligned to the vector size.
template <class Main, class Pixel>
void FastFillRows(void* dst, std::int32_t width, std::int32_t pitch, std::int32_t height, Pixel pixel) {
    width &= ~1;
    auto* row = static_cast<std::uint8_t*>(dst);
    constexpr std::uintptr_t kAlign = 4 * Main::kPixels;
    for (std::int32_t y = 0; y < height; ++y, row += pitch) {
        std::int32_t x = 0;
        for (; x < width && reinterpret_cast<std::uintptr_t>(row + 4 * x) % kAlign != 0; ++x) pixel.Single(row + 4 * x);
        for (; x + 4 * Main::kPixels <= width; x += 4 * Main::kPixels) {
            std::uint8_t* p = row + 4 * x;
            pixel.template Apply<Main>(p);
            pixel.template Apply<Main>(p + kAlign);
            pixel.template Apply<Main>(p + 2 * kAlign);
            pixel.template Apply<Main>(p + 3 * kAlign);
        }
        for (; x + Main::kPixels <= width; x += Main::kPixels) pixel.template Apply<Main>(row + 4 * x);
        if constexpr (Main::kPixels > 4) {
            if (x + 4 <= width) {
                pixel.template Apply<V128>(row + 4 * x);
                x += 4;
            }
        }
        if (x + 2 <= width) {
            pixel.template Apply<V128Pair>(row + 4 * x);
            x += 2;
        }
        if (x < width) pixel.Single(row + 4 * x);  // after an odd lead
    }
}

struct StoreValue {
    std::uint32_t value;
    template <class V>
    void Apply(std::uint8_t* p) const {
        V::Store(p, V::Set32(value));
    }
    void Single(std::uint8_t* p) const { StorePixel(p, value); }
};

struct ReplaceAlpha {
    std::uint32_t bits;
    template <class V>
    void Apply(std::uint8_t* p) const {
        V::Store(p, V::Or(V::And(V::Load(p), V::Set32(kColourBytes)), V::Set32(bits)));
    }
    void Single(std::uint8_t* p) const { StorePixel(p, (LoadPixel(p) & kColourBytes) | bits); }
};

}  // namespace
}  // namespace DxDraw
