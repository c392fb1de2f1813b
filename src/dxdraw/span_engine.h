// The span engine: two tables of span routines with the same layout, the choice between them,
// the fill spans and the dispatch every blit follows.
//
// The plain table works one pixel at a time through the byte tables of blend_tables.h; the
// fast table (SSE2, or AVX2 where the processor has it) computes the two-pixel formulas of
// the fast path exactly. The two differ by one in places by design; each is exact to its own
// formulas. Rows of odd width drawn with the fast table end with a one-pixel plain column.
#pragma once

#include <array>
#include <cstdint>

#include "dxdraw/blend_params.h"

namespace DxDraw {

// 64 entries indexed by column + 16 * row; a null entry means the operation is unsupported.
using BlendSpanTable = std::array<SpanFunc, 64>;

extern const BlendSpanTable PlainSpanTable;
extern const BlendSpanTable Sse2SpanTable;
extern const BlendSpanTable Avx2SpanTable;  // call only when the processor has AVX2

// The fast table chosen at start-up (AVX2 when present, else SSE2).
const BlendSpanTable& MmxSpanTable();

// Process-wide processor choice: MmxAvailable says the fast path can run, UseMmx that the
// dispatch takes it. Both start false.
bool MmxAvailable();
bool UseMmx();

// 1 when the processor can run the fast path, else 0.
int ProbeMmx();
// Both flags from the probe, and the fast table for this processor; returns 0.
int SetupSpanEngine();
// Turns the fast path on or off; only on when it is available.
void EnableMmx(int on);

// Fill spans: `height` rows of `width` pixels, each row `pitch` bytes after the last.
using FillFunc = void (*)(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t value, std::int32_t height);
// Writes `value` into every pixel.
void FillSpan(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t value, std::int32_t height);
// Replaces the alpha byte of every pixel by `alpha`, keeping the colours.
void SetAlphaSpan(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t alpha, std::int32_t height);
// The fast twins, for even widths.
void FillSpanSse2(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t value, std::int32_t height);
void SetAlphaSpanSse2(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t alpha, std::int32_t height);
void FillSpanAvx2(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t value, std::int32_t height);
void SetAlphaSpanAvx2(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t alpha, std::int32_t height);

// One rectangle to be combined: first pixels of the top rows and the row steps in bytes.
struct SpanRect {
    void* dst = nullptr;
    const void* src = nullptr;
    const void* aux = nullptr;  // rule image, for the rule columns
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t dstPitch = 0;
    std::int32_t srcPitch = 0;
    std::int32_t auxPitch = 0;
};

// The record as the blit hands it to the routines: bit 17 cleared, the channel mask's A byte
// all ones and the whole mask all ones without BLEND_CHANNEL_MASK, the level clamped to the
// column's range. A null record is a plain copy.
BlendParams NormalizeBlendParams(const BlendParams* params);

enum class DispatchResult { kDrawn, kSkipped, kUnsupported };

// Combines one clipped rectangle with a normalised record: the fade shortcut of row 0, the
// fast table for the even part and the plain table for an odd last column, or the plain table
// alone. kSkipped: nothing to draw (empty rectangle, or a fade at level 0); kUnsupported: the
// index has no routine (nothing drawn).
DispatchResult DispatchSpans(const SpanRect& rect, const BlendParams& params);
// The same with a given fast table (null: the plain table alone), whatever the process-wide choice.
DispatchResult DispatchSpansWith(const BlendSpanTable* fast, const SpanRect& rect, const BlendParams& params);

// Rectangle fills with the pairing rule of the dispatch: with the fast path on, the fast fill
// takes the even part of every row and the plain fill the odd last column; else the plain
// fill does all. FillRectSpans writes `value` into every pixel; SetAlphaRectSpans replaces
// every alpha byte by `alpha` and keeps the colours.
void FillRectSpans(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t value, std::int32_t height);
void SetAlphaRectSpans(void* dst, std::int32_t width, std::int32_t pitch, std::uint32_t alpha, std::int32_t height);
// The pairing rule with given fills (fast null: the plain fill alone).
void FillRectSpansWith(FillFunc plain, FillFunc fast, void* dst, std::int32_t width, std::int32_t pitch,
                       std::uint32_t value, std::int32_t height);

// True when the column's routine reads the rule image.
constexpr bool ColumnReadsRule(std::uint32_t flags) {
    const std::uint32_t column = flags & 15;
    return column == kColumnRule || column == kColumnRuleReserved;
}

}  // namespace DxDraw
