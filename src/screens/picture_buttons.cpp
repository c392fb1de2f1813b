#include "screens/picture_buttons.h"

#include <utility>

#include "app/frame_step.h"
#include "app/screen_sprite.h"

namespace {

std::vector<OwnedView<DxDraw::DxSprite>> NewSprites(DxDraw::DxSurface& sheet, std::span<const PictureButton> table,
                                                    std::uint32_t flags) {
    std::vector<OwnedView<DxDraw::DxSprite>> sprites;
    for (const PictureButton& button : table) sprites.push_back(NewScreenSprite(&sheet, flags, nullptr, button.at));
    return sprites;
}

}  // namespace

PictureButtons::PictureButtons(DxDraw::DxSurface& sheet, std::span<const PictureButton> table, std::uint32_t flags)
    : PictureButtons(std::vector<PictureButton>(table.begin(), table.end()), NewSprites(sheet, table, flags)) {}

PictureButtons::PictureButtons(std::vector<PictureButton> table, std::vector<OwnedView<DxDraw::DxSprite>> sprites)
    : table_(std::move(table)), sprites_(std::move(sprites)) {
    for (std::size_t i = 0; i < table_.size(); ++i) {
        sprites_[i]->SetSource(&table_[i].normal);
        hits_.push_back(table_[i].hit);
    }
}

void PictureButtons::SetImage(std::int32_t index, bool hover) {
    if (index < 0) return;
    const auto i = static_cast<std::size_t>(index);
    // Setting the same image again would only draw the button anew.
    if (table_[i].hover == table_[i].normal) return;
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
