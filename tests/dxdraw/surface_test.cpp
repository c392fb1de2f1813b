// 32-bit surfaces: creation and counting, blits clipped against source, rule image, clip and
// surface (checked pixel by pixel against the reference model), fills, alpha fills, stretched
// copies, clones, dirty rectangles and the drawing origin.
#include <gtest/gtest.h>

#include <random>

#include "dxdraw/dxsurface.h"
#include "dxdraw/span_engine.h"
#include "span_reference.h"
#include "support/capture_reports.h"
#include "surface_test_util.h"

namespace {

using namespace DxDraw;
using reference::Path;

using surface_test::PixelAt;
using surface_test::Pixels;

ComPtr<DxSurface> MakeSurface(int w, int h, std::mt19937* rng = nullptr) {
    return surface_test::Painted(w, h, [&](int, int) { return rng ? static_cast<std::uint32_t>((*rng)()) : 0u; });
}

class Surfaces : public testing::Test {
protected:
    void SetUp() override { SetupSpanEngine(); }
    void TearDown() override { EnableMmx(1); }
};

TEST_F(Surfaces, CreationCountsAndSizes) {
    const std::int32_t live = DxSurface32::LiveCount();
    {
        ComPtr<DxSurface> s = CreateSurface(32);
        ASSERT_TRUE(s);
        EXPECT_EQ(DxSurface32::LiveCount(), live + 1);
        EXPECT_EQ(s->ReferenceCount(), 1u);
        EXPECT_FALSE(s->HasPixels());
        EXPECT_TRUE(IsRectEmpty(s->GetSurfaceRect()));
        EXPECT_EQ(s->SetSize(30, -20), 1);
        EXPECT_EQ(s->GetSurfaceRect(), (RECT{0, 0, 30, 20}));
        EXPECT_EQ(s->GetPitch(), 120);
        // A size that cannot be made is reported, and leaves nothing to draw on.
        EXPECT_EQ(s->SetSize(0, 10), 0);
        EXPECT_TRUE(IsRectEmpty(s->GetSurfaceRect()));
        EXPECT_EQ(s->SetSize(1 << 20, 1 << 20), 0);
    }
    EXPECT_EQ(DxSurface32::LiveCount(), live);
    EXPECT_FALSE(CreateSurface(24));
    testsupport::CaptureReports reports;
    EXPECT_FALSE(CreateSurface(16));
    ASSERT_EQ(reports.boxes.size(), 1u);
    EXPECT_NE(reports.boxes[0].text.find(u"bpp != 16"), std::u16string::npos);
}

TEST_F(Surfaces, ClonesByMode) {
    std::mt19937 rng(1);
    ComPtr<DxSurface> s = MakeSurface(6, 5, &rng);
    ComPtr<DxSurface> same = s->Clone(0, nullptr);
    EXPECT_EQ(same.Get(), s.Get());
    EXPECT_EQ(s->ReferenceCount(), 2u);
    ComPtr<DxSurface> empty = s->Clone(1, nullptr);
    EXPECT_EQ(empty->GetSurfaceRect(), s->GetSurfaceRect());
    EXPECT_EQ(Pixels(*empty), std::vector<std::uint32_t>(30, 0));
    const RECT part{1, 2, 4, 5};
    ComPtr<DxSurface> copy = s->Clone(2, &part);
    ASSERT_EQ(copy->GetSurfaceRect(), (RECT{0, 0, 3, 3}));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(*copy, x, y), PixelAt(*s, x + 1, y + 2));
    EXPECT_EQ(Pixels(*s->Clone(2, nullptr)), Pixels(*s));
    EXPECT_FALSE(s->Clone(3, nullptr));
}

// The rectangle a blit may touch, worked out from the rules, not from the surface code.
RECT ExpectedBlitRect(int x, int y, const RECT& from, const RECT& srcFull, const RECT* clip, const RECT& surface,
                      POINT origin) {
    RECT d{x, y, x + from.Width(), y + from.Height()};
    d = IntersectRect(d, OffsetRect(srcFull, x - from.left, y - from.top));
    d = IntersectRect(d, clip ? *clip : surface);
    d = IntersectRect(d, surface);
    return IntersectRect(d, OffsetRect(surface, -origin.x, -origin.y));
}

// Random placements of plain copies: what a blit touches is its clipped rectangle, moved by the
// drawing origin, and each pixel there comes from the matching source pixel (the blend of
// every cell on both paths is the span tests' business).
TEST_F(Surfaces, RandomBlitsDrawExactlyTheirClippedRectangle) {
    std::mt19937 rng(77);
    int drawnRounds = 0;
    for (int round = 0; round < 2000; ++round) {
        EnableMmx(rng() % 2);
        const int dw = 1 + rng() % 23, dh = 1 + rng() % 9, sw = 1 + rng() % 19, sh = 1 + rng() % 9;
        ComPtr<DxSurface> dst = MakeSurface(dw, rng() % 2 ? dh : -dh, &rng);
        ComPtr<DxSurface> src = MakeSurface(sw, rng() % 2 ? sh : -sh, &rng);
        const auto coord = [&](int span) { return static_cast<int>(rng() % (span + 4)) - 3; };
        const RECT from{coord(sw), coord(sh), 0, 0};
        const RECT fromRect{from.left, from.top, from.left + 1 + static_cast<int>(rng() % 25),
                            from.top + 1 + static_cast<int>(rng() % 12)};
        const RECT clipRect{coord(dw), coord(dh), coord(dw) + 20, coord(dh) + 10};
        const RECT* clip = rng() % 2 ? &clipRect : nullptr;
        const POINT origin{static_cast<int>(rng() % 5) - 2, static_cast<int>(rng() % 5) - 2};
        dst->SetOrigin(origin.x, origin.y);
        dst->ClearDirtyRect();
        const int x = coord(dw), y = coord(dh);
        const std::vector<std::uint32_t> before = Pixels(*dst);
        const int result = dst->Blit(x, y, src.Get(), &fromRect, clip, nullptr);

        const RECT srcFull = ImageRect(*src);
        if (IsRectEmpty(IntersectRect(fromRect, srcFull))) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(Pixels(*dst), before);
            continue;
        }
        EXPECT_EQ(result, 1);
        const RECT d = ExpectedBlitRect(x, y, fromRect, srcFull, clip, dst->GetSurfaceRect(), origin);
        const RECT drawn = IsRectEmpty(d) ? RECT{} : OffsetRect(d, origin.x, origin.y);
        EXPECT_EQ(dst->GetDirtyRect(), drawn) << "round " << round;
        drawnRounds += !IsRectEmpty(d);
        const std::vector<std::uint32_t> after = Pixels(*dst);
        for (int py = 0; py < dh; ++py)
            for (int px = 0; px < dw; ++px) {
                std::uint32_t expected = before[py * dw + px];
                if (PtInRect(drawn, px, py))
                    expected = PixelAt(*src, px - origin.x - x + fromRect.left, py - origin.y - y + fromRect.top);
                ASSERT_EQ(after[py * dw + px], expected) << "round " << round << " at " << px << "," << py;
            }
    }
    EXPECT_GT(drawnRounds, 400);  // the rectangles must mostly overlap to test anything
}

TEST_F(Surfaces, BlitOutcomes) {
    std::mt19937 rng(5);
    ComPtr<DxSurface> dst = MakeSurface(8, 8, &rng);
    ComPtr<DxSurface> src = MakeSurface(4, 4, &rng);
    const std::vector<std::uint32_t> before = Pixels(*dst);
    BlendParams p;
    // A row-0 fade at level 0 draws nothing and leaves the dirty rectangle alone.
    p.flags = 2;
    p.level = 0;
    dst->ClearDirtyRect();
    EXPECT_EQ(dst->Blit(1, 1, src.Get(), nullptr, nullptr, &p), 1);
    EXPECT_EQ(Pixels(*dst), before);
    EXPECT_TRUE(IsRectEmpty(dst->GetDirtyRect()));
    // ... and at level 256 copies exactly.
    p.level = 256;
    EXPECT_EQ(dst->Blit(1, 1, src.Get(), nullptr, nullptr, &p), 1);
    EXPECT_EQ(PixelAt(*dst, 2, 3), PixelAt(*src, 1, 2));
    EXPECT_EQ(dst->GetDirtyRect(), (RECT{1, 1, 5, 5}));
    // Empty cells draw nothing and report it.
    const std::vector<std::uint32_t> copied = Pixels(*dst);
    for (std::uint32_t index : {6u, 7u, 22u, 12u, 0x40u}) {
        p.flags = index;
        EXPECT_EQ(dst->Blit(0, 0, src.Get(), nullptr, nullptr, &p), 0) << index;
    }
    EXPECT_EQ(Pixels(*dst), copied);
    // No source, a source rectangle beside the source, a 16-bit source.
    EXPECT_EQ(dst->Blit(0, 0, nullptr, nullptr, nullptr, nullptr), 0);
    const RECT beside{4, 0, 8, 4};
    EXPECT_EQ(dst->Blit(0, 0, src.Get(), &beside, nullptr, nullptr), 0);
    DxImage sixteen(16);
    ASSERT_TRUE(sixteen.Create(4, 4));
    EXPECT_EQ(dst->Blit(0, 0, &sixteen, nullptr, nullptr, nullptr), 0);
    // Far outside the destination: nothing to draw, still a success.
    EXPECT_EQ(dst->Blit(100, 100, src.Get(), nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(Pixels(*dst), copied);
}

// A rule blit of odd width draws its even part on the fast path and its last column on the
// plain one; without a rule image it draws nothing.
TEST_F(Surfaces, RuleBlitsReadTheirImageOnlyWhereItExists) {
    for (int fast : {1, 0}) {
        EnableMmx(fast);
        std::mt19937 rng(8);
        ComPtr<DxSurface> dst = MakeSurface(10, 10, &rng);
        ComPtr<DxSurface> src = MakeSurface(10, 10, &rng);
        ComPtr<DxSurface> rule = MakeSurface(5, 6, &rng);
        BlendParams p;
        p.flags = 5;
        p.level = 300;
        EXPECT_EQ(dst->Blit(0, 0, src.Get(), nullptr, nullptr, &p), 0);
        p.maskImage = rule.Get();
        const std::vector<std::uint32_t> before = Pixels(*dst);
        EXPECT_EQ(dst->Blit(1, 1, src.Get(), nullptr, nullptr, &p), 1);
        EXPECT_EQ(dst->GetDirtyRect(), (RECT{1, 1, 6, 7}));
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) {
                std::uint32_t expected = before[y * 10 + x];
                if (x >= 1 && x < 6 && y >= 1 && y < 7) {
                    const Path path = fast && x < 5 ? Path::kFast : Path::kPlain;
                    expected = reference::Pixel({path, 5, 300, 0xFFFFFFFF}, PixelAt(*src, x - 1, y - 1), expected,
                                                static_cast<int>(PixelAt(*rule, x - 1, y - 1) & 255));
                }
                ASSERT_EQ(PixelAt(*dst, x, y), expected) << fast << " at " << x << "," << y;
            }
    }
}

TEST_F(Surfaces, SpriteBlitsPlaceTheHotSpot) {
    std::mt19937 rng(3);
    ComPtr<DxSurface> dst = MakeSurface(20, 20);
    ComPtr<DxSurface> src = MakeSurface(8, 8, &rng);
    const TEXANIM t{3, 2, 2, 1, {4, 5, 7, 7}};
    EXPECT_EQ(dst->BlitSprite(10, 10, src.Get(), &t, nullptr, nullptr), 1);
    EXPECT_EQ(dst->GetDirtyRect(), (RECT{8, 9, 11, 11}));
    EXPECT_EQ(PixelAt(*dst, 8, 9), PixelAt(*src, 4, 5));
    EXPECT_EQ(PixelAt(*dst, 10, 10), PixelAt(*src, 6, 6));
}

TEST_F(Surfaces, FillsStayInsideAndFillAlphaSetsTheByte) {
    for (int on : {0, 1}) {
        EnableMmx(on);
        std::mt19937 rng(4);
        ComPtr<DxSurface> s = MakeSurface(7, 5, &rng);
        s->FillRect(nullptr, 0x000000, 0);
        EXPECT_EQ(Pixels(*s), std::vector<std::uint32_t>(35, 0xFF000000));
        EXPECT_EQ(s->GetDirtyRect(), (RECT{0, 0, 7, 5}));
        s->ClearDirtyRect();
        const RECT stray{-3, 2, 40, 4};
        s->FillRect(&stray, 0xAB123456, 0x180);  // only the low bytes count
        EXPECT_EQ(s->GetDirtyRect(), (RECT{0, 2, 7, 4}));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) EXPECT_EQ(PixelAt(*s, x, y), y == 2 || y == 3 ? 0x7F123456u : 0xFF000000u);
        s->FillRectXYWH(5, 0, 10, 1, 0xFFFFFF, 255);
        EXPECT_EQ(PixelAt(*s, 6, 0), 0x00FFFFFFu);
        EXPECT_EQ(PixelAt(*s, 4, 0), 0xFF000000u);

        // Opacity 200 everywhere in the rectangle, whatever the alpha was before; colours stay.
        const std::vector<std::uint32_t> before = Pixels(*s);
        const RECT area{1, 0, 6, 9};
        s->ClearDirtyRect();
        s->FillAlpha(&area, 200);
        EXPECT_EQ(s->GetDirtyRect(), (RECT{1, 0, 6, 5}));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) {
                const std::uint32_t old = before[y * 7 + x];
                EXPECT_EQ(PixelAt(*s, x, y), x >= 1 && x < 6 ? (old & 0xFFFFFF) | 55u << 24 : old);
            }
        s->FillAlpha(nullptr, 255);
        for (std::uint32_t v : Pixels(*s)) EXPECT_EQ(v >> 24, 0u);

        // Dirty rectangles added by hand grow inside the surface; none means all of it.
        s->ClearDirtyRect();
        const RECT a{2, 2, 4, 4}, b{5, 3, 20, 20};
        s->AddDirtyRect(&a);
        s->AddDirtyRect(&b);
        EXPECT_EQ(s->GetDirtyRect(), (RECT{2, 2, 7, 5}));
        s->ClearDirtyRect();
        s->AddDirtyRect(nullptr);
        EXPECT_EQ(s->GetDirtyRect(), (RECT{0, 0, 7, 5}));
    }
}

TEST_F(Surfaces, StretchCopyAveragesWhenShrinkingAndRepeatsWhenEnlarging) {
    const std::uint32_t row[4] = {0x10203040, 0x30405060, 0x00000001, 0x00000004};
    ComPtr<DxSurface> src =
        surface_test::Painted(4, 2, [&](int x, int y) { return row[x] + static_cast<std::uint32_t>(y); });
    ComPtr<DxSurface> dst = MakeSurface(8, 8);
    const RECT narrow{1, 1, 3, 3};
    dst->StretchCopy(&narrow, src.Get(), nullptr);
    EXPECT_EQ(PixelAt(*dst, 1, 1), 0x20304050u);
    EXPECT_EQ(PixelAt(*dst, 2, 1), 0x00000002u);  // (1 + 4) / 2
    EXPECT_EQ(PixelAt(*dst, 2, 2), 0x00000003u);  // (2 + 5) / 2
    EXPECT_EQ(PixelAt(*dst, 0, 1), 0u);

    const RECT two{0, 0, 2, 1};
    const RECT wide{0, 4, 4, 8};  // 2 x 1 -> 4 x 4
    dst->StretchCopy(&wide, src.Get(), &two);
    for (int y = 4; y < 8; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(*dst, x, y), row[x / 2]) << x << "," << y;

    // Rows averaged: 2 rows into 1.
    const RECT flat{4, 0, 8, 1};
    dst->StretchCopy(&flat, src.Get(), nullptr);
    EXPECT_EQ(PixelAt(*dst, 7, 0), 0x00000004u);  // (4 + 5) / 2

    // A source rectangle reaching outside the source uses only what is there.
    const RECT stray{2, -5, 9, 2};
    const RECT place{0, 0, 2, 2};
    dst->StretchCopy(&place, src.Get(), &stray);
    EXPECT_EQ(PixelAt(*dst, 0, 0), 0x00000001u);
    EXPECT_EQ(PixelAt(*dst, 1, 1), 0x00000005u);
}

}  // namespace
