// Glyphs from FreeType, faces found by fontconfig.
#include <algorithm>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include "host/fonts/glyph_source.h"

namespace host {
namespace {

struct FcPatternFree {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using FcPatternHandle = std::unique_ptr<FcPattern, FcPatternFree>;

struct FtFaceFree {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using FtFaceHandle = std::unique_ptr<FT_FaceRec_, FtFaceFree>;

// The file and face index fontconfig picks for a family name, Japanese preferred.
bool FindFace(const std::string& family, std::string* file, int* index) {
    FcPatternHandle pattern(FcPatternCreate());
    if (!pattern) return false;
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    FcPatternHandle match(FcFontMatch(nullptr, pattern.get(), &result));
    if (!match) return false;
    FcChar8* path = nullptr;
    if (FcPatternGetString(match.get(), FC_FILE, 0, &path) != FcResultMatch || !path) return false;
    *file = reinterpret_cast<const char*>(path);
    if (FcPatternGetInteger(match.get(), FC_INDEX, 0, index) != FcResultMatch) *index = 0;
    return true;
}

class FreeTypeFont final : public GlyphFont {
public:
    FreeTypeFont(FtFaceHandle face, int cellHeight, int ascent)
        : face_(std::move(face)), cellHeight_(cellHeight), ascent_(ascent) {}

    int CellHeight() const override { return cellHeight_; }
    int Ascent() const override { return ascent_; }
    std::string FamilyName() const override { return face_->family_name ? face_->family_name : ""; }

    int TextExtent(std::span<const char32_t> text) override {
        int total = 0;
        for (char32_t ch : text)
            if (FT_Load_Char(face_.get(), ch, FT_LOAD_TARGET_MONO) == 0)
                total += static_cast<int>((face_->glyph->advance.x + 32) >> 6);
        return total;
    }

    void DrawChar(char32_t ch, const GlyphCanvas& canvas, std::uint8_t level) override {
        if (FT_Load_Char(face_.get(), ch, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) != 0) return;
        const FT_GlyphSlot slot = face_->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO) return;
        const int left = slot->bitmap_left;
        const int top = ascent_ - slot->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const int y = top + static_cast<int>(row);
            if (y < 0 || y >= canvas.height) continue;
            const unsigned char* bits = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
            std::uint8_t* out = canvas.pixels + y * canvas.pitch;
            for (unsigned col = 0; col < bitmap.width; ++col) {
                const int x = left + static_cast<int>(col);
                if (x < 0 || x >= canvas.width) continue;
                if (bits[col >> 3] & (0x80 >> (col & 7))) out[x] = level;
            }
        }
    }

private:
    FtFaceHandle face_;
    int cellHeight_;
    int ascent_;
};

class FreeTypeGlyphSource final : public GlyphSource {
public:
    FreeTypeGlyphSource() {
        if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
    }
    // Goes at process exit, and takes fontconfig's caches with it.
    ~FreeTypeGlyphSource() override {
        if (library_) FT_Done_FreeType(library_);
        FcFini();
    }
    FreeTypeGlyphSource(const FreeTypeGlyphSource&) = delete;
    FreeTypeGlyphSource& operator=(const FreeTypeGlyphSource&) = delete;

    std::unique_ptr<GlyphFont> OpenFont(const FontRequest& request) override {
        if (!library_ || request.height < 1) return nullptr;
        std::string file;
        int index = 0;
        if (!FindFace(request.face, &file, &index)) return nullptr;
        FT_Face raw = nullptr;
        if (FT_New_Face(library_, file.c_str(), index, &raw) != 0) return nullptr;
        FtFaceHandle face(raw);
        if (!FT_IS_SCALABLE(face.get())) return nullptr;

        // The cell is the face's OS/2 usWinAscent plus usWinDescent (the hhea ascender and descender
        // when those are zero), scaled to the height asked: the game's layouts were made for it.
        long ascender = face->ascender;
        long descender = -face->descender;
        if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face.get(), FT_SFNT_OS2));
            os2 && os2->usWinAscent + os2->usWinDescent > 0) {
            ascender = os2->usWinAscent;
            descender = os2->usWinDescent;
        }
        const long cell = std::max(1L, ascender + descender);
        const FT_F26Dot6 size = static_cast<FT_F26Dot6>(request.height) * 64 * face->units_per_EM / cell;
        if (FT_Set_Char_Size(face.get(), 0, size, 72, 72) != 0) return nullptr;
        const int ascent = static_cast<int>((static_cast<long>(request.height) * ascender + cell / 2) / cell);
        return std::make_unique<FreeTypeFont>(std::move(face), request.height, ascent);
    }

private:
    FT_Library library_ = nullptr;
};

}  // namespace

GlyphSource& SystemGlyphSource() {
    static FreeTypeGlyphSource source;
    return source;
}

}  // namespace host
