#include "screens/extras_menu.h"

#include <array>

#include "app/sound_commands.h"
#include "app/system_config.h"
#include "dxdraw/button_tracker.h"
#include "screens/cg_album.h"
#include "screens/scene_play.h"
#include "screens/screen_sprite.h"

namespace {

constexpr int kButtonWidth = 248;
constexpr int kButtonHeight = 40;
constexpr int kRowPitch = 48;  // the title menu's pitch: 40 pixels of button, 8 between

constexpr TEXANIM SheetPart(int left, int top) {
    TEXANIM part;
    part.width = kButtonWidth;
    part.height = kButtonHeight;
    part.source = RECT{left, top, left + kButtonWidth, top + kButtonHeight};
    return part;
}

struct ExtrasButton {
    TEXANIM normal, hover;
    int row;  // the place in the title menu's column
};

enum : int { kAlbumButton = 0, kReplayButton = 1, kBackButton = 2, kExtrasButtonCount = 3 };

// The extras column of the title sheet: hover images lie 288 rows below their normal images.
constexpr ExtrasButton ExtrasButtonTable[kExtrasButtonCount] = {
    {SheetPart(512, 608), SheetPart(512, 896), 0},
    {SheetPart(512, 656), SheetPart(512, 944), 1},
    {SheetPart(512, 848), SheetPart(512, 1136), 5},
};

using Buttons = std::array<OwnedView<DxDraw::DxSprite>, kExtrasButtonCount>;

// The menu and the title's background out of sight while a screen of the extras runs, and back
// however it ends.
class HiddenMenu {
public:
    HiddenMenu(Buttons& buttons, DxDraw::DxSprite& background) : buttons_(buttons), background_(background) {
        for (auto& button : buttons_) button->Hide();
        background_.Hide();
    }
    ~HiddenMenu() {
        background_.Show();
        for (auto& button : buttons_) button->Show();
    }
    HiddenMenu(const HiddenMenu&) = delete;
    HiddenMenu& operator=(const HiddenMenu&) = delete;

private:
    Buttons& buttons_;
    DxDraw::DxSprite& background_;
};

// The button chosen: a left click on one, or back for the right button anywhere.
int ChooseButton(Buttons& buttons, const RECT (&hits)[kExtrasButtonCount]) {
    for (int i = 0; i < kExtrasButtonCount; ++i) buttons[i]->SetSource(&ExtrasButtonTable[i].normal);
    ButtonTracker tracker;
    int hovered = -1;
    for (;;) {
        StepFrame();
        const int s = tracker.Update(hits, kExtrasButtonCount, InputState.mouse_x, InputState.mouse_y, nullptr);
        if (s != hovered) {
            if (hovered >= 0) buttons[hovered]->SetSource(&ExtrasButtonTable[hovered].normal);
            if (s >= 0) buttons[s]->SetSource(&ExtrasButtonTable[s].hover);
            hovered = s;
        }
        if (s >= 0 && (InputState.pressed & kInputMouseLeft)) return s;
        if (InputState.pressed & kInputMouseRight) return kBackButton;
    }
}

}  // namespace

void RunExtras(DxDraw::DxSurface& sheet, DxDraw::DxSprite& background) {
    const int x = SystemConfig.TitleMenuPos[0], y = SystemConfig.TitleMenuPos[1];
    Buttons buttons;
    RECT hits[kExtrasButtonCount];
    for (int i = 0; i < kExtrasButtonCount; ++i) {
        const int top = y + kRowPitch * ExtrasButtonTable[i].row;
        buttons[i] = AddScreenSprite(&sheet, &ExtrasButtonTable[i].normal, x, top);
        hits[i] = RECT{x, top, x + kButtonWidth, top + kButtonHeight};
    }
    for (;;) {
        const int chosen = ChooseButton(buttons, hits);
        if (chosen == kBackButton) return;
        const HiddenMenu hidden(buttons, background);
        if (chosen == kReplayButton) {
            RunScenePlay();
        } else {
            RunCgAlbum();
            // The album played its own music.
            PlayStreamSound(kMusicChannel, SystemConfig.TitleBgmName, false);
        }
    }
}
