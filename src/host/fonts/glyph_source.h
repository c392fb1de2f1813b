// The glyph source: the fonts text drawing renders with.
//
// A font is asked for by face name and cell height (the distance from the top of the tallest
// glyph to the bottom of the lowest, as the engine's layout counts lines). It measures text
// and draws one character at a time into an 8-bit canvas, as solid ink of a given level with no
// smoothing: the engine does its own anti-aliasing by drawing four times larger.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace host {

struct FontRequest {
    std::string face;  // UTF-8; "ＭＳ 明朝" and "ＭＳ ゴシック" reach the installed Japanese faces
    int height = 16;   // cell height in pixels
};

// One byte per pixel, rows `pitch` bytes apart, top row first.
struct GlyphCanvas {
    std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t pitch = 0;
};

class GlyphFont {
public:
    virtual ~GlyphFont() = default;
    virtual int CellHeight() const = 0;
    // Rows from the top of the cell to the baseline.
    virtual int Ascent() const = 0;
    // The family of the face that was found (UTF-8).
    virtual std::string FamilyName() const = 0;
    // Sum of the advances of the code points, in pixels.
    virtual int TextExtent(std::span<const char32_t> text) = 0;
    // Writes `level` into every canvas pixel the character inks, its cell's top-left corner at
    // the canvas's (0, 0); other pixels are left alone, and nothing is drawn outside the canvas.
    virtual void DrawChar(char32_t ch, const GlyphCanvas& canvas, std::uint8_t level) = 0;
};

class GlyphSource {
public:
    virtual ~GlyphSource() = default;
    // Null when no face can be found or loaded.
    virtual std::unique_ptr<GlyphFont> OpenFont(const FontRequest& request) = 0;
};

// The installed fonts, through fontconfig and FreeType; one per process, like the system's
// own font service.
GlyphSource& SystemGlyphSource();

}  // namespace host
