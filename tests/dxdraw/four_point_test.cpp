// Four-point drawing: which pixels triangles and quadrilaterals cover, how source pixels are
// picked, clipping, the dirty rectangle and the checks on records and coordinates.
#include <gtest/gtest.h>

#include <functional>

#include "dxdraw/four_point.h"
#include "dxdraw/span_engine.h"
#include "surface_test_util.h"

namespace {

using namespace DxDraw;
using surface_test::PixelAt;

constexpr std::uint32_t kBlank = 0xFF000000;
constexpr POINT kNone{-1, -1};

// Every pixel distinct, so a wrong source pixel shows.
ComPtr<DxSurface> Numbered(int w, int h) {
    return surface_test::Painted(w, h, [](int x, int y) {
        return 0x00010000u * static_cast<std::uint32_t>(y + 1) + static_cast<std::uint32_t>(x + 1);
    });
}

TEST(EdgeWalker, XFollowsTheEdgeTruncatedTowardZero) {
    EdgeWalker e;
    e.Setup(0, 0, 3, 7);
    EXPECT_EQ(e.flags, 0u);
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
}

// Shapes drawn onto a blank 12 x 10 surface from a numbered one of the same size: every pixel
// is either the source pixel the shape maps it to, or left blank.
TEST(FourPoint, ShapesCoverTheirPixelsFromTheMappedSource) {
    struct Shape {
        const char* name;
        std::vector<ScreenPoint> to, from;      // three points: a triangle
        std::function<POINT(int, int)> source;  // where (x, y) comes from; kNone: not drawn
        RECT dirty;
    };
    const Shape shapes[] = {
        {"aligned quad",
         {{2, 2}, {9, 2}, {9, 7}, {2, 7}},
         {{2, 2}, {9, 2}, {9, 7}, {2, 7}},
         [](int x, int y) {
             return x >= 2 && x <= 9 && y >= 2 && y <= 7 ? POINT{x, y} : kNone;
         },
         {2, 2, 10, 8}},
        {"triangle, the bottom point's row not drawn",
         {{0, 0}, {4, 0}, {0, 4}},
         {{0, 0}, {4, 0}, {0, 4}},
         [](int x, int y) {
             return y < 4 && x <= 4 - y ? POINT{x, y} : kNone;
         },
         {0, 0, 5, 5}},
        {"mirrored",
         {{0, 0}, {7, 0}, {7, 3}, {0, 3}},
         {{7, 0}, {0, 0}, {0, 3}, {7, 3}},
         [](int x, int y) {
             return x <= 7 && y <= 3 ? POINT{7 - x, y} : kNone;
         },
         {0, 0, 8, 4}},
        {"flat: nothing drawn, its box still marked",
         {{1, 3}, {5, 3}, {7, 3}},
         {{1, 3}, {5, 3}, {7, 3}},
         [](int, int) { return kNone; },
         {1, 3, 8, 4}},
    };
    const ComPtr<DxSurface> src = Numbered(12, 10);
    for (const Shape& s : shapes) {
        SCOPED_TRACE(s.name);
        const ComPtr<DxSurface> dst = surface_test::Plain(12, 10, kBlank);
        const int drawn = s.to.size() == 3 ? dst->DrawTriangle(s.to.data(), src.Get(), s.from.data(), nullptr, nullptr)
                                           : dst->DrawQuad(s.to.data(), src.Get(), s.from.data(), nullptr, nullptr);
        EXPECT_EQ(drawn, 1);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 12; ++x) {
                const POINT p = s.source(x, y);
                ASSERT_EQ(PixelAt(*dst, x, y), p == kNone ? kBlank : PixelAt(*src, p.x, p.y)) << x << "," << y;
            }
        EXPECT_EQ(dst->GetDirtyRect(), s.dirty);
    }
}

TEST(FourPoint, ClipsOriginAndSourceCoordinatesKeepEveryPixelInside) {
    ComPtr<DxSurface> src = Numbered(16, 16);
    ComPtr<DxSurface> dst = surface_test::Plain(10, 10, kBlank);
    const ScreenPoint quad[4] = {{-5, -5}, {14, -5}, {14, 14}, {-5, 14}};
    const ScreenPoint from[4] = {{0, 0}, {15, 0}, {15, 15}, {0, 15}};
    const RECT clip{2, 3, 40, 7};
    EXPECT_EQ(dst->DrawQuad(quad, src.Get(), from, &clip, nullptr), 1);
    EXPECT_EQ(dst->GetDirtyRect(), (RECT{2, 3, 10, 7}));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(PixelAt(*dst, x, y) == kBlank, !(x >= 2 && y >= 3 && y < 7)) << x << "," << y;

    ComPtr<DxSurface> shifted = surface_test::Plain(10, 10, kBlank);
    shifted->SetOrigin(3, 1);
    const ScreenPoint small[4] = {{0, 0}, {9, 0}, {9, 9}, {0, 9}};
    EXPECT_EQ(shifted->DrawQuad(small, src.Get(), small, nullptr, nullptr), 1);
    EXPECT_EQ(PixelAt(*shifted, 3, 1), PixelAt(*src, 0, 0));
    EXPECT_EQ(PixelAt(*shifted, 9, 9), PixelAt(*src, 6, 8));
    EXPECT_EQ(PixelAt(*shifted, 2, 5), kBlank);
    EXPECT_EQ(shifted->GetDirtyRect(), (RECT{3, 1, 10, 10}));

    // Source points far outside the source are held to its edges.
    const ScreenPoint far[4] = {{-300, -300}, {900, -300}, {900, 900}, {-300, 900}};
    ComPtr<DxSurface> tiny = Numbered(4, 4);
    EXPECT_EQ(dst->DrawQuad(small, tiny.Get(), far, nullptr, nullptr), 1);
    EXPECT_EQ(PixelAt(*dst, 0, 0), PixelAt(*tiny, 0, 0));
    EXPECT_EQ(PixelAt(*dst, 9, 9), PixelAt(*tiny, 3, 3));
    EXPECT_EQ(PixelAt(*dst, 9, 0), PixelAt(*tiny, 3, 0));
}

TEST(FourPoint, RecordsDrawThroughThePlainRoutineOrNotAtAll) {
    ComPtr<DxSurface> src = Numbered(4, 4);
    ComPtr<DxSurface> dst = surface_test::Plain(4, 4, kBlank);
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

    p.flags = 5 | 0x20000;  // bit 17 is cleared
    p.level = 512;          // full source where the rule allows
    p.channelMask = 0;      // the rule always masks: without BLEND_CHANNEL_MASK it must become all ones
    p.maskImage = src.Get();
    EXPECT_EQ(dst->DrawQuad(quad, src.Get(), quad, nullptr, &p), 1);
    EXPECT_EQ(PixelAt(*dst, 2, 1), PixelAt(*src, 2, 1));
}

}  // namespace
