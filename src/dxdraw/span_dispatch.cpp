// The processor choice and the dispatch of rectangles to the span tables.
#include "dxdraw/span_engine.h"

namespace DxDraw {
namespace {

struct EngineChoice {
    bool available = false;
    bool use = false;
    const BlendSpanTable* fast = &Sse2SpanTable;
    FillFunc fill = &FillSpanSse2;
    FillFunc setAlpha = &SetAlphaSpanSse2;
};

// Set once at start-up, then only read.
EngineChoice g_engine;

}  // namespace

const BlendSpanTable& MmxSpanTable() { return *g_engine.fast; }
bool MmxAvailable() { return g_engine.available; }
bool UseMmx() { return g_engine.use; }

int ProbeMmx() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2") ? 1 : 0;
}

int SetupSpanEngine() {
    g_engine.available = g_engine.use = ProbeMmx() != 0;
    const bool avx2 = __builtin_cpu_supports("avx2");
    g_engine.fast = avx2 ? &Avx2SpanTable : &Sse2SpanTable;
    g_engine.fill = avx2 ? &FillSpanAvx2 : &FillSpanSse2;
    g_engine.setAlpha = avx2 ? &SetAlphaSpanAvx2 : &SetAlphaSpanSse2;
    return 0;
}

void EnableMmx(int on) {
    if (g_engine.available) g_engine.use = on != 0;
}

BlendParams NormalizeBlendParams(const BlendParams* params) {
    BlendParams p;
    if (params) {
        p = *params;
    } else {
        p.flags = 0;
    }
    p.flags &= ~BLEND_RESERVED_BIT17;
    p.channelMask |= 0xFF000000u;
    if (!(p.flags & BLEND_CHANNEL_MASK)) p.channelMask = 0xFFFFFFFF;
    const std::int32_t level = ClampLevel(p.flags & 15, RawLevel(p));
    p.level = (p.level & 0xFFFF0000u) | static_cast<std::uint16_t>(level);
    return p;
}

DispatchResult DispatchSpans(const SpanRect& r, const BlendParams& params) {
    return DispatchSpansWith(g_engine.use ? g_engine.fast : nullptr, r, params);
}

DispatchResult DispatchSpansWith(const BlendSpanTable* fastTable, const SpanRect& r, const BlendParams& params) {
    if (r.width < 1 || r.height < 1) return DispatchResult::kSkipped;
    std::uint32_t index = params.flags & BLEND_INDEX_MASK;
    if (index >= 64) return DispatchResult::kUnsupported;  // bits 6-7 set: no such cell
    if (index == BlendIndex(kColumnFade, kAlphaFromSource) && !(params.flags & BLEND_EXACT_FADE)) {
        const std::int32_t level = RawLevel(params);
        if (level == 0) return DispatchResult::kSkipped;
        if (level == kLevelNeutral) index = BlendIndex(kColumnCopy, kAlphaFromSource);
    }
    const SpanFunc plain = PlainSpanTable[index];
    const SpanFunc fast = fastTable ? (*fastTable)[index] : nullptr;
    if (fast) {
        const std::int32_t even = r.width / 2 * 2;
        if (even != 0) fast(r.dst, r.src, r.aux, even, &params, r.dstPitch, r.srcPitch, r.auxPitch, r.height);
        if ((r.width & 1) && plain) {
            const auto offset = 4 * static_cast<std::ptrdiff_t>(even);
            const void* aux = r.aux ? static_cast<const std::uint8_t*>(r.aux) + offset : nullptr;
            plain(static_cast<std::uint8_t*>(r.dst) + offset, static_cast<const std::uint8_t*>(r.src) + offset, aux, 1,
                  &params, r.dstPitch, r.srcPitch, r.auxPitch, r.height);
        }
        return DispatchResult::kDrawn;
    }
    if (!plain) return DispatchResult::kUnsupported;
    plain(r.dst, r.src, r.aux, r.width, &params, r.dstPitch, r.srcPitch, r.auxPitch, r.height);
    return DispatchResult::kDrawn;
}

void FillRectSpansWith(FillFunc plain, FillFunc fast, void* dst, std::int32_t width, std::int32_t pitch,
                       std::uint32_t value, std::int32_t height) {
    if (width < 1 || height < 1) return;
    if (!fast) return plain(dst, width, pitch, value, height);
    const std::int32_t even = width / 2 * 2;
    if (even != 0) fast(dst, even, pitch, value, height);
    if (width & 1)
        plain(static_cast<std::uint8_t*>(dst) + 4 * static_cast<std::ptrdiff_t>(even), 1, pitch, value, height);
}

void FillRectSpans(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t value, std::int32_t height) {
    FillRectSpansWith(&FillSpan, g_engine.use ? g_engine.fill : nullptr, dst, width, pitch, value, height);
}

void SetAlphaRectSpans(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t alpha, std::int32_t height) {
    FillRectSpansWith(&SetAlphaSpan, g_engine.use ? g_engine.setAlpha : nullptr, dst, width, pitch, alpha, height);
}

}  // namespace DxDraw
