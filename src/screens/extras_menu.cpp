#include "screens/extras_menu.h"

#include <array>

#include "app/frame_step.h"
#include "app/sound_commands.h"
#include "app/system_config.h"
#include "screens/cg_album.h"
#include "screens/picture_buttons.h"
#include "screens/scene_play.h"
#include "screens/title_screen.h"

namespace {

enum : int { kAlbumButton = 0, kReplayButton = 1, kBackButton = 2, kExtrasButtonCount = 3 };

// The extras column of the title sheet, in the title menu's rows of the album, the replay and back.
constexpr std::int32_t kExtrasSheetLeft = 512;
std::array<PictureButton, kExtrasButtonCount> ButtonTable() {
    return {TitleMenuButton(kExtrasSheetLeft, 0), TitleMenuButton(kExtrasSheetLeft, 1),
            TitleMenuButton(kExtrasSheetLeft, 5)};
}

// The menu and the title's background out of sight while a screen of the extras runs, and back
// however it ends.
class HiddenMenu {
public:
    HiddenMenu(PictureButtons& buttons, DxDraw::DxSprite& background) : buttons_(buttons), background_(background) {
        buttons_.Hide();
        background_.Hide();
    }
    ~HiddenMenu() {
        background_.Show();
        buttons_.Show();
    }
    HiddenMenu(const HiddenMenu&) = delete;
    HiddenMenu& operator=(const HiddenMenu&) = delete;

private:
    PictureButtons& buttons_;
    DxDraw::DxSprite& background_;
};

// The button chosen: a left click on one, or back for the right button anywhere.
int ChooseButton(PictureButtons& buttons) {
    buttons.Reset();
    for (;;) {
        StepFrame();
        buttons.Update();
        if (const int clicked = buttons.Clicked(); clicked >= 0) return clicked;
        if (InputState.pressed & kInputMouseRight) return kBackButton;
    }
}

}  // namespace

void RunExtras(DxDraw::DxSurface& sheet, DxDraw::DxSprite& background) {
    PictureButtons buttons(sheet, ButtonTable(), 0);
    for (;;) {
        const int chosen = ChooseButton(buttons);
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
