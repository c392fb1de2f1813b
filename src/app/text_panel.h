// A half-transparent panel cut from the system image with a text view over it: the yes/no
// prompt, the notice and the story's choice menu are built from it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "app/message_window.h"
#include "app/owned_view.h"
#include "dxdraw/button_tracker.h"
#include "dxdraw/rect.h"

class ssGroup;

// Text drawn in the panels: 32 pixels, each display column half of that wide.
inline constexpr std::int32_t kPanelFontSize = 32;
inline constexpr std::uint32_t kPanelWhite = 0xFFFFFF;
inline constexpr std::uint32_t kPanelRed = 0xFF0000;

// The width a panel gives a text: its display columns at half the font size each.
std::int32_t PanelTextWidth(std::u16string_view text);

// Where a panel's pieces lie: its picture in the system image and its place under the parent,
// and the text view over it.
struct PanelLayout {
    RECT source;
    POINT at;
    POINT textAt;
    std::int32_t textWidth, textHeight;
    std::uint32_t textStyle;  // added to the view's own style
};

// The panel (at level 128) and its text view, under `parent` (none: nowhere) from construction
// until the object goes.
class TextPanel {
public:
    TextPanel(const PanelLayout& layout, ssGroup* parent);

    TextScript::DxMessView2& View() { return *view_; }
    // The settings block's face at the panel size.
    void SetFont();
    void Draw(std::int32_t x, std::int32_t y, std::u16string_view text, std::uint32_t colour);
    // The text at y 0 in the middle of the view, in white.
    void DrawCentred(std::u16string_view text);
    // Clears the view's rectangle of a text drawn at (x, y) and draws it again in `colour`.
    void Redraw(std::int32_t x, std::int32_t y, std::u16string_view text, std::uint32_t colour);

private:
    OwnedView<DxDraw::DxSprite> panel_;
    OwnedView<TextScript::DxMessView2> view_;
};

// Takes the font-change bit of ChangeMask while a panel is up, so that the panel draws anew with
// the new face; gives the bit back when the panel goes, so that the views behind rebuild too.
class FontChangeWatch {
public:
    FontChangeWatch() = default;
    ~FontChangeWatch();
    FontChangeWatch(const FontChangeWatch&) = delete;
    FontChangeWatch& operator=(const FontChangeWatch&) = delete;

    // Whether the font changed since the last call.
    bool Take();

private:
    bool seen_ = false;
};

// A panel whose lines the pointer lights (red, the others white) and a left click picks.
// Derived menus draw their lines; the menu draws everything anew when the font changes.
class PanelMenu {
public:
    PanelMenu(const PanelLayout& layout, ssGroup* parent) : panel_(layout, parent) {}
    virtual ~PanelMenu() = default;
    PanelMenu(const PanelMenu&) = delete;
    PanelMenu& operator=(const PanelMenu&) = delete;

    // Steps frames until a line is clicked; the index of that line.
    int Run();

protected:
    // Clears the view and draws every line.
    virtual void DrawAll() = 0;
    // Line i (nothing for -1) in the colour LineColour gives.
    virtual void DrawLine(int i) = 0;
    std::uint32_t LineColour(int i) const { return i == tracker_.current ? kPanelRed : kPanelWhite; }

    TextPanel panel_;
    std::vector<RECT> hits_;  // on the screen, one per line

private:
    FontChangeWatch fontChange_;
    ButtonTracker tracker_;
};
