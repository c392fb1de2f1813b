// Real Japanese text through FreeType: the system face names reach the installed IPA faces,
// and each glyph lands in its cell where the font's metrics put it.
#include <gtest/gtest.h>

#include "dxdraw/dxfont.h"
#include "dxdraw/dxsurface.h"
#include "surface_test_util.h"

#include <vector>

namespace {

using DxDraw::DxFont;
using DxDraw::TextData;

// The inked area of a surface region (empty when nothing is inked).
RECT InkBox(const DxDraw::DxSurface& s, const RECT& area) {
    RECT box{area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (s.GetPixelAddress(x, y)[3] != 255) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return IsRectEmpty(box) ? RECT{} : box;
}

// A font of the face at the height on a transparent surface of w x h, with text set to draw it
// from the box's corner; the font is released with the text.
struct Scene {
    Scene(const char16_t* face, int height, int w, int h, RECT box) : font(new DxFont()) {
        font->Setup(face, height);
        surface = surface_test::Plain(w, h, 0xFF000000);
        text.pFont = font;
        text.box_ = box;
    }
    ~Scene() { EXPECT_EQ(font->Release(), 0u); }
    DxFont* font;
    ComPtr<DxDraw::DxSurface> surface;
    TextData text;
};

TEST(TextFreeType, SystemFaceNamesReachTheJapaneseFaces) {
    host::FontRequest request;
    request.height = 24;
    request.face = "ＭＳ 明朝";
    auto mincho = host::SystemGlyphSource().OpenFont(request);
    request.face = "ＭＳ ゴシック";
    auto gothic = host::SystemGlyphSource().OpenFont(request);
    ASSERT_TRUE(mincho && gothic);
    EXPECT_EQ(mincho->FamilyName(), "IPAMincho");
    EXPECT_EQ(gothic->FamilyName(), "IPAGothic");
    EXPECT_EQ(mincho->CellHeight(), 24);
    const char32_t wide[] = {U'あ'}, narrow[] = {U'A'};
    EXPECT_EQ(mincho->TextExtent(wide), 2 * mincho->TextExtent(narrow)) << "a dual-width fixed-pitch face";
    EXPECT_LE(mincho->TextExtent(wide), 24);
}

TEST(TextFreeType, GlyphsLandWhereTheMetricsSay) {
    Scene scene(u"ＭＳ ゴシック", 32, 200, 80, RECT{10, 20, 200, 80});
    DxDraw::DxSurface& surface = *scene.surface;
    TextData& text = scene.text;

    host::FontRequest request;
    request.face = "ＭＳ ゴシック";
    request.height = 32;
    const auto metrics = host::SystemGlyphSource().OpenFont(request);
    ASSERT_TRUE(metrics);
    const int baseline = metrics->Ascent();
    ASSERT_GT(baseline, 16);
    ASSERT_LT(baseline, 32);

    for (char32_t ch : std::u32string_view(U"あHgあ")) DxDraw::PutChar(surface, text, ch);

    // Cells: あ at x 10 (32 wide), H at 42 (16), g at 58 (16), あ again at 74.
    const RECT a = InkBox(surface, RECT{10, 20, 42, 52});
    const RECT h = InkBox(surface, RECT{42, 20, 58, 52});
    const RECT g = InkBox(surface, RECT{58, 20, 74, 52});
    const RECT a2 = InkBox(surface, RECT{74, 20, 106, 80});
    ASSERT_FALSE(IsRectEmpty(a));
    ASSERT_FALSE(IsRectEmpty(h));
    ASSERT_FALSE(IsRectEmpty(g));
    // The glyph source's own drawing of H into a bare canvas, moved to H's pen position.
    std::vector<std::uint8_t> canvas(64 * 64, 0);
    metrics->DrawChar(U'H', host::GlyphCanvas{canvas.data(), 64, 64, 64}, 15);
    RECT own{64, 64, 0, 0};
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            if (canvas[static_cast<std::size_t>(y * 64 + x)]) own = UnionRect(own, RECT{x, y, x + 1, y + 1});
    EXPECT_EQ(h, OffsetRect(own, 42, 20));
    EXPECT_LE(h.bottom, 20 + baseline) << "a capital stands on the baseline";
    EXPECT_GT(g.bottom, 20 + baseline) << "a descender goes below it";
    EXPECT_GT(a.Width(), 20);
    EXPECT_EQ(OffsetRect(a, 64, 0), a2) << "the same glyph, moved by the advances only";
    EXPECT_EQ(text.pen_.x, 32 + 16 + 16 + 32);

    // Proportional advances come from the face.
    text.style_ = DxDraw::kTextProportional;
    const char32_t i[] = {U'i'};
    EXPECT_EQ(text.MeasureChar(U'i').advance, metrics->TextExtent(i));
    EXPECT_LT(text.MeasureChar(U'i').advance, 16);
}

TEST(TextFreeType, AntiAliasedTextHasPartialCoverage) {
    Scene scene(u"ＭＳ 明朝", 24, 64, 32, RECT{0, 0, 64, 32});
    scene.text.style_ = DxDraw::kTextAntiAliased;
    scene.text.faceColor_ = 0x00FFFFFF;
    DxDraw::PutChar(*scene.surface, scene.text, U'永');
    int partial = 0, full = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            const std::uint8_t* p = scene.surface->GetPixelAddress(x, y);
            const int opacity = 255 - p[3];
            full += opacity == 240;
            partial += opacity > 0 && opacity < 240;
            if (opacity > 0) {
                EXPECT_EQ(p[0], 255) << "the exact text colour";
            }
        }
    EXPECT_GT(full, 0);
    EXPECT_GT(partial, 20) << "the 4 x 4 sums give the edges their own levels";
}

}  // namespace
