// The FreeType glyph source puts each glyph where FreeType's metrics say: the bitmap's left
// bearing from the cell's left edge and its top measured down from the baseline, which lies
// at the face's OS/2 usWinAscent scaled to the cell height.
#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <string>
#include <vector>

#include "host/fonts/glyph_source.h"

namespace {

std::string FaceFile(const char* family) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcChar8* file = nullptr;
    FcPatternGetString(match, FC_FILE, 0, &file);
    std::string path = file ? reinterpret_cast<const char*>(file) : "";
    FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return path;
}

// The box around a glyph's set pixels.
struct Ink {
    void Add(int x, int y) {
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
    }
    bool operator==(const Ink&) const = default;
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
};

TEST(GlyphSource, GlyphsSitWhereFreeTypeSays) {
    const int height = 40;
    host::FontRequest request;
    request.face = "ＭＳ ゴシック";
    request.height = height;
    auto font = host::SystemGlyphSource().OpenFont(request);
    ASSERT_TRUE(font);
    ASSERT_EQ(font->FamilyName(), "IPAGothic");

    FT_Library library;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    FT_Face face;
    ASSERT_EQ(FT_New_Face(library, FaceFile("IPAGothic").c_str(), 0, &face), 0);
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    ASSERT_TRUE(os2);
    const long cell = os2->usWinAscent + os2->usWinDescent;
    FT_Set_Char_Size(face, 0, height * 64 * face->units_per_EM / cell, 72, 72);
    const int baseline = static_cast<int>((height * os2->usWinAscent + cell / 2) / cell);
    EXPECT_EQ(font->Ascent(), baseline);

    for (char32_t ch : {U'あ', U'H', U'g', U'漢'}) {
        SCOPED_TRACE(static_cast<unsigned>(ch));
        ASSERT_EQ(FT_Load_Char(face, ch, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME), 0);
        const FT_GlyphSlot slot = face->glyph;
        Ink want;
        for (unsigned r = 0; r < slot->bitmap.rows; ++r)
            for (unsigned c = 0; c < slot->bitmap.width; ++c)
                if (slot->bitmap.buffer[r * static_cast<unsigned>(slot->bitmap.pitch) + c / 8] & (0x80 >> (c % 8)))
                    want.Add(slot->bitmap_left + static_cast<int>(c),
                             baseline - slot->bitmap_top + static_cast<int>(r));

        std::vector<std::uint8_t> canvas(128 * 128, 0);
        font->DrawChar(ch, host::GlyphCanvas{canvas.data(), 128, 128, 128}, 9);
        Ink got;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x)
                if (canvas[static_cast<std::size_t>(y * 128 + x)]) {
                    ASSERT_EQ(canvas[static_cast<std::size_t>(y * 128 + x)], 9);
                    got.Add(x, y);
                }
        EXPECT_TRUE(got == want) << got.left << "," << got.top << "-" << got.right << "," << got.bottom;
        const char32_t one[] = {ch};
        EXPECT_EQ(font->TextExtent(one), (slot->advance.x + 32) >> 6);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

TEST(GlyphSource, ClipsToTheCanvasAndRefusesBadSizes) {
    host::FontRequest request;
    request.face = "ＭＳ 明朝";
    request.height = 0;
    EXPECT_FALSE(host::SystemGlyphSource().OpenFont(request));
    request.height = 64;
    auto font = host::SystemGlyphSource().OpenFont(request);
    ASSERT_TRUE(font);
    std::vector<std::uint8_t> canvas(12 * 10 + 4, 0xAA);  // a 10 x 10 canvas, pitch 12, guard bytes after
    font->DrawChar(U'漢', host::GlyphCanvas{canvas.data(), 10, 10, 12}, 15);
    for (std::size_t i = 12 * 9 + 10; i < canvas.size(); ++i) EXPECT_EQ(canvas[i], 0xAA) << i;
}

}  // namespace
