// The text-layout record and drawing a character at its pen: wrapping, scrolling, the style
// effects and the callback events.
#include <algorithm>
#include <cstring>

#include "dxdraw/dxfont.h"
#include "dxdraw/dxsurface.h"
#include "lib/report.h"
#include "lib/utility.h"

namespace DxDraw {
namespace {

constexpr char32_t kLineFeed = 10;

bool IsHalfWidthKatakana(char32_t ch) { return ch >= 0xFF61 && ch <= 0xFF9F; }

std::uint32_t Notify(TextData& text, DxSurface& surface, std::uint32_t event, char32_t ch) {
    return text.m_Callback ? text.m_Callback(&text, &surface, event, ch) : 0;
}

// Moves the box contents up by `step` rows; the rows uncovered at the bottom keep their pixels
// (the caller clears them).
void ScrollBoxUp(DxSurface& surface, const RECT& box, std::int32_t step) {
    const RECT area = IntersectRect(box, ImageRect(surface));
    if (IsRectEmpty(area) || step <= 0 || surface.GetDepth() != 32) return;
    const std::size_t bytes = static_cast<std::size_t>(area.Width()) * 4;
    for (std::int32_t y = area.top; y + step < area.bottom; ++y)
        std::memmove(surface.GetPixelAddress(area.left, y), surface.GetPixelAddress(area.left, y + step), bytes);
}

void DrawGlyph(DxSurface& surface, TextData& text, std::int32_t px, std::int32_t py, char32_t ch, std::uint32_t colour,
               GlyphSize size) {
    text.pFont->RenderChar(text.m_State, ch);
    const RECT touched = text.pFont->BlendGlyph(text.m_State, px, py, colour, size);
    if (!IsRectEmpty(touched)) surface.AddDirtyRect(&touched);
}

}  // namespace

void TextData::BeginDraw(DxSurface* surface) {
    if (m_BeginCount == 0 && pFont) pFont->BeginDraw(m_State, surface, (m_Style & kTextAntiAliased) != 0);
    ++m_BeginCount;
}

void TextData::EndDraw() {
    if (m_BeginCount == 0) {
        AssertFail("m_BeginCount", "dxdraw/dxfont", 236);
        return;
    }
    if (--m_BeginCount == 0 && pFont) pFont->EndDraw(m_State);
}

GlyphSize TextData::MeasureChar(char32_t ch) {
    GlyphSize size;
    if (!pFont) return size;
    size.height = pFont->Description().lfHeight;
    if (m_Style & kTextProportional)
        size.advance = pFont->ProportionalAdvance(ch, (m_Style & kTextAntiAliased) != 0);
    else
        size.advance = (ch >= 256 && !IsHalfWidthKatakana(ch)) ? size.height : size.height / 2;
    return size;
}

std::int32_t TextData::MeasureText(std::u16string_view text) {
    std::int32_t total = 0;
    const char16_t* end = text.data() + text.size();
    char32_t ch = 0;
    for (const char16_t* p = text.data(); p && p < end;) {
        p = DecodeUtf16CodePoint(p, static_cast<int>(end - p), ch);
        if (p) total += MeasureChar(ch).advance + m_CharSpacing;
    }
    return total;
}

int PutChar(DxSurface& surface, TextData& text, char32_t ch) {
    if (Notify(text, surface, kTextBeforeChar, ch) == 1) return 1;
    text.BeginDraw(&surface);
    const GlyphSize size = text.MeasureChar(ch);
    const std::int32_t stepX = size.advance + text.m_CharSpacing;
    const std::int32_t stepY = size.height + text.m_LineSpacing;
    const RECT& box = text.m_Box;

    // A line feed ends the line by itself; it never wraps first.
    if (ch != kLineFeed && text.m_Pen.x + stepX > box.Width()) {
        text.m_Pen.y += stepY;
        text.m_Pen.x = 0;
        Notify(text, surface, kTextWrapped, ch);
    }
    if (text.m_Pen.y >= box.Height()) {
        if (Notify(text, surface, kTextScroll, 0) == 0) ScrollBoxUp(surface, box, stepY);
        text.m_Pen.y -= stepY;
        const RECT strip{box.left, std::max(box.bottom - stepY, 0), box.right, box.bottom};
        surface.FillRect(&strip, 0x000000, 0);
        surface.AddDirtyRect(&box);
    }
    if (!text.pFont) {
        AssertFail("pData->pFont", "dxdraw/dxsurface", 480);
        text.EndDraw();
        return 0;
    }
    const int result = DrawChar(surface, text, ch, size);
    text.EndDraw();
    return result;
}

int DrawChar(DxSurface& surface, TextData& text, char32_t ch, GlyphSize size) {
    if (!surface.HasPixels()) return 0;
    if (ch == kLineFeed) {
        text.m_Pen.x = 0;
        text.m_Pen.y += size.height + text.m_LineSpacing;
        Notify(text, surface, kTextNewline, kLineFeed);
        return 1;
    }

    if (!text.pFont) return 0;
    const std::uint32_t style = text.m_Style;
    const bool bold = style & kTextBold;
    const bool outline = style & (kTextOutline | kTextOutlineOnly);
    const std::int32_t x = text.m_Box.left + text.m_Pen.x;
    const std::int32_t y = text.m_Box.top + text.m_Pen.y;

    text.BeginDraw(&surface);
    const auto glyph = [&](std::int32_t gx, std::int32_t gy, std::uint32_t colour) {
        DrawGlyph(surface, text, gx, gy, ch, colour, size);
    };
    if (style & kTextShadow) {
        const std::uint32_t c = text.m_ShadowColor;
        if (outline) {
            // A 3 x 3 ring offset by (1, 1), widened by one column for bold.
            for (int dy = 0; dy <= 2; ++dy)
                for (int dx = 0; dx <= 2; ++dx)
                    if (dx != 1 || dy != 1) glyph(x + dx, y + dy, c);
            if (bold)
                for (int dy = 0; dy <= 2; ++dy) glyph(x + 3, y + dy, c);
        } else {
            glyph(x + 1, y + 1, c);
            if (bold) glyph(x + 2, y + 1, c);
        }
    }
    if (outline) {
        const std::uint32_t c = text.m_OutlineColor;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (dx != 0 || dy != 0) glyph(x + dx, y + dy, c);
        if (bold)
            for (int dy = -1; dy <= 1; ++dy) glyph(x + 2, y + dy, c);
    }
    if (!(style & kTextOutlineOnly)) {
        glyph(x, y, text.m_FaceColor);
        if (bold) glyph(x + 1, y, text.m_FaceColor);
    }
    text.EndDraw();

    text.m_Pen.x += size.advance + text.m_CharSpacing;

    const std::int32_t w = size.advance + (bold ? 1 : 0) + ((style & kTextShadow) ? 1 : 0);
    const std::int32_t h = size.height + ((style & kTextShadow) ? 1 : 0);
    const RECT cell = outline ? RECT{x - 1, y - 1, x - 1 + w + 2, y - 1 + h + 2} : RECT{x, y, x + w, y + h};
    surface.AddDirtyRect(&cell);

    Notify(text, surface, kTextAfterChar, ch);
    return 1;
}

}  // namespace DxDraw
