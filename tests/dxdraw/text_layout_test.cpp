// Text layout and glyph blending with a fake glyph source: every glyph is one solid square of
// cell-height / 16 pixels at its cell's top-left corner (one pixel in the normal font, a 4 x 4
// block in the anti-aliasing font), so each drawn copy shows up as exactly one surface pixel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dxdraw/dxfont.h"
#include "dxdraw/dxsurface.h"
#include "picture_test_util.h"
#include "surface_test_util.h"

namespace {

using DxDraw::DxFont;
using DxDraw::TextData;
using Pixel = picture_test::Rgba;

class SquareFont : public host::GlyphFont {
public:
    SquareFont(int height, int* draws) : height_(height), draws_(draws) {}
    int CellHeight() const override { return height_; }
    int Ascent() const override { return height_; }
    std::string FamilyName() const override { return "Square"; }
    int TextExtent(std::span<const char32_t> text) override {
        int total = 0;
        for (char32_t ch : text) total += ch == U'W' ? height_ * 40 : ch == U'i' ? height_ / 4 : height_ / 2;
        return total;
    }
    void DrawChar(char32_t, const host::GlyphCanvas& canvas, std::uint8_t level) override {
        const int side = std::max(1, height_ / 16);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) canvas.pixels[y * canvas.pitch + x] = level;
        ++*draws_;
    }

private:
    int height_;
    int* draws_;
};

class SquareGlyphs : public host::GlyphSource {
public:
    std::unique_ptr<host::GlyphFont> OpenFont(const host::FontRequest& request) override {
        faces.push_back(request.face);
        return std::make_unique<SquareFont>(request.height, &draws);
    }
    std::vector<std::string> faces;
    int draws = 0;
};

class TextLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        font = new DxFont(glyphs);
        font->Setup(u"ＭＳ 明朝", 16);
        surface = surface_test::Plain(64, 48, 0xFF000000);  // transparent black
        text.pFont = font;
        text.box_ = RECT{0, 0, 40, 32};
        text.callback_ = [this](TextData*, DxDraw::DxSurface*, std::uint32_t event, char32_t ch) -> std::uint32_t {
            events.push_back({event, ch});
            if (event == DxDraw::kTextBeforeChar && ch == skipped) return 1;
            if (event == DxDraw::kTextScroll) return scrollAnswer;
            return 0;
        };
    }
    void TearDown() override { EXPECT_EQ(font->Release(), 0u); }

    void Put(std::u32string_view s) {
        for (char32_t ch : s) EXPECT_EQ(DxDraw::PutChar(*surface, text, ch), 1);
    }
    Pixel At(int x, int y) const { return picture_test::PixelAt(*surface, x, y); }
    bool Inked(int x, int y) const { return At(x, y).a != 0; }

    struct Event {
        std::uint32_t kind;
        char32_t ch;
        friend bool operator==(const Event&, const Event&) = default;
    };

    SquareGlyphs glyphs;
    DxFont* font = nullptr;
    ComPtr<DxDraw::DxSurface> surface;
    TextData text;
    std::vector<Event> events;
    char32_t skipped = 0;
    std::uint32_t scrollAnswer = 0;
};

TEST_F(TextLayoutTest, FixedPitchAndProportionalMeasures) {
    EXPECT_EQ(glyphs.faces.front(), "ＭＳ 明朝");
    EXPECT_EQ(text.MeasureChar(0xFF21).advance, 16);
    EXPECT_EQ(text.MeasureChar(0xFF71).advance, 8);
    EXPECT_EQ(text.MeasureChar(U'A').advance, 8);
    EXPECT_EQ(text.MeasureChar(U'A').height, 16);
    EXPECT_EQ(text.MeasureChar(0x20000).advance, 16);

    text.style_ = DxDraw::kTextProportional;
    EXPECT_EQ(text.MeasureChar(U'i').advance, 4);
    text.style_ = DxDraw::kTextProportional | DxDraw::kTextAntiAliased;
    EXPECT_EQ(text.MeasureChar(U'i').advance, 4) << "the large font's extent, divided by 4";

    text.style_ = 0;
    text.charSpacing_ = 2;
    EXPECT_EQ(text.MeasureText(u"Aア\U00020000"), 10 + 18 + 18);
}

// Five characters fill a line: a line feed after a full line only moves the pen, and a
// character that does not fit starts the next line.
TEST_F(TextLayoutTest, WrapsBeforeACharacterThatDoesNotFitAndLineFeedsOnlyMoveThePen) {
    text.box_ = RECT{0, 0, 40, 48};
    Put(U"AAAAA\nBAAAAC");
    EXPECT_TRUE(Inked(32, 0));
    EXPECT_FALSE(Inked(40, 0));
    EXPECT_TRUE(Inked(0, 16) && Inked(32, 16));
    EXPECT_TRUE(Inked(0, 32)) << "the last character starts the third line";
    EXPECT_EQ(text.pen_, (POINT{8, 32}));
    EXPECT_EQ(std::count(events.begin(), events.end(), Event{DxDraw::kTextNewline, 10}), 1);
    std::vector<Event> wraps;
    std::copy_if(events.begin(), events.end(), std::back_inserter(wraps),
                 [](const Event& e) { return e.kind == DxDraw::kTextWrapped; });
    EXPECT_EQ(wraps, (std::vector<Event>{{DxDraw::kTextWrapped, U'C'}}));
}

TEST_F(TextLayoutTest, SpacingIsTheSameForDrawingAndMeasuring) {
    text.charSpacing_ = 2;
    text.lineSpacing_ = 3;
    text.box_ = RECT{0, 0, 64, 48};
    Put(U"AAA");
    EXPECT_EQ(text.pen_.x, text.MeasureText(u"AAA"));
    EXPECT_TRUE(Inked(20, 0));
    Put(U"\nA");
    EXPECT_TRUE(Inked(0, 19)) << "a line feed steps height + line spacing";
    Put(U"AAAAAA");  // the seventh character on this line no longer fits
    EXPECT_TRUE(Inked(0, 38)) << "a wrap steps the same";
}

TEST_F(TextLayoutTest, FullBoxScrollsUpOneLine) {
    Put(U"X\nYY\n");
    surface->ClearDirtyRect();
    Put(U"Z");
    EXPECT_TRUE(Inked(0, 0) && Inked(8, 0)) << "the second line moved to the top";
    EXPECT_TRUE(Inked(0, 16)) << "the new character on the cleared last line";
    EXPECT_EQ(At(8, 16), (Pixel{0, 0, 0, 0})) << "the last line's strip is transparent black";
    EXPECT_EQ(text.pen_, (POINT{8, 16}));
    EXPECT_EQ(surface->GetDirtyRect(), (RECT{0, 0, 40, 32}));
    EXPECT_NE(std::find(events.begin(), events.end(), Event{DxDraw::kTextScroll, 0}), events.end());

    // A callback that scrolls by itself: the contents stay, the last line is still cleared.
    const RECT marks[] = {{30, 0, 31, 1}, {30, 20, 31, 21}};
    for (const RECT& mark : marks) surface->FillRect(&mark, 0xFFFFFF, 255);
    scrollAnswer = 1;
    Put(U"\nQ");
    EXPECT_TRUE(Inked(30, 0));
    EXPECT_FALSE(Inked(30, 20));
}

TEST_F(TextLayoutTest, TheScrolledStripTakesTheLineSpacingToo) {
    // Lines 19 apart in a box of two: the strip from y 19 is cleared, spacing rows and all.
    text.lineSpacing_ = 3;
    text.box_ = RECT{0, 0, 40, 38};
    Put(U"X\nYY\n");
    Put(U"Z");
    EXPECT_TRUE(Inked(0, 0) && Inked(8, 0)) << "the second line moved to the top";
    EXPECT_TRUE(Inked(0, 19)) << "the new character on the cleared last line";
    EXPECT_EQ(At(8, 19), (Pixel{0, 0, 0, 0})) << "the old second line's ink is gone";
    EXPECT_EQ(text.pen_, (POINT{8, 19}));
}

TEST_F(TextLayoutTest, CallbackCanSkipACharacter) {
    skipped = U'S';
    Put(U"ASA");
    EXPECT_EQ(text.pen_.x, 16);
    EXPECT_FALSE(Inked(16, 0));
    EXPECT_EQ(events.front(), (Event{DxDraw::kTextBeforeChar, U'A'}));
    EXPECT_NE(std::find(events.begin(), events.end(), Event{DxDraw::kTextAfterChar, U'A'}), events.end());
}

struct StyleCase {
    std::uint32_t style;
    std::vector<POINT> face, shadow, outline;
    RECT cell;  // the character's own dirty rectangle, from the box corner (10, 10)
};

class TextStyleTest : public TextLayoutTest, public ::testing::WithParamInterface<StyleCase> {};

TEST_P(TextStyleTest, EveryCopyLandsWhereTheStyleSays) {
    const StyleCase& c = GetParam();
    text.box_ = RECT{10, 10, 60, 40};
    text.style_ = c.style;
    text.faceColor_ = 0x0000FF;     // red
    text.shadowColor_ = 0x00FF00;   // green
    text.outlineColor_ = 0xFF0000;  // blue
    text.callback_ = nullptr;
    Put(U"A");
    EXPECT_EQ(glyphs.draws, 1) << "all copies share one canvas rendering";

    // Later copies draw over earlier ones: face over outline over shadow.
    int expected[64][48] = {};
    const auto mark = [&](const std::vector<POINT>& points, int colour) {
        for (const POINT& p : points) expected[10 + p.x][10 + p.y] = colour;
    };
    mark(c.shadow, 2);
    mark(c.outline, 3);
    mark(c.face, 1);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const Pixel p = At(x, y);
            // The copy drawn last dominates (what shows through is 15/255 of the one below).
            const int colour = p.a == 0 ? 0 : (p.r > p.g && p.r > p.b) ? 1 : p.g > p.b ? 2 : 3;
            ASSERT_EQ(colour, expected[x][y]) << x << "," << y;
        }

    // A font that was never built has no canvas, so no glyph marks the surface: what is dirty
    // is the character's own rectangle.
    DxFont* unbuilt = new DxFont(glyphs);
    text.pFont = unbuilt;
    surface->ClearDirtyRect();
    text.pen_ = {};
    Put(U"A");
    EXPECT_EQ(surface->GetDirtyRect(), c.cell);
    text.pFont = font;
    EXPECT_EQ(unbuilt->Release(), 0u);
}

std::vector<POINT> Ring(int cx, int cy) {
    std::vector<POINT> r;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (dx || dy) r.push_back(POINT{cx + dx, cy + dy});
    return r;
}

std::vector<POINT> Join(std::vector<POINT> a, const std::vector<POINT>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Styles, TextStyleTest,
    ::testing::Values(
        StyleCase{0, {{0, 0}}, {}, {}, {10, 10, 18, 26}},
        StyleCase{DxDraw::kTextBold, {{0, 0}, {1, 0}}, {}, {}, {10, 10, 19, 26}},
        StyleCase{DxDraw::kTextShadow, {{0, 0}}, {{1, 1}}, {}, {10, 10, 19, 27}},
        StyleCase{DxDraw::kTextShadow | DxDraw::kTextBold, {{0, 0}, {1, 0}}, {{1, 1}, {2, 1}}, {}, {10, 10, 20, 27}},
        StyleCase{DxDraw::kTextOutline, {{0, 0}}, {}, Ring(0, 0), {9, 9, 19, 27}},
        StyleCase{DxDraw::kTextOutlineOnly, {}, {}, Ring(0, 0), {9, 9, 19, 27}},
        StyleCase{DxDraw::kTextOutline | DxDraw::kTextBold,
                  {{0, 0}, {1, 0}},
                  {},
                  Join(Ring(0, 0), {{2, -1}, {2, 0}, {2, 1}}),
                  {9, 9, 20, 27}},
        StyleCase{DxDraw::kTextOutline | DxDraw::kTextShadow, {{0, 0}}, Ring(1, 1), Ring(0, 0), {9, 9, 20, 28}},
        StyleCase{DxDraw::kTextOutline | DxDraw::kTextShadow | DxDraw::kTextBold,
                  {{0, 0}, {1, 0}},
                  Join(Ring(1, 1), {{3, 0}, {3, 1}, {3, 2}}),
                  Join(Ring(0, 0), {{2, -1}, {2, 0}, {2, 1}}),
                  {9, 9, 21, 28}}),
    [](const ::testing::TestParamInfo<StyleCase>& info) { return "style" + std::to_string(info.param.style); });

TEST_F(TextLayoutTest, BlendingIsExactForPlainAndAntiAliasedGlyphs) {
    text.faceColor_ = 0x00C08040;  // red 0x40, green 0x80, blue 0xC0
    Put(U"A");
    // Plain: coverage 240 over transparent black.
    EXPECT_EQ(At(0, 0), (Pixel{0xC0 * 240 / 255, 0x80 * 240 / 255, 0x40 * 240 / 255, 240}));

    // Anti-aliased onto a transparent surface: the exact colour, coverage only in the alpha.
    text.style_ = DxDraw::kTextAntiAliased;
    Put(U"A");
    EXPECT_EQ(At(8, 0), (Pixel{0xC0, 0x80, 0x40, 240}));

    // Over white pixels of opacity 255 and 245, plain and anti-aliased: with the stored alpha A
    // (255 - opacity) and coverage c = 240, the colour weight is c (plain) or min(A + c, 255).
    text.pen_ = {};
    text.box_ = RECT{0, 16, 64, 48};
    const std::uint32_t colour[] = {0xC0, 0x80, 0x40};
    for (int opacity : {255, 245})
        for (std::uint32_t style : {0u, std::uint32_t{DxDraw::kTextAntiAliased}}) {
            const RECT cell{text.pen_.x, 16, text.pen_.x + 1, 17};
            surface->FillRect(&cell, 0xFFFFFF, opacity);
            const int x = text.pen_.x;
            text.style_ = style;
            Put(U"A");
            const int stored = 255 - opacity;
            const int a = style ? std::min(stored + 240, 255) : 240;
            const auto mix = [&](std::uint32_t c) { return static_cast<int>((255 * (255 - a) + a * c) / 255); };
            const int alpha = 255 - ((255 - stored) * 15 + 240 * 255) / 255;
            EXPECT_EQ(At(x, 16), (Pixel{mix(colour[0]), mix(colour[1]), mix(colour[2]), 255 - alpha}))
                << opacity << " " << style;
        }
}

TEST_F(TextLayoutTest, RepeatedCharactersRenderOnceAndDirtyOnlyTheirCells) {
    text.BeginDraw(surface.Get());
    Put(U"AAB");
    text.EndDraw();
    EXPECT_EQ(glyphs.draws, 2) << "within one drawing scope";
    Put(U"B");
    EXPECT_EQ(glyphs.draws, 3) << "a new scope starts with an empty canvas";
    surface->ClearDirtyRect();
    Put(U"A");
    EXPECT_EQ(surface->GetDirtyRect(), (RECT{32, 0, 40, 16}));
}

TEST_F(TextLayoutTest, WideAdvancesNeverReadPastTheCanvas) {
    text.style_ = DxDraw::kTextProportional | DxDraw::kTextAntiAliased;
    text.box_ = RECT{0, 0, 100000, 48};
    Put(U"W");
    EXPECT_EQ(text.pen_.x, 16 * 40);
}

TEST(CopyWideBoundedTest, BoundsAndResults) {
    char16_t out[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(CopyWideBounded(out, 1, u"ab"), static_cast<HRESULT>(0x80070057u));
    EXPECT_EQ(out[0], u'x');
    EXPECT_EQ(CopyWideBounded(out, sizeof out, u"abc"), S_OK);
    EXPECT_EQ(std::u16string(out), u"abc");
    EXPECT_EQ(CopyWideBounded(out, sizeof out, u"abcd"), static_cast<HRESULT>(0x8007007Au));
    EXPECT_EQ(std::u16string(out), u"abc");
}

}  // namespace
