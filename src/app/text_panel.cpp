#include "app/text_panel.h"

#include "app/frame_step.h"
#include "app/settings.h"
#include "app/system_image.h"
#include "lib/text_field.h"
#include "lib/utility.h"

namespace {

constexpr std::uint32_t kPanelLevel = 128;

}  // namespace

std::int32_t PanelTextWidth(std::u16string_view text) { return CountTextColumns(text) * (kPanelFontSize / 2); }

TextPanel::TextPanel(const PanelLayout& layout, ssGroup* parent) {
    TEXANIM source;
    source.width = static_cast<std::uint16_t>(layout.source.Width());
    source.height = static_cast<std::uint16_t>(layout.source.Height());
    source.source = layout.source;
    panel_.reset(new DxDraw::DxSprite(nullptr, &source, DxDraw::BLEND_SOURCE_ALPHA | DxDraw::kColumnFade));
    ShowSystemImage(*panel_);
    panel_->SetLevel(kPanelLevel);
    panel_->SetPosition(layout.at.x, layout.at.y);
    view_.reset(new TextScript::DxMessView2(layout.textWidth, layout.textHeight));
    view_->SetPosition(layout.textAt.x, layout.textAt.y);
    view_->SetStyle(view_->GetStyle() | layout.textStyle);
    SetFont();
    if (parent) {
        parent->Add(panel_.get());
        parent->Add(view_.get());
    }
}

void TextPanel::SetFont() { view_->SetFont(kPanelFontSize, 0, FieldText(SettingsBlock.font_name)); }

void TextPanel::Draw(std::int32_t x, std::int32_t y, std::u16string_view text, std::uint32_t colour) {
    view_->SetPen(x, y);
    view_->DrawText(0, colour, 0, text, nullptr, 0);
}

void TextPanel::DrawCentred(std::u16string_view text) {
    Draw((view_->GetWidth() - PanelTextWidth(text)) / 2, 0, text, kPanelWhite);
}

void TextPanel::Redraw(std::int32_t x, std::int32_t y, std::u16string_view text, std::uint32_t colour) {
    const RECT area{x, y, x + PanelTextWidth(text), y + kPanelFontSize};
    view_->FillRect(&area, 0, 0);
    Draw(x, y, text, colour);
}

FontChangeWatch::~FontChangeWatch() {
    if (seen_) ChangeMask |= kChangeRebuildViews;
}

bool FontChangeWatch::Take() {
    if (!(ChangeMask & kChangeRebuildViews)) return false;
    ChangeMask &= ~kChangeRebuildViews;
    seen_ = true;
    return true;
}

int PanelMenu::Run() {
    for (;;) {
        StepFrame();
        if (fontChange_.Take()) {
            panel_.SetFont();
            DrawAll();
        }
        tracker_.Update(hits_.data(), static_cast<int>(hits_.size()), InputState.mouse_x, InputState.mouse_y, nullptr);
        if (tracker_.changed) {
            DrawLine(tracker_.previous);
            DrawLine(tracker_.current);
        }
        if (tracker_.current >= 0 && (InputState.pressed & kInputMouseLeft)) return tracker_.current;
    }
}
