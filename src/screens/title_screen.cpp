#include "screens/title_screen.h"

#include <array>
#include <optional>

#include "app/cg_image.h"
#include "app/frame_step.h"
#include "app/game_cycle.h"
#include "app/game_data.h"
#include "app/game_events.h"
#include "app/prompts.h"
#include "app/screen_sprite.h"
#include "app/script_helpers.h"
#include "app/sound_commands.h"
#include "app/system_config.h"
#include "lib/report.h"
#include "lib/scope_guard.h"
#include "screens/manual_screen.h"
#include "screens/picture_buttons.h"
#include "screens/save_load_dialog.h"
#include "screens/save_store.h"

namespace {

using DxDraw::DxSprite;

enum Choice : std::int32_t { kManual, kNewGame, kLoad, kSettings, kExtras, kQuit, kChoiceCount };

constexpr std::int32_t kResultQuit = 0, kResultNewGame = 1, kResultTitleAgain = -1, kResultFirstSlot = 2;
constexpr TEXANIM kBackgroundImage = SheetImage(0, 0, 800, 600);
// Brightness (level / 256 of each colour) while fading; the plain copy once the title is up.
constexpr std::uint32_t kFadeFlags = DxDraw::kColumnBrightness;
constexpr std::int32_t kLevelStep = 17;  // 16 frames from 0 to 255
constexpr std::int32_t kLevelFull = 255;
// The page number whose read bit the game cycle sets once the prologue was read through.
constexpr std::int32_t kPrologueReadPage = kSeenPageCount - 1;

std::array<PictureButton, kChoiceCount> ButtonTable() {
    std::array<PictureButton, kChoiceCount> table;
    for (std::int32_t i = 0; i < kChoiceCount; ++i) table[static_cast<std::size_t>(i)] = TitleMenuButton(0, i);
    return table;
}

// What a request that ends the title stands for.
std::int32_t ResultOfRequest(const ScriptException& request) {
    return request.code == ScriptException::kLoadSlot ? RequestedLoadSlot + kResultFirstSlot : kResultTitleAgain;
}

// The sheet and the title's seven sprites, from black; gone with the object.
class TitleView {
public:
    TitleView()
        : sheet_(LoadCgImage(ScriptArchive.Get(), u"title/title", false, false)),
          background_(NewScreenSprite(sheet_.Get(), kFadeFlags)),
          buttons_(*sheet_.Get(), ButtonTable(), kFadeFlags) {
        background_->SetSource(&kBackgroundImage);
        SetLevels(kFadeFlags, 0);
    }

    void FadeIn() {
        for (std::int32_t level = 0; level <= kLevelFull; level += kLevelStep) {
            SetLevels(kFadeFlags, level);
            StepFrame();
        }
        SetLevels(DxDraw::kColumnCopy, kLevelFull);
    }
    void FadeOut() {
        for (std::int32_t level = kLevelFull; level >= 0; level -= kLevelStep) {
            SetLevels(kFadeFlags, level);
            StepFrame();
        }
    }

    DxDraw::DxSurface& sheet() { return *sheet_.Get(); }
    DxSprite& background() { return *background_; }
    PictureButtons& buttons() { return buttons_; }

private:
    void SetLevels(std::uint32_t flags, std::int32_t level) {
        SetBlendLevel(*background_, flags, level);
        for (std::size_t i = 0; i < buttons_.size(); ++i) SetBlendLevel(buttons_[i], flags, level);
    }

    ComPtr<DxDraw::DxSurface> sheet_;
    OwnedView<DxSprite> background_;
    PictureButtons buttons_;
};

// The menu waiting for a click: every button back to its normal image, then the button clicked.
std::int32_t WaitForChoice(PictureButtons& buttons) {
    buttons.Reset();
    PostGameEvent("title");
    for (;;) {
        StepFrame();
        buttons.Update();
        const std::int32_t clicked = buttons.Clicked();
        if (clicked >= 0) return clicked;
    }
}

// A sub-screen over the background, the six buttons hidden while it runs.
template <class Screen>
void WithButtonsHidden(PictureButtons& buttons, Screen&& screen) {
    buttons.Hide();
    screen();
}

// The load dialog: the result for the slot chosen, or nothing when cancelled, when the session
// plays on without its save file (the player is told) or when the slot would not load (shown).
std::optional<std::int32_t> ChooseSlotToLoad(const GameCycleServices& services) {
    if (services.SavesOff()) {
        ShowSavesOffNotice();
        return std::nullopt;
    }
    if (!services.modal) {
        DebugPrintf(u"RunTitle: no modal layer, the load dialog cannot open\n");
        return std::nullopt;
    }
    const std::int32_t slot = services.save_load_dialog
                                  ? services.save_load_dialog(*services.modal, SaveLoadDialog::kLoadMode)
                                  : OpenCheckedSaveLoadDialog(*services.modal, SaveLoadDialog::kLoadMode);
    if (slot == -1) return std::nullopt;
    return slot + kResultFirstSlot;
}

// The menu, with the sub-screens it runs over the background: the result of the button chosen.
std::int32_t RunMenu(TitleView& view, const GameCycleServices& services, const TitleScreens& screens) {
    PictureButtons& buttons = view.buttons();
    for (;;) {
        switch (WaitForChoice(buttons)) {
            case kManual: WithButtonsHidden(buttons, ManualScreen); break;
            case kNewGame:
                SkipPrologue = IsSeenFlag(kPrologueReadPage) && ConfirmYesNo(u"プロローグをスキップしますか？") ? 1 : 0;
                return kResultNewGame;
            case kLoad:
                if (const std::optional<std::int32_t> load = ChooseSlotToLoad(services)) return *load;
                break;
            case kSettings:
                if (!screens.settings)
                    DebugPrintf(u"RunTitle: the settings menu is not installed\n");
                else if (!services.modal)
                    DebugPrintf(u"RunTitle: no modal layer, the settings menu cannot open\n");
                else
                    WithButtonsHidden(buttons, [&] { screens.settings(*services.modal, view.sheet()); });
                break;
            case kExtras:
                if (!screens.extras)
                    DebugPrintf(u"RunTitle: the extras menu is not installed\n");
                else
                    WithButtonsHidden(buttons, [&] { screens.extras(view.sheet(), view.background()); });
                break;
            default: return kResultQuit;
        }
        buttons.Show();
    }
}

// Runs a step of the title; a request that arrives in it ends the step and gives the title's
// result. True when the step ran to its end.
template <class Step>
bool RunStep(std::int32_t& result, Step&& step) {
    try {
        step();
        return true;
    } catch (const ScriptException& request) {
        result = ResultOfRequest(request);
        return false;
    }
}

}  // namespace

PictureButton TitleMenuButton(std::int32_t sheet_left, std::int32_t row) {
    // The menu's place comes from config.xml: the rows below it are held within 32 bits.
    const RECT hit = PlacedRect(SystemConfig.TitleMenuPos[0],
                                std::int64_t{SystemConfig.TitleMenuPos[1]} + std::int64_t{kTitleButtonPitch} * row,
                                kTitleButtonWidth, kTitleButtonHeight);
    const std::int32_t sheet_top = kTitleButtonsTop + kTitleButtonPitch * row;
    return {SheetImage(sheet_left, sheet_top, kTitleButtonWidth, kTitleButtonHeight),
            SheetImage(sheet_left, sheet_top + kTitleHoverOffset, kTitleButtonWidth, kTitleButtonHeight),
            {hit.left, hit.top},
            hit};
}

std::int32_t RunTitle(const GameCycleServices& services, const TitleScreens& screens) {
    const std::u16string& music = SystemConfig.TitleBgmName;
    // A configuration without title music leaves channel 0 silent rather than asking for "bgm/.ogg".
    if (!music.empty()) PlayStreamSound(kMusicChannel, music, false);
    // The title music ends whatever the title ends with, an error included.
    const ScopeExit stop_music([] { StopMusic(); });
    TitleView view;
    std::int32_t result = kResultTitleAgain;
    // A request during the fade-in ends it and the title at once; one in the menu still fades out,
    // and one during the fade-out ends that. The view goes on every way out.
    if (!RunStep(result, [&] { view.FadeIn(); })) return result;
    RunStep(result, [&] { result = RunMenu(view, services, screens); });
    RunStep(result, [&] { view.FadeOut(); });
    return result;
}
