// The picture buttons of the title, the manual and the menus that stand on the title: sprites of
// one picture sheet, each showing its normal image and, while the pointer is over its hit
// rectangle, its hover image. Only the mouse picks them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "app/owned_view.h"
#include "dxdraw/button_tracker.h"
#include "dxdraw/dxsprite.h"
#include "dxdraw/texanim.h"

// A TEXANIM of the sheet's rectangle at (left, top), hot spot (0, 0).
constexpr TEXANIM SheetImage(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
    TEXANIM image;
    image.width = static_cast<std::uint16_t>(width);
    image.height = static_cast<std::uint16_t>(height);
    image.source = RECT{left, top, left + width, top + height};
    return image;
}

struct PictureButton {
    TEXANIM normal, hover;  // a hover image equal to the normal one: the sprite is left as it is
    POINT at;               // where the sprite stands on the screen
    RECT hit;               // where the pointer selects it (right and bottom edges outside)
};

class PictureButtons {
public:
    // The sprites, in table order (later ones draw over earlier ones), added to the screen view
    // with their normal images and these blend flags. The sheet must outlive the buttons.
    PictureButtons(DxDraw::DxSurface& sheet, std::span<const PictureButton> table, std::uint32_t flags);
    // Buttons on sprites the caller made, sprites[i] showing table[i], for buttons cut from more
    // than one sheet or drawn in another order than the pointer finds them (the first button in
    // the table whose hit rectangle holds the pointer is the one under it). The sprites hold
    // their surfaces and stand in the screen view already; each is given its normal image.
    PictureButtons(std::vector<PictureButton> table, std::vector<OwnedView<DxDraw::DxSprite>> sprites);

    // Every button back to its normal image and the tracker afresh: the next Update finds the
    // button under the pointer anew.
    void Reset();
    // Follows the pointer of this frame's input record: the button under it (-1 none) shows its
    // hover image, the one it left its normal image again. Returns the button under the pointer.
    std::int32_t Update();
    // The button under the pointer when the left button went down in this frame, else -1.
    std::int32_t Clicked() const;

    void Show();
    void Hide();
    std::size_t size() const { return sprites_.size(); }
    DxDraw::DxSprite& operator[](std::size_t i) { return *sprites_[i]; }

private:
    void SetImage(std::int32_t index, bool hover);

    std::vector<PictureButton> table_;
    std::vector<RECT> hits_;
    std::vector<OwnedView<DxDraw::DxSprite>> sprites_;
    ButtonTracker tracker_;
    std::int32_t hovered_ = -1;
};
