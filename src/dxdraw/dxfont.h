// Text drawing: fonts, the text-layout record, and drawing one character at a time into a
// 32-bit surface with shadow, outline, outline-only and bold effects and optional
// anti-aliasing (the glyph drawn four times larger and each 4 x 4 block summed).
//
// A glyph is drawn as solid ink of level 15 onto the font's 8-bit canvas, then its coverage
// (level x 16) is blended into the surface in the text colour. Every drawn glyph widens the
// surface's dirty rectangle, so sprites showing the surface repaint only the new characters.
//
// Spacing: the character spacing is part of every advance (the wrap test, the pen step and
// MeasureText agree), and the line spacing is part of every line step, whether the line
// ended by wrapping or by a line feed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "dxdraw/dximage.h"
#include "dxdraw/rect.h"
#include "host/fonts/glyph_source.h"
#include "lib/combase.h"

// Copies the terminated text into dst (sizeBytes bytes), at most sizeBytes / 2 - 1 units, and
// always terminates it. E_INVALIDARG without writing when sizeBytes is below 2; a text cut
// short gives 0x8007007A; else S_OK.
HRESULT CopyWideBounded(char16_t* dst, std::size_t sizeBytes, const char16_t* src);

namespace DxDraw {

class DxSurface;
struct TextData;

struct LogFont {
    std::int32_t lfHeight = 16;
    std::int32_t lfWidth = 0;
    std::int32_t lfEscapement = 0;
    std::int32_t lfOrientation = 0;
    std::int32_t lfWeight = 400;
    std::uint8_t lfItalic = 0;
    std::uint8_t lfUnderline = 0;
    std::uint8_t lfStrikeOut = 0;
    std::uint8_t lfCharSet = 1;
    std::uint8_t lfOutPrecision = 0;
    std::uint8_t lfClipPrecision = 0;
    std::uint8_t lfQuality = 0;
    std::uint8_t lfPitchAndFamily = 1;
    char16_t lfFaceName[32] = u"ＭＳ 明朝";
};

struct GlyphSize {
    std::int32_t advance = 0;
    std::int32_t height = 0;
};

// The drawing state a text record holds while a drawing scope is open.
struct TextDrawState {
    bool large = false;
    DxSurface* target = nullptr;
};

// A face at a size, with the canvas its glyphs are drawn on. Reference-counted (born with
// one reference); must not be rebuilt or destroyed while a drawing scope is open.
class DxFont {
public:
    explicit DxFont(host::GlyphSource& glyphs = host::SystemGlyphSource());
    ~DxFont();
    DxFont(const DxFont&) = delete;
    DxFont& operator=(const DxFont&) = delete;

    // Description = height, weight 400, the face; then Build.
    void Setup(std::u16string_view face, std::int32_t height);
    // Opens the normal and the four-times-larger font and makes the canvas.
    void Build();
    void Destroy();
    ULONG AddRef() { return ++count_; }
    // The Release that reaches 0 destroys and deletes the font (made with new).
    ULONG Release();

    void BeginDraw(TextDrawState& state, DxSurface* target, bool large);
    void EndDraw(TextDrawState& state);
    // Puts the character on the canvas unless it is there already.
    void RenderChar(const TextDrawState& state, char32_t ch);
    // Blends the canvas glyph into the target at (px, py); returns the rectangle touched.
    RECT BlendGlyph(const TextDrawState& state, std::int32_t px, std::int32_t py, std::uint32_t colour, GlyphSize size);
    // Advance of the character in the normal font (large: the large font's, divided by 4).
    std::int32_t ProportionalAdvance(char32_t ch, bool large);

    const LogFont& Description() const { return desc_; }
    LogFont& Description() { return desc_; }
    const DxImage* Canvas() const { return canvas_.get(); }
    std::uint32_t BeginCount() const { return beginCount_; }
    // Characters drawn onto the canvas so far (repeats reuse the canvas).
    std::uint32_t CanvasRenders() const { return renders_; }

private:
    // Lets go of both sizes of the face and the canvas (Build and Destroy).
    void DropFaces();

    host::GlyphSource* glyphs_;
    LogFont desc_;
    std::unique_ptr<DxImage> canvas_;
    std::unique_ptr<host::GlyphFont> normal_;
    std::unique_ptr<host::GlyphFont> large_;
    ULONG count_ = 1;
    std::uint32_t beginCount_ = 0;
    // What the canvas holds: the canvas is the font's, so this is too (0: nothing).
    char32_t canvasChar_ = 0;
    bool canvasLarge_ = false;
    std::uint32_t renders_ = 0;
};

enum : std::uint32_t {
    kTextBold = 0x1,
    kTextShadow = 0x2,
    kTextOutline = 0x4,
    kTextOutlineOnly = 0x8,  // outline without the face
    kTextProportional = 0x10,
    kTextAntiAliased = 0x8000,
};

// Callback events. For kTextBeforeChar a result of 1 skips the character; for kTextScroll a
// non-zero result means the callback moved the box contents itself.
enum : std::uint32_t {
    kTextBeforeChar = 0,
    kTextAfterChar = 1,
    kTextWrapped = 2,
    kTextNewline = 3,
    kTextScroll = 4,
};

using TextCallback = std::function<std::uint32_t(TextData* text, DxSurface* surface, std::uint32_t event, char32_t ch)>;

// The text-layout record: box, pen, colours (0x00BBGGRR), style, callback and font.
struct TextData {
    std::int32_t charSpacing_ = 0;
    std::int32_t lineSpacing_ = 0;
    std::uint32_t beginCount_ = 0;
    TextDrawState state_;
    RECT box_;
    POINT pen_;  // relative to the box's left and top
    std::uint32_t faceColor_ = 0xFFFFFF;
    std::uint32_t shadowColor_ = 0;
    std::uint32_t outlineColor_ = 0;
    std::uint32_t style_ = 0;
    TextCallback callback_;
    DxFont* pFont = nullptr;  // held by the record's owner

    void BeginDraw(DxSurface* surface);
    void EndDraw();
    // Advance and height of one character, spacing not included.
    GlyphSize MeasureChar(char32_t ch);
    // Sum of advance + character spacing over the code points of the text.
    std::int32_t MeasureText(std::u16string_view text);
};

// Lays out and draws one character (a code point); 1 when it was handled.
int PutChar(DxSurface& surface, TextData& text, char32_t ch);
// Draws one character at the pen and moves the pen; a line feed only moves the pen. 0 when the
// surface has no pixels.
int DrawChar(DxSurface& surface, TextData& text, char32_t ch, GlyphSize size);

}  // namespace DxDraw
