#include "app/prompts.h"

#include <array>

#include "app/frame_step.h"
#include "app/game_events.h"
#include "app/text_panel.h"
#include "dxdraw/screen_surface.h"
#include "lib/report.h"
#include "lib/text.h"

namespace {

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
constexpr int kYes = 0;

class YesNoPrompt : public PanelMenu {
public:
    explicit YesNoPrompt(std::u16string_view question) : PanelMenu(kPromptLayout, ScreenSurface), question_(question) {
        for (std::size_t i = 0; i < kLabels.size(); ++i)
            hits_.push_back(
                RECT{kLabelHitLeft[i], kLabelHitTop, kLabelHitLeft[i] + PanelTextWidth(kLabels[i]), kLabelHitBottom});
        DrawAll();
    }

protected:
    void DrawAll() override {
        panel_.View().Clear(0);
        panel_.DrawCentred(question_);
        for (int i = 0; i < static_cast<int>(kLabels.size()); ++i) DrawLine(i);
    }
    // Label i (nothing for -1).
    void DrawLine(int i) override {
        if (i < 0) return;
        const auto index = static_cast<std::size_t>(i);
        panel_.Redraw(kLabelAt[index].x, kLabelAt[index].y, kLabels[index], LineColour(i));
    }

    std::u16string_view question_;
};

}  // namespace

bool ConfirmYesNo(std::u16string_view question) { return YesNoPrompt(question).Run() == kYes; }

constexpr std::uint32_t kSaveNoticeMs = 2000;

void ShowSaveNotice(bool stored) { ShowNotice(stored ? u"セーブしました" : u"セーブできませんでした", kSaveNoticeMs); }

// One short line: the notice panel holds no more.
void ShowSavesOffNotice() { ShowNotice(u"セーブファイルが使えません", kSaveNoticeMs); }

void ShowLoadFailure(std::u16string_view reason) {
    ShowMessage(u"ロード", FormatString(u"ロードできませんでした。\n%s", reason), kMbOk | kMbIconStop);
}

std::u16string UnresumableSlotReason(std::int32_t number) {
    return FormatString(u"セーブスロット %d が再開するページがシナリオにありません", number);
}

void ShowNotice(std::u16string_view text, std::uint32_t milliseconds) {
    PostGameEvent("notice", {text});
    TextPanel panel(kNoticeLayout, ScreenSurface);
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
