#include "typeface.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "lib/text.h"
#include "lib/utility.h"

namespace mkdemo {

namespace {

// The face fontconfig picks for a family list, refused unless it covers Japanese: fontconfig
// always answers with some face, and a Latin one would draw every label as empty boxes. The
// proportional IPA faces come first; the generic families keep any installed Japanese face usable.
std::string FindFace(Typeface::Family family, int* index) {
    const char* pattern = family == Typeface::Family::Gothic ? "IPAPGothic,IPAGothic,sans-serif:lang=ja"
                                                             : "IPAPMincho,IPAMincho,serif:lang=ja";
    std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> request(
        FcNameParse(reinterpret_cast<const FcChar8*>(pattern)), FcPatternDestroy);
    if (!request) throw std::runtime_error("fontconfig cannot parse the pattern " + std::string(pattern));
    FcConfigSubstitute(nullptr, request.get(), FcMatchPattern);
    FcDefaultSubstitute(request.get());
    FcResult result = FcResultNoMatch;
    std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> match(FcFontMatch(nullptr, request.get(), &result),
                                                                  FcPatternDestroy);
    FcChar8* file = nullptr;
    FcLangSet* languages = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch ||
        FcPatternGetLangSet(match.get(), FC_LANG, 0, &languages) != FcResultMatch ||
        FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>("ja")) != FcLangEqual)
        throw std::runtime_error(std::string("no Japanese font for ") + pattern +
                                 " (install fonts-ipafont-gothic and fonts-ipafont-mincho)");
    if (FcPatternGetInteger(match.get(), FC_INDEX, 0, index) != FcResultMatch) *index = 0;
    return reinterpret_cast<const char*>(file);
}

// A UTF-8 line as code points; a lone surrogate stands for itself (and draws nothing).
std::u32string CodePoints(std::string_view utf8) {
    const std::u16string units = Utf8ToUtf16(utf8);
    std::u32string out;
    const char16_t* end = units.data() + units.size();
    char32_t c = 0;
    for (const char16_t* p = units.data(); p && p < end;) {
        p = DecodeUtf16CodePoint(p, static_cast<int>(end - p), c);
        out.push_back(c);
    }
    return out;
}

}  // namespace

FontLookup::FontLookup() {
    if (!FcInit()) throw std::runtime_error("fontconfig cannot read its configuration");
}

FontLookup::~FontLookup() { FcFini(); }

struct Typeface::Library {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Library() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

Typeface::Typeface(Family family) : ft_(std::make_unique<Library>()) {
    if (FT_Init_FreeType(&ft_->library)) throw std::runtime_error("FreeType cannot start");
    int index = 0;
    const std::string file = FindFace(family, &index);
    if (FT_New_Face(ft_->library, file.c_str(), index, &ft_->face) != 0)
        throw std::runtime_error("FreeType cannot open " + file);
}

Typeface::~Typeface() = default;

int Typeface::Measure(std::string_view utf8, int pixelSize) {
    FT_Set_Pixel_Sizes(ft_->face, 0, pixelSize);
    long advance = 0;
    for (char32_t c : CodePoints(utf8)) {
        if (FT_Load_Char(ft_->face, c, FT_LOAD_DEFAULT) == 0) advance += ft_->face->glyph->advance.x;
    }
    return int((advance + 63) / 64);
}

Mask Typeface::Render(std::string_view utf8, int pixelSize) {
    int width = Measure(utf8, pixelSize) + 2;
    int height = pixelSize + pixelSize / 3;
    int baseline = pixelSize * 4 / 5;
    Mask mask(width, height);
    long pen = 0;
    for (char32_t c : CodePoints(utf8)) {
        if (FT_Load_Char(ft_->face, c, FT_LOAD_RENDER) != 0) continue;
        FT_GlyphSlot g = ft_->face->glyph;
        int ox = int(pen / 64) + g->bitmap_left, oy = baseline - g->bitmap_top;
        for (unsigned row = 0; row < g->bitmap.rows; ++row) {
            for (unsigned col = 0; col < g->bitmap.width; ++col) {
                int x = ox + int(col), y = oy + int(row);
                if (x < 0 || y < 0 || x >= width || y >= height) continue;
                float v = g->bitmap.buffer[row * g->bitmap.pitch + col] / 255.0f;
                mask.at(x, y) = std::max(mask.at(x, y), v);
            }
        }
        pen += g->advance.x;
    }
    return mask;
}

void DrawText(Canvas& canvas, Typeface& face, std::string_view utf8, int x, int y, const TextStyle& style) {
    Mask glyphs = face.Render(utf8, style.size);
    int left = style.align == Align::Left     ? x
               : style.align == Align::Centre ? x - glyphs.width() / 2
                                              : x - glyphs.width();
    if (style.shadow > 0) {
        int pad = style.shadowRadius * 3;
        Mask halo(glyphs.width() + 2 * pad, glyphs.height() + 2 * pad);
        for (int gy = 0; gy < glyphs.height(); ++gy)
            for (int gx = 0; gx < glyphs.width(); ++gx) halo.at(gx + pad, gy + pad) = glyphs.at(gx, gy);
        halo.BoxBlur(style.shadowRadius, 2);
        halo.Scale(3.0f * style.shadow);
        canvas.PaintMask(halo, left - pad + 1, y - pad + 1, style.shadowColor);
    }
    canvas.PaintMask(glyphs, left, y, style.color);
}

}  // namespace mkdemo
