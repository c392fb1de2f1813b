#include "typeface.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "lib/text.h"

namespace mkdemo {

namespace {

const char* const kGothicFiles[] = {"/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf",
                                    "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
                                    "/usr/share/fonts/truetype/fonts-japanese-gothic.ttf"};
const char* const kMinchoFiles[] = {"/usr/share/fonts/opentype/ipafont-mincho/ipamp.ttf",
                                    "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf",
                                    "/usr/share/fonts/truetype/fonts-japanese-mincho.ttf"};

std::u32string CodePoints(std::string_view utf8) {
    std::u16string units = Utf8ToUtf16(utf8);
    std::u32string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        out.push_back(c);
    }
    return out;
}

}  // namespace

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
    for (const char* file : family == Family::Gothic ? kGothicFiles : kMinchoFiles) {
        if (std::filesystem::exists(file) && FT_New_Face(ft_->library, file, 0, &ft_->face) == 0) return;
    }
    throw std::runtime_error("no IPA Japanese font installed (fonts-ipafont-gothic, fonts-ipafont-mincho)");
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
