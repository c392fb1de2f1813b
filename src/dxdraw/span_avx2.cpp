// The fast span path for AVX2: eight pixels per step; only called after the processor probe.
#include "dxdraw/span_simd.h"

namespace DxDraw {
namespace {

struct V256 {
    using R = __m256i;
    static constexpr int kPixels = 8;
    static R Load(const void* p) { return _mm256_loadu_si256(static_cast<const R*>(p)); }
    static void Store(void* p, R v) { _mm256_storeu_si256(static_cast<R*>(p), v); }
    static R Set32(std::uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
    static R Set16(int v) { return _mm256_set1_epi16(static_cast<short>(v)); }
    // Unpacking and packing work within each 128-bit half, so a round trip keeps pixel order.
    static R Lo(R v) { return _mm256_unpacklo_epi8(v, _mm256_setzero_si256()); }
    static R Hi(R v) { return _mm256_unpackhi_epi8(v, _mm256_setzero_si256()); }
    static R Pack(R lo, R hi) { return _mm256_packus_epi16(lo, hi); }
    static R Mul(R a, R b) { return _mm256_mullo_epi16(a, b); }
    static R MulHi(R a, R b) { return _mm256_mulhi_epi16(a, b); }
    static R Add(R a, R b) { return _mm256_add_epi16(a, b); }
    static R Sub(R a, R b) { return _mm256_sub_epi16(a, b); }
    static R SubSat(R a, R b) { return _mm256_subs_epu16(a, b); }
    static R Shr8(R a) { return _mm256_srli_epi16(a, 8); }
    static R Shl8(R a) { return _mm256_slli_epi16(a, 8); }
    static R Shl7(R a) { return _mm256_slli_epi16(a, 7); }
    static R Min(R a, R b) { return _mm256_min_epi16(a, b); }
    static R Max(R a, R b) { return _mm256_max_epi16(a, b); }
    static R And(R a, R b) { return _mm256_and_si256(a, b); }
    static R Or(R a, R b) { return _mm256_or_si256(a, b); }
    static R Xor(R a, R b) { return _mm256_xor_si256(a, b); }
    static R SubSat8(R a, R b) { return _mm256_subs_epu8(a, b); }
    static R AddSat8(R a, R b) { return _mm256_adds_epu8(a, b); }
    static R AlphaToLanes(R v) { return _mm256_srli_epi32(v, 24); }
    static R Dup16In32(R v) { return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(v, 0xA0), 0xA0); }
    static R Set64(std::uint64_t v) { return _mm256_set1_epi64x(static_cast<long long>(v)); }
    static R UnpackLo32(R a, R b) { return _mm256_unpacklo_epi32(a, b); }
    static R UnpackHi32(R a, R b) { return _mm256_unpackhi_epi32(a, b); }
};

}  // namespace

constinit const BlendSpanTable Avx2SpanTable = MakeFastTable<V256>();

void FillSpanAvx2(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t value, std::int32_t height) {
    FastFillRows<V256>(dst, width, pitch, height, StoreValue{value});
}

void SetAlphaSpanAvx2(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t alpha, std::int32_t height) {
    FastFillRows<V256>(dst, width, pitch, height, ReplaceAlpha{(alpha & 255) << 24});
}

}  // namespace DxDraw
