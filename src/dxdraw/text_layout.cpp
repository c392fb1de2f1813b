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
    return text.callback_ ? text.callback_(&text, &surface, event, ch) : 0;
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
    text.pFont->RenderChar(text.state_, ch);
    const RECT touched = text.pFont->BlendGlyph(text.state_, px, py, colour, size);
    if (!IsRectEmpty(touched)) surface.AddDirtyRect(&touched);
}

}  // namespace

void TextData::BeginDraw(DxSurface* surface) {
    if (beginCount_ == 0 && pFont) pFont->BeginDraw(state_, surface, (style_ & kTextAntiAliased) != 0);
    ++beginCount_;
}

void TextData::EndDraw() {
    if (beginCount_ == 0) {
        AssertFail("m_BeginCount", "dxdraw/dxfont", 236);
        return;
    }
    if (--beginCount_ == 0 && pFont) pFont->EndDraw(state_);
}

GlyphSize TextData::MeasureChar(char32_t ch) {
    GlyphSize size;
    if (!pFont) return size;
    size.height = pFont->Description().lfHeight;
    if (style_ & kTextProportional)
        size.advance = pFont->ProportionalAdvance(ch, (style_ & kTextAntiAliased) != 0);
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
        if (p) total += MeasureChar(ch).advance + charSpacing_;
    }
    return total;
}

int PutChar(DxSurface& surface, TextData& text, char32_t ch) {
    if (Notify(text, surface, kTextBeforeChar, ch) == 1) return 1;
    text.BeginDraw(&surface);
    const GlyphSize size = text.MeasureChar(ch);
    const std::int32_t stepX = size.advance + text.charSpacing_;
    const std::int32_t stepY = size.height + text.lineSpacing_;
    const RECT& box = text.box_;

    // A line feed ends the line by itself; it never wraps first.
    if (ch != kLineFeed && text.pen_.x + stepX > box.Width()) {
        text.pen_.y += stepY;
        text.pen_.x = 0;
        Notify(text, surface, kTextWrapped, ch);
    }
    if (text.pen_.y >= box.Height()) {
        if (Notify(text, surface, kTextScroll, 0) == 0) ScrollBoxUp(surface, box, stepY);
        text.pen_.y -= stepY;
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
        text.pen_.x = 0;
        text.pen_.y += size.height + text.lineSpacing_;
        Notify(text, surface, kTextNewline, kLineFeed);
        return 1;
    }

    if (!text.pFont) return 0;
    const std::uint32_t style = text.style_;
    const bool bold = style & kTextBold;
    const bool outline = style & (kTextOutline | kTextOutlineOnly);
    const std::int32_t x = text.box_.left + text.pen_.x;
    const std::int32_t y = text.box_.top + text.pen_.y;

    text.BeginDraw(&surface);
    const auto glyph = [&](std::int32_t gx, std::int32_t gy, std::uint32_t colour) {
        DrawGlyph(surface, text, gx, gy, ch, colour, size);
    };
    if (style & kTextShadow) {
        const std::uint32_t c = text.shadowColor_;
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
        const std::uint32_t c = text.outlineColor_;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (dx != 0 || dy != 0) glyph(x + dx, y + dy, c);
        if (bold)
            for (int dy = -1; dy <= 1; ++dy) glyph(x + 2, y + dy, c);
    }
    if (!(style & kTextOutlineOnly)) {
        glyph(x, y, text.faceColor_);
        if (bold) glyph(x + 1, y, text.faceColor_);
    }
    text.EndDraw();

    text.pen_.x += size.advance + text.charSpacing_;

    const std::int32_t w = size.advance + (bold ? 1 : 0) + ((style & kTextShadow) ? 1 : 0);
    const std::int32_t h = size.height + ((style & kTextShadow) ? 1 : 0);
    const RECT cell = outline ? RECT{x - 1, y - 1, x - 1 + w + 2, y - 1 + h + 2} : RECT{x, y, x + w, y + h};
    surface.AddDirtyRect(&cell);

    Notify(text, surface, kTextAfterChar, ch);
    return 1;
}

}  // namespace DxDraw
