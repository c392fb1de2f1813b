// The fast span path for SSE2 (every x86-64 processor).
#include "dxdraw/span_simd.h"

namespace DxDraw {

constinit const BlendSpanTable Sse2SpanTable = MakeFastTable<V128>();

void FillSpanSse2(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t value, std::int32_t height) {
    FastFillRows<V128>(dst, width, pitch, height, StoreValue{value});
}

void SetAlphaSpanSse2(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t alpha, std::int32_t height) {
    FastFillRows<V128>(dst, width, pitch, height, ReplaceAlpha{(alpha & 255) << 24});
}

}  // namespace DxDraw
