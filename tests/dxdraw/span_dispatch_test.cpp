// The processor choice, the record normalisation and the dispatch of rectangles: random
// rectangles of odd widths over bottom-up rows (fade shortcuts included), drawn with the fast
// table for the even part and the plain table for the last column, and empty cells.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "dxdraw/span_engine.h"
#include "span_reference.h"

namespace {

using namespace DxDraw;
using reference::Path;

TEST(SpanEngine, StartsOffUntilTheProbeAndTheOptionTurnsItOff) {
    EnableMmx(1);  // the first test to run: nothing has probed the processor yet
    EXPECT_FALSE(UseMmx());
    EXPECT_EQ(SetupSpanEngine(), 0);
    EXPECT_EQ(ProbeMmx(), 1);  // every x86-64 processor has SSE2
    EXPECT_TRUE(MmxAvailable());
    EXPECT_TRUE(UseMmx());
    EXPECT_EQ(&MmxSpanTable(), __builtin_cpu_supports("avx2") ? &Avx2SpanTable : &Sse2SpanTable);
    EnableMmx(0);
    EXPECT_FALSE(UseMmx());
}

TEST(SpanEngine, NormalisationClearsBit17ForcesTheMaskAlphaAndClampsTheLevel) {
    const BlendParams none = NormalizeBlendParams(nullptr);
    EXPECT_EQ(none.flags, 0u);
    EXPECT_EQ(none.channelMask, 0xFFFFFFFFu);

    BlendParams p;
    p.flags = BlendIndex(3, 1) | BLEND_SOURCE_ALPHA | BLEND_RESERVED_BIT17;
    p.channelMask = 0x00123456;
    p.level = 0xABCD0000u | 300;
    BlendParams n = NormalizeBlendParams(&p);
    EXPECT_EQ(n.flags, BlendIndex(3, 1) | BLEND_SOURCE_ALPHA);
    EXPECT_EQ(n.channelMask, 0xFFFFFFFFu);  // no BLEND_CHANNEL_MASK: all ones
    EXPECT_EQ(RawLevel(n), 256);            // add stops at 256

    p.flags |= BLEND_CHANNEL_MASK;
    p.level = static_cast<std::uint32_t>(-7);
    n = NormalizeBlendParams(&p);
    EXPECT_EQ(n.channelMask, 0xFF123456u);
    EXPECT_EQ(RawLevel(n), 0);
}

struct Buffer {
    // Rows stored bottom-up with a guard row above and below and spare pixels at the right.
    Buffer(int w, int h, std::mt19937& rng) : width(w), height(h), stride(w + 3), pixels(stride * (h + 2)) {
        for (auto& p : pixels) p = rng();
    }
    std::uint32_t* Row(int y) { return pixels.data() + stride * (height - y); }  // row y from the top
    std::int32_t Pitch() const { return -stride * 4; }
    int width, height, stride;
    std::vector<std::uint32_t> pixels;
};

class RandomRectangles : public testing::TestWithParam<bool> {};

TEST_P(RandomRectangles, FollowTheirPathPixelByPixel) {
    SetupSpanEngine();
    const bool fast = GetParam();
    EnableMmx(fast ? 1 : 0);
    std::mt19937 rng(fast ? 1234 : 5678);
    constexpr std::uint32_t kColumns[] = {0, 1, 2, 3, 4, 5, 10, 11};
    for (int round = 0; round < 3000; ++round) {
        const int w = 1 + static_cast<int>(rng() % 37);
        const int h = 1 + static_cast<int>(rng() % 7);
        Buffer dst(w, h, rng), src(w, h, rng), aux(w, h, rng);
        const std::uint32_t column = kColumns[rng() % 8];
        const std::uint32_t modes[] = {0x00, 0x01, 0x04, 0x05, 0x02, 0x03};
        BlendParams p;
        p.flags = BlendIndex(column, rng() % 4) | modes[rng() % 6] << 16 | (rng() % 2 ? BLEND_EXACT_FADE : 0);
        p.level = rng() % (column == 1 || column == 2 || column == 5 ? 513 : 257);
        if (rng() % 4 == 0) p.level = 256;
        if (rng() % 8 == 0) p.level = 0;
        p.channelMask = rng();
        const BlendParams n = NormalizeBlendParams(&p);
        const std::vector<std::uint32_t> before = dst.pixels;

        SpanRect r;
        r.dst = dst.Row(0);
        r.src = src.Row(0);
        r.aux = aux.Row(0);
        r.width = w;
        r.height = h;
        r.dstPitch = dst.Pitch();
        r.srcPitch = src.Pitch();
        r.auxPitch = aux.Pitch();
        const DispatchResult result = DispatchSpans(r, n);

        // The shortcut of the row-0 fade without BLEND_EXACT_FADE.
        std::uint32_t flags = n.flags;
        const bool shortcut = (flags & 0xFF) == 2 && !(flags & BLEND_EXACT_FADE);
        if (shortcut && p.level == 0) {
            EXPECT_EQ(result, DispatchResult::kSkipped);
            EXPECT_EQ(dst.pixels, before);
            continue;
        }
        if (shortcut && p.level == 256) flags &= ~0xFFu;
        ASSERT_EQ(result, DispatchResult::kDrawn);
        const std::uint32_t mask = (p.flags & BLEND_CHANNEL_MASK) ? p.channelMask | 0xFF000000 : 0xFFFFFFFF;
        const int even = fast ? w / 2 * 2 : 0;
        for (std::size_t i = 0; i < dst.pixels.size(); ++i) {
            const int memRow = static_cast<int>(i) / dst.stride, x = static_cast<int>(i) % dst.stride;
            const int y = dst.height - memRow;
            std::uint32_t expected = before[i];
            if (y >= 0 && y < h && x < w) {
                const reference::Operation op{x < even ? Path::kFast : Path::kPlain, flags & ~BLEND_RESERVED_BIT17,
                                              static_cast<int>(p.level), mask};
                expected = reference::Pixel(op, src.Row(y)[x], before[i], static_cast<int>(aux.Row(y)[x] & 255));
            }
            ASSERT_EQ(dst.pixels[i], expected)
                << "round " << round << " " << w << "x" << h << " at " << x << "," << y << " flags 0x" << std::hex
                << p.flags << std::dec << " level " << p.level;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothPaths, RandomRectangles, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "fast" : "plain"; });

TEST(SpanDispatch, EmptyCellsAndStrayIndexesDrawNothing) {
    SetupSpanEngine();
    std::mt19937 rng(9);
    Buffer dst(5, 3, rng), src(5, 3, rng);
    const std::vector<std::uint32_t> before = dst.pixels;
    SpanRect r{dst.Row(0), src.Row(0), src.Row(0), 5, 3, dst.Pitch(), src.Pitch(), src.Pitch()};
    for (int on : {0, 1}) {
        EnableMmx(on);
        for (std::uint32_t index : {6u, 22u, 7u, 9u, 12u, 15u, 63u, 64u, 0x80u, 0xFFu}) {
            BlendParams p;
            p.flags = index;
            EXPECT_EQ(DispatchSpans(r, NormalizeBlendParams(&p)), DispatchResult::kUnsupported) << index;
        }
    }
    EXPECT_EQ(dst.pixels, before);
    r.width = 0;
    EXPECT_EQ(DispatchSpans(r, NormalizeBlendParams(nullptr)), DispatchResult::kSkipped);
}

}  // namespace
