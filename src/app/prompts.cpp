#include "app/prompts.h"

#include <array>

#include "app/frame_step.h"
#include "app/message_window.h"
#include "app/owned_view.h"
#include "app/settings.h"
#include "app/system_image.h"
#include "dxdraw/button_tracker.h"
#include "dxdraw/screen_surface.h"
#include "lib/text_field.h"
#include "lib/utility.h"

namespace {

using DxDraw::DxSprite;
using TextScript::DxMessView2;

constexpr std::int32_t kFontSize = 32;
constexpr std::int32_t kColumnWidth = kFontSize / 2;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kPanelLevel = 128;

// Where a panel's pieces lie: its picture in the system image and its place on the screen, and
// the text view over it.
struct PanelLayout {
    RECT source;
    POINT at;
    POINT textAt;
    std::int32_t textWidth, textHeight;
    std::uint32_t textStyle;  // added to the view's own style
};

constexpr PanelLayout kPromptLayout{
    {72, 240, 656, 322}, {108, 148}, {40, 152}, 720, 126, DxDraw::kTextAntiAliased | DxDraw::kTextProportional};
constexpr PanelLayout kNoticeLayout{{72, 240, 656, 282}, {108, 340}, {40, 344}, 720, 42, DxDraw::kTextAntiAliased};

// The prompt's two labels: "はい" (index 0) and "いいえ" (index 1), where they are drawn in the
// text view and where the pointer hits them on the screen.
constexpr std::array<std::u16string_view, 2> kLabels{u"はい", u"いいえ"};
constexpr std::array<POINT, 2> kLabelAt{{{264, 42}, {360, 42}}};
constexpr std::array<std::int32_t, 2> kLabelHitLeft{304, 400};
constexpr std::int32_t kLabelHitTop = 190;
constexpr std::int32_t kLabelHitBottom = 230;
constexpr std::int32_t kLabelHeight = 32;
constexpr int kYes = 0;

// The width the prompt and the notice give a text: its columns at half the font size each.
std::int32_t TextWidth(std::u16string_view text) { return CountTextColumns(text) * kColumnWidth; }

// The panel and its text view, in the tree from construction until the object goes.
class TextPanel {
public:
    explicit TextPanel(const PanelLayout& layout) {
        TEXANIM source;
        source.width = static_cast<std::uint16_t>(layout.source.Width());
        source.height = static_cast<std::uint16_t>(layout.source.Height());
        source.source = layout.source;
        panel_.reset(new DxSprite(nullptr, &source, DxDraw::BLEND_SOURCE_ALPHA | DxDraw::kColumnFade));
        ShowSystemImage(*panel_);
        panel_->Blend().level = kPanelLevel;
        panel_->SetPosition(layout.at.x, layout.at.y);
        view_.reset(new DxMessView2(layout.textWidth, layout.textHeight));
        view_->SetPosition(layout.textAt.x, layout.textAt.y);
        view_->SetStyle(view_->GetStyle() | layout.textStyle);
        SetFont();
        if (ScreenSurface) {
            ScreenSurface->Add(panel_.get());
            ScreenSurface->Add(view_.get());
        }
    }

    DxMessView2& View() { return *view_; }
    void SetFont() { view_->SetFont(kFontSize, 0, FieldText(SettingsBlock.font_name)); }
    void Draw(std::int32_t x, std::int32_t y, std::u16string_view text, std::uint32_t colour) {
        view_->SetPen(x, y);
        view_->DrawText(0, colour, 0, text, nullptr, 0);
    }
    // The text at y 0 in the middle of the view.
    void DrawCentred(std::u16string_view text) { Draw((view_->GetWidth() - TextWidth(text)) / 2, 0, text, kWhite); }

private:
    OwnedView<DxSprite> panel_;
    OwnedView<DxMessView2> view_;
};

// Takes the font-change bit of ChangeMask while a panel is up, so that the panel draws anew with
// the new face; gives the bit back when the panel goes, so that the views behind rebuild too.
class FontChangeWatch {
public:
    FontChangeWatch() = default;
    ~FontChangeWatch() {
        if (seen_) ChangeMask |= kChangeRebuildViews;
    }
    FontChangeWatch(const FontChangeWatch&) = delete;
    FontChangeWatch& operator=(const FontChangeWatch&) = delete;

    // Whether the font changed since the last call.
    bool Take() {
        if (!(ChangeMask & kChangeRebuildViews)) return false;
        ChangeMask &= ~kChangeRebuildViews;
        seen_ = true;
        return true;
    }

private:
    bool seen_ = false;
};

class YesNoPrompt {
public:
    explicit YesNoPrompt(std::u16string_view question) : panel_(kPromptLayout), question_(question) {
        for (std::size_t i = 0; i < kLabels.size(); ++i)
            hits_[i] = RECT{kLabelHitLeft[i], kLabelHitTop, kLabelHitLeft[i] + TextWidth(kLabels[i]), kLabelHitBottom};
        DrawAll();
    }

    // Steps frames until a label is clicked; the index of that label.
    int Run() {
        for (;;) {
            StepFrame();
            if (fontChange_.Take()) {
                panel_.SetFont();
                DrawAll();
            }
            tracker_.Update(hits_.data(), static_cast<int>(hits_.size()), InputState.mouse_x, InputState.mouse_y,
                            nullptr);
            if (tracker_.changed) {
                DrawLabel(tracker_.previous);
                DrawLabel(tracker_.current);
            }
            if (tracker_.current >= 0 && (InputState.pressed & kInputMouseLeft)) return tracker_.current;
        }
    }

private:
    void DrawAll() {
        panel_.View().Clear(0);
        panel_.DrawCentred(question_);
        for (int i = 0; i < static_cast<int>(kLabels.size()); ++i) DrawLabel(i);
    }
    // Label i (nothing for -1) red while the pointer is on it, else white, on a cleared area.
    void DrawLabel(int i) {
        if (i < 0) return;
        const auto index = static_cast<std::size_t>(i);
        const POINT at = kLabelAt[index];
        const RECT area{at.x, at.y, at.x + TextWidth(kLabels[index]), at.y + kLabelHeight};
        panel_.View().FillRect(&area, 0, 0);
        panel_.Draw(at.x, at.y, kLabels[index], i == tracker_.current ? kRed : kWhite);
    }

    TextPanel panel_;
    FontChangeWatch fontChange_;
    std::u16string_view question_;
    std::array<RECT, kLabels.size()> hits_{};
    ButtonTracker tracker_;
};

}  // namespace

bool ConfirmYesNo(std::u16string_view question) { return YesNoPrompt(question).Run() == kYes; }

void ShowNotice(std::u16string_view text, std::uint32_t milliseconds) {
    TextPanel panel(kNoticeLayout);
    panel.DrawCentred(text);
    {
        FontChangeWatch fontChange;
        while (InputState.held) {
            StepFrame();
            if (fontChange.Take()) {
                panel.SetFont();
                panel.View().Clear(0);
                panel.DrawCentred(text);
            }
        }
    }
    WaitMs(milliseconds, 1);
}
