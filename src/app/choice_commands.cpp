#include "app/choice_commands.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/app_script.h"
#include "app/cg_image.h"
#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/game_events.h"
#include "app/message_window.h"
#include "app/picture_transitions.h"
#include "app/scene_state.h"
#include "app/scene_views.h"
#include "app/screen_sprite.h"
#include "app/settings.h"
#include "app/story_commands.h"
#include "app/text_panel.h"
#include "dxdraw/button_tracker.h"
#include "dxdraw/screen_surface.h"
#include "lib/scope_guard.h"
#include "lib/text.h"
#include "lib/text_field.h"
#include "script/variables.h"

namespace {

using DxDraw::DxSprite;
using TextScript::ScriptError2;
using TextScript::ScriptStateNode;

constexpr int kMenuLayer = 23;
constexpr std::uint32_t kButtonDimmed = 128;
constexpr std::uint32_t kFadeBlend = DxDraw::BLEND_SOURCE_ALPHA | DxDraw::kColumnFade;

// A choice stops skipping when the settings ask for it; auto-advance stops only when skip was
// off, so that one choice never ends both.
void CancelSkipAtChoice() {
    if (!SettingsBlock.text_skip2) return;
    MessageWindow* window = GameMessageWindow;
    if (SkipMode) {
        SkipMode = 0;
        if (window) window->Button(MessageWindow::kButtonSkip).SetLevel(kButtonDimmed);
    } else if (AutoMode) {
        AutoMode = 0;
        if (window) window->Button(MessageWindow::kButtonAuto).SetLevel(kButtonDimmed);
    }
}

ScriptStateGroup_App& AppGroup(ScriptStateNode_App& node) { return static_cast<ScriptStateGroup_App&>(*node.group()); }

// The page node before `label`; a label that does not exist is a script error of `line`.
ScriptStateNode* PageBeforeLabel(const ScriptStateGroup_App& group, std::u16string_view label, std::uint32_t line) {
    ScriptStateNode* page = TextScript::FindLabelNode(group, label);
    if (!page) throw ScriptError2(line, u"ラベルが見つかりません。[%s]", label);
    PostGameEvent("jump", {label});
    return page;
}

// ---- SEL ----

constexpr std::size_t kMaxChoices = 3;
constexpr std::int32_t kChoiceLineHeight = 42;
constexpr std::int32_t kChoiceViewWidth = 720;
// Lines narrower than this get the full-width hit band.
constexpr std::int32_t kNarrowLine = 416;
constexpr RECT kNarrowHitBand{192, 148, 608, 188};
constexpr POINT kChoiceViewAt{40, 152};
constexpr POINT kChoicePanelAt{108, 148};
// The panel's picture grows by one line per item.
constexpr std::array<std::int32_t, kMaxChoices> kChoicePanelBottom{280, 322, 364};

struct ChoiceItem {
    std::u16string_view label, text;
    std::int32_t x, y;
    RECT hit;
};

std::vector<ChoiceItem> CollectChoices(const ScriptStateNode& first) {
    std::vector<ChoiceItem> items;
    for (const ScriptStateNode* node = &first; node && node->code == ScriptStateNode::kSel; node = node->next()) {
        if (items.size() == kMaxChoices)
            throw ScriptError2(first.line, u"選択肢は%d個までです。", static_cast<int>(kMaxChoices));
        ChoiceItem item{node->Arg(0), node->Arg(1), 0, 0, {}};
        const std::int32_t width = PanelTextWidth(item.text);
        item.x = (kChoiceViewWidth - width) / 2;
        item.y = kChoiceLineHeight * static_cast<std::int32_t>(items.size());
        item.hit = width < kNarrowLine ? kNarrowHitBand : RECT{item.x + 40, 148, item.x + 40 + width, 188};
        item.hit.top += item.y;
        item.hit.bottom += item.y;
        items.push_back(item);
    }
    return items;
}

class ChoiceMenu : public PanelMenu {
public:
    explicit ChoiceMenu(std::vector<ChoiceItem> items)
        : PanelMenu(Layout(items.size()), SceneLayers[kMenuLayer]), items_(std::move(items)) {
        for (const ChoiceItem& item : items_) hits_.push_back(item.hit);
        DrawAll();
    }

private:
    static PanelLayout Layout(std::size_t count) {
        const RECT source{72, 240, 656, kChoicePanelBottom[count - 1]};
        return {source, kChoicePanelAt, kChoiceViewAt, kChoiceViewWidth, 126, DxDraw::kTextAntiAliased};
    }
    // After a font change every line comes back white, the pointed one too, until the pointer
    // moves to another line.
    void DrawAll() override {
        panel_.View().Clear(0);
        for (const ChoiceItem& item : items_) panel_.Redraw(item.x, item.y, item.text, kPanelWhite);
    }
    // Item i (nothing for -1).
    void DrawLine(int i) override {
        if (i < 0) return;
        const ChoiceItem& item = items_[static_cast<std::size_t>(i)];
        panel_.Redraw(item.x, item.y, item.text, LineColour(i));
    }

    std::vector<ChoiceItem> items_;
};

// ---- SSL ----

constexpr std::int32_t kButtonTop = 197;
constexpr std::int32_t kButtonBottom = 497;
constexpr std::int32_t kCaptionY = 284;
constexpr std::int32_t kCaptionHeight = 32;
constexpr std::int32_t kCaptionFadeStep = 15;
constexpr std::uint32_t kCaptionShowMs = 2000;
constexpr std::uint32_t kCaptionGoneMs = 500;
constexpr std::uint32_t kWaitEndsOnDecideOrSkip = 3;

struct TurnButton {
    std::u16string_view name;
    std::int32_t left, right, result;
};
constexpr TurnButton kButtonA{u"A", 36, 206, 1}, kButtonB{u"B", 222, 392, 2}, kButtonC{u"C", 408, 578, 3},
    kButtonD{u"D", 594, 764, 4}, kButtonAB{u"AB", 36, 392, 5}, kButtonCD{u"CD", 408, 764, 6};

// A and B share one button once either was visited, and so do C and D.
std::vector<TurnButton> TurnLayout() {
    const auto visited = [](std::u16string_view a, std::u16string_view b) {
        return TextScript::EvaluateOperand(a, 0) != 0 || TextScript::EvaluateOperand(b, 0) != 0;
    };
    std::vector<TurnButton> buttons;
    if (visited(u"A010", u"B010")) {
        buttons.push_back(kButtonAB);
    } else {
        buttons.push_back(kButtonA);
        buttons.push_back(kButtonB);
    }
    if (visited(u"C010", u"D010")) {
        buttons.push_back(kButtonCD);
    } else {
        buttons.push_back(kButtonC);
        buttons.push_back(kButtonD);
    }
    return buttons;
}

ComPtr<DxDraw::DxSurface> LoadPicture(std::u16string_view name) {
    return LoadCgImage(ScriptArchive.Get(), name, false, false);
}

// "ターン" and the turn number, counted from 1.
std::u16string TurnCaption(std::int32_t turn) {
    char16_t caption[16];
    FormatW(caption, std::size(caption), u"ターン%2d", turn + 1);
    return caption;
}

// The caption over "turnbg": faded in, shown two seconds, faded out.
void ShowTurnCaption(std::u16string_view caption) {
    ComPtr<DxDraw::DxSurface> background = LoadPicture(u"turnbg");
    OwnedView<DxSprite> back = NewScreenSprite(background.Get(), kFadeBlend);
    OwnedView<TextScript::DxMessView2> text(new TextScript::DxMessView2(PanelTextWidth(caption), kCaptionHeight));
    text->SetPosition((800 - text->GetWidth()) / 2, kCaptionY);
    text->SetStyle(text->GetStyle() | DxDraw::kTextAntiAliased);
    text->SetFont(kPanelFontSize, 0, FieldText(SettingsBlock.font_name));
    text->SetBlendFlags(kFadeBlend);
    text->SetPen(0, 0);
    text->DrawText(0, kPanelWhite, 0, caption, nullptr, 0);
    if (ScreenSurface) ScreenSurface->Add(text.get());
    const auto show = [&](std::int32_t level) {
        back->SetLevel(static_cast<std::uint32_t>(level));
        text->SetLevel(static_cast<std::uint32_t>(level));
        StepFrame();
    };
    for (std::int32_t a = 0; a <= 255; a += kCaptionFadeStep) show(a);
    WaitMs(kCaptionShowMs, kWaitEndsOnDecideOrSkip);
    for (std::int32_t a = 0; a <= 255; a += kCaptionFadeStep) show(255 - a);
    WaitMs(kCaptionGoneMs, kWaitEndsOnDecideOrSkip);
}

// The buttons over the selection background until one is clicked; its result.
std::int32_t ChooseTurn(const std::vector<TurnButton>& layout) {
    struct Button {
        ComPtr<DxDraw::DxSurface> normal, pointed;
        OwnedView<DxSprite> sprite;
    };
    std::vector<Button> buttons;
    std::vector<RECT> hits;
    for (const TurnButton& b : layout) {
        const std::u16string base = u"select/SEL_" + std::u16string(b.name);
        Button& button = buttons.emplace_back();
        button.normal = LoadPicture(base + u"_0");
        button.pointed = LoadPicture(base + u"_1");
        button.sprite = NewScreenSprite(button.normal.Get(), DxDraw::BLEND_SOURCE_ALPHA);
        button.sprite->SetPosition(b.left, kButtonTop);
        hits.push_back(RECT{b.left, kButtonTop, b.right, kButtonBottom});
    }
    ButtonTracker tracker;
    for (;;) {
        StepFrame();
        tracker.Update(hits.data(), static_cast<int>(hits.size()), InputState.mouse_x, InputState.mouse_y, nullptr);
        if (tracker.changed) {
            if (tracker.previous >= 0) {
                Button& left = buttons[static_cast<std::size_t>(tracker.previous)];
                left.sprite->SetSurface(left.normal.Get());
            }
            if (tracker.current >= 0) {
                Button& entered = buttons[static_cast<std::size_t>(tracker.current)];
                entered.sprite->SetSurface(entered.pointed.Get());
            }
        }
        if (tracker.current >= 0 && (InputState.pressed & kInputMouseLeft))
            return layout[static_cast<std::size_t>(tracker.current)].result;
    }
}

}  // namespace

TextScript::ScriptStateNode* ExecuteSel(ScriptStateNode_App& node) {
    std::vector<ChoiceItem> items = CollectChoices(node);
    CancelSkipAtChoice();
    if (GameMessageWindow) GameMessageWindow->Show();
    CommitPicture();
    const StoryMenuOffer offer(AppGroup(node));
    std::u16string offered;
    for (const ChoiceItem& item : items) offered += (offered.empty() ? u"" : u"|") + std::u16string(item.text);
    PostGameEvent("choice", {offered});
    const int chosen = ChoiceMenu(items).Run();
    PostGameEvent("chose", {Utf8ToUtf16(std::to_string(chosen))});
    ScriptStateGroup_App& group = AppGroup(node);
    if (ScriptStateNode* jump = TakeDebugJump(node)) return jump;
    return PageBeforeLabel(group, items[static_cast<std::size_t>(chosen)].label, node.line);
}

TextScript::ScriptStateNode* ExecuteSsl(ScriptStateNode_App& node) {
    std::optional<StoryMenuOffer> offer(std::in_place, AppGroup(node));
    CancelSkipAtChoice();
    if (GameMessageWindow) GameMessageWindow->Hide();
    MessagePending = 0;
    FadeToBlack();
    // From here the picture is black, whichever way the selection ends.
    CurrentPicture.mode = 0;
    CurrentChl.mode = 0;
    std::int32_t choice = 0;
    {
        ComPtr<DxDraw::DxSurface> selection = LoadPicture(u"select/selbg");
        DxDraw::DxSurface* picture = PictureSprite ? PictureSprite->GetSurface() : nullptr;
        if (picture) {
            DxDraw::BlendParams copy;
            copy.flags = DxDraw::kColumnCopy;
            picture->Blit(0, 0, selection.Get(), nullptr, nullptr, &copy);
            PictureSprite->Hide();
        }
        const ScopeExit restore_picture([picture] {
            if (!picture) return;
            picture->FillRect(nullptr, 0x000000, 255);
            PictureSprite->Invalidate(DxDraw::kDirtyContents);
            PictureSprite->Show();
        });
        const std::u16string caption = TurnCaption(TextScript::EvaluateOperand(u"TURN", 0));
        ShowTurnCaption(caption);
        const OwnedView<DxSprite> background = NewScreenSprite(selection.Get(), 0);
        const std::vector<TurnButton> layout = TurnLayout();
        // Offered once the buttons take clicks: the caption, then the buttons from the left.
        std::u16string offered = caption;
        for (const TurnButton& button : layout) offered += u"|" + std::u16string(button.name);
        PostGameEvent("choice", {offered});
        choice = ChooseTurn(layout);
    }
    offer.reset();
    PostGameEvent("turn", {Utf8ToUtf16(std::to_string(choice))});
    ScriptStateGroup_App& group = AppGroup(node);
    if (ScriptStateNode* jump = TakeDebugJump(node)) return jump;
    // The group tells of the table's jump.
    return TextScript::JumpThroughTables(group, choice);
}
