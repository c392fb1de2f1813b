// Four-point drawing: which pixels triangles and quadrilaterals cover, how source pixels are
// picked, clipping, the dirty rectangle and the checks on records and coordinates.
#include <gtest/gtest.h>

#include <random>

#include "dxdraw/dxsurface.h"
#include "dxdraw/four_point.h"
#include "dxdraw/span_engine.h"

namespace {

using namespace DxDraw;

std::uint32_t PixelAt(const DxImage& image, int x, int y) {
    const std::uint8_t* p = image.GetPixelAddress(x, y);
    return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<std::uint32_t>(p[3]) << 24;
}

// Every pixel distinct, so a wrong source pixel shows.
ComPtr<DxSurface> Numbered(int w, int h) {
    ComPtr<DxSurface> s = CreateSurface(32);
    s->SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t v = 0x00010000u * static_cast<std::uint32_t>(y + 1) + static_cast<std::uint32_t>(x + 1);
            std::uint8_t* p = s->GetPixelAddress(x, y);
            for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    return s;
}

ComPtr<DxSurface> Blank(int w, int h) {
    ComPtr<DxSurface> s = CreateSurface(32);
    s->SetSize(w, h);
    s->FillRect(nullptr, 0, 0);
    s->ClearDirtyRect();
    return s;
}

constexpr std::uint32_t kBlank = 0xFF000000;

TEST(EdgeWalker, XFollowsTheEdgeTruncatedTowardZero) {
    EdgeWalker e;
    e.Setup(0, 0, 3, 7);
    EXPECT_EQ(e.flags, 0u);
    EXPECT_EQ(e.XAt(0), 0);
    EXPECT_EQ(e.XAt(3), 1);  // 9/7
    EXPECT_EQ(e.XAt(7), 3);
    e.Setup(10, 0, 0, 4);
    EXPECT_EQ(e.XAt(1), 8);  // 10 - 2.5
    EXPECT_EQ(e.XAt(-1), 12);
    e.Setup(5, 1, 5, 9);
    EXPECT_EQ(e.flags, EdgeWalker::kVertical);
    EXPECT_EQ(e.XAt(100), 5);
    e.Setup(2, 4, 8, 4);
    EXPECT_EQ(e.flags, EdgeWalker::kHorizontal);
    EXPECT_EQ(e.XAt(4), 2);
    e.Init();
    EXPECT_EQ(e.x1, 0);
}

TEST(FourPoint, AnAlignedQuadCopiesItsSourceUnchanged) {
    ComPtr<DxSurface> src = Numbered(12, 10);
    ComPtr<DxSurface> dst = Blank(12, 10);
    const ScreenPoint quad[4] = {{2, 2}, {9, 2}, {9, 7}, {2, 7}};
    EXPECT_EQ(dst->DrawQuad(quad, src.Get(), quad, nullptr, nullptr), 1);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inside = x >= 2 && x <= 9 && y >= 2 && y <= 7;
            EXPECT_EQ(PixelAt(*dst, x, y), inside ? PixelAt(*src, x, y) : kBlank) << x << "," << y;
        }
    EXPECT_EQ(dst->GetDirtyRect(), (RECT{2, 2, 10, 8}));
}

TEST(FourPoint, ATriangleCoversItsRowsUpToTheLast) {
    ComPtr<DxSurface> src = Numbered(8, 8);
    ComPtr<DxSurface> dst = Blank(8, 8);
    const ScreenPoint tri[3] = {{0, 0}, {4, 0}, {0, 4}};
    EXPECT_EQ(dst->DrawTriangle(tri, src.Get(), tri, nullptr, nullptr), 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inside = y < 4 && x <= 4 - y;  // the bottom point's row is not drawn
            EXPECT_EQ(PixelAt(*dst, x, y), inside ? PixelAt(*src, x, y) : kBlank) << x << "," << y;
        }
    EXPECT_EQ(dst->GetDirtyRect(), (RECT{0, 0, 5, 5}));
}

TEST(FourPoint, AMirroredMappingWalksTheSourceBackwards) {
    ComPtr<DxSurface> src = Numbered(8, 4);
    ComPtr<DxSurface> dst = Blank(8, 4);
    const ScreenPoint to[4] = {{0, 0}, {7, 0}, {7, 3}, {0, 3}};
    const ScreenPoint from[4] = {{7, 0}, {0, 0}, {0, 3}, {7, 3}};
    EXPECT_EQ(dst->DrawQuad(to, src.Get(), from, nullptr, nullptr), 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(PixelAt(*dst, x, y), PixelAt(*src, 7 - x, y)) << x << "," << y;
}

TEST(FourPoint, FlatShapesDrawNothing) {
    ComPtr<DxSurface> src = Numbered(8, 8);
    ComPtr<DxSurface> dst = Blank(8, 8);
    const ScreenPoint row[3] = {{1, 3}, {5, 3}, {7, 3}};
    EXPECT_EQ(dst->DrawTriangle(row, src.Get(), row, nullptr, nullptr), 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(PixelAt(*dst, x, y), kBlank);
}

TEST(FourPoint, ClipsAndOriginKeepEveryPixelInside) {
    ComPtr<DxSurface> src = Numbered(16, 16);
    ComPtr<DxSurface> dst = Blank(10, 10);
    const ScreenPoint quad[4] = {{-5, -5}, {14, -5}, {14, 14}, {-5, 14}};
    const ScreenPoint from[4] = {{0, 0}, {15, 0}, {15, 15}, {0, 15}};
    const RECT clip{2, 3, 40, 7};
    EXPECT_EQ(dst->DrawQuad(quad, src.Get(), from, &clip, nullptr), 1);
    EXPECT_EQ(dst->GetDirtyRect(), (RECT{2, 3, 10, 7}));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(PixelAt(*dst, x, y) == kBlank, !(x >= 2 && y >= 3 && y < 7)) << x << "," << y;

    ComPtr<DxSurface> shifted = Blank(10, 10);
    shifted->SetOrigin(3, 1);
    const ScreenPoint small[4] = {{0, 0}, {9, 0}, {9, 9}, {0, 9}};
    EXPECT_EQ(shifted->DrawQuad(small, src.Get(), small, nullptr, nullptr), 1);
    EXPECT_EQ(PixelAt(*shifted, 3, 1), PixelAt(*src, 0, 0));
    EXPECT_EQ(PixelAt(*shifted, 9, 9), PixelAt(*src, 6, 8));
    EXPECT_EQ(PixelAt(*shifted, 2, 5), kBlank);
    EXPECT_EQ(shifted->GetDirtyRect(), (RECT{3, 1, 10, 10}));
}

TEST(FourPoint, SourceCoordinatesStayInsideTheSource) {
    ComPtr<DxSurface> src = Numbered(4, 4);
    ComPtr<DxSurface> dst = Blank(8, 8);
    const ScreenPoint to[4] = {{0, 0}, {7, 0}, {7, 7}, {0, 7}};
    const ScreenPoint from[4] = {{-300, -300}, {900, -300}, {900, 900}, {-300, 900}};
    EXPECT_EQ(dst->DrawQuad(to, src.Get(), from, nullptr, nullptr), 1);
    EXPECT_EQ(PixelAt(*dst, 0, 0), PixelAt(*src, 0, 0));
    EXPECT_EQ(PixelAt(*dst, 7, 7), PixelAt(*src, 3, 3));
    EXPECT_EQ(PixelAt(*dst, 7, 0), PixelAt(*src, 3, 0));
}

TEST(FourPoint, UnsupportedRecordsDrawNothing) {
    ComPtr<DxSurface> src = Numbered(4, 4);
    ComPtr<DxSurface> dst = Blank(4, 4);
    const ScreenPoint quad[4] = {{0, 0}, {3, 0}, {3, 3}, {0, 3}};
    BlendParams p;
    for (std::uint32_t flags : {6u, 7u, 0x48u, 5u /* no rule image */}) {
        p.flags = flags;
        EXPECT_EQ(dst->DrawQuad(quad, src.Get(), quad, nullptr, &p), 0) << flags;
        EXPECT_EQ(dst->DrawTriangle(quad, src.Get(), quad, nullptr, &p), 0) << flags;
    }
    EXPECT_EQ(dst->DrawQuad(quad, nullptr, quad, nullptr, nullptr), 0);
    EXPECT_TRUE(IsRectEmpty(dst->GetDirtyRect()));
    EXPECT_EQ(PixelAt(*dst, 1, 1), kBlank);
}

TEST(FourPoint, BlendsThroughThePlainRoutineWithANormalisedRecord) {
    ComPtr<DxSurface> src = Numbered(4, 4);
    ComPtr<DxSurface> rule = Numbered(4, 4);
    ComPtr<DxSurface> dst = Blank(4, 4);
    const ScreenPoint quad[4] = {{0, 0}, {3, 0}, {3, 3}, {0, 3}};
    BlendParams p;
    p.flags = 5 | 0x20000;  // bit 17 is cleared
    p.level = 512;          // full source where the rule allows
    p.channelMask = 0;      // the rule always masks: without BLEND_CHANNEL_MASK it must become all ones
    p.maskImage = rule.Get();
    EXPECT_EQ(dst->DrawQuad(quad, src.Get(), quad, nullptr, &p), 1);
    EXPECT_EQ(PixelAt(*dst, 2, 1), PixelAt(*src, 2, 1));
}

}  // namespace
