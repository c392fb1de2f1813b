#include "screens/picture_buttons.h"

#include "app/frame_step.h"
#include "app/screen_sprite.h"

PictureButtons::PictureButtons(DxDraw::DxSurface& sheet, std::span<const PictureButton> table, std::uint32_t flags)
    : table_(table.begin(), table.end()) {
    for (const PictureButton& button : table_) {
        OwnedView<DxDraw::DxSprite>& sprite = sprites_.emplace_back(NewScreenSprite(&sheet, flags));
        sprite->SetSource(&button.normal);
        sprite->SetPosition(button.at.x, button.at.y);
        hits_.push_back(button.hit);
    }
}

void PictureButtons::SetImage(std::int32_t index, bool hover) {
    if (index < 0) return;
    const auto i = static_cast<std::size_t>(index);
    sprites_[i]->SetSource(hover ? &table_[i].hover : &table_[i].normal);
}

void PictureButtons::Reset() {
    for (std::size_t i = 0; i < sprites_.size(); ++i) SetImage(static_cast<std::int32_t>(i), false);
    tracker_.Reset();
    hovered_ = -1;
}

std::int32_t PictureButtons::Update() {
    const std::int32_t under =
        tracker_.Update(hits_.data(), static_cast<int>(hits_.size()), InputState.mouse_x, InputState.mouse_y, nullptr);
    if (under != hovered_) {
        SetImage(hovered_, false);
        SetImage(under, true);
        hovered_ = under;
    }
    return under;
}

std::int32_t PictureButtons::Clicked() const { return (InputState.pressed & kInputMouseLeft) ? hovered_ : -1; }

void PictureButtons::Show() {
    for (OwnedView<DxDraw::DxSprite>& sprite : sprites_) sprite->Show();
}

void PictureButtons::Hide() {
    for (OwnedView<DxDraw::DxSprite>& sprite : sprites_) sprite->Hide();
}
