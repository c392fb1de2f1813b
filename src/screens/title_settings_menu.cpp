#include "screens/title_settings_menu.h"

#include <array>

#include "app/frame_step.h"
#include "app/player_names_dialog.h"
#include "screens/picture_buttons.h"
#include "screens/settings_dialogs.h"
#include "screens/title_screen.h"

namespace {

enum : int { kSystemButton, kSoundButton, kNamesButton, kBackButton, kButtonCount };

// The settings column of the title sheet; "back" stands apart at the bottom of the title menu's rows.
constexpr std::int32_t kSettingsSheetLeft = 256;
std::array<PictureButton, kButtonCount> ButtonTable() {
    return {TitleMenuButton(kSettingsSheetLeft, 0), TitleMenuButton(kSettingsSheetLeft, 1),
            TitleMenuButton(kSettingsSheetLeft, 2), TitleMenuButton(kSettingsSheetLeft, 5)};
}

void OpenButtonDialog(host::ModalUi& modal, int button) {
    switch (button) {
        case kSystemButton: OpenSystemSettings(modal); break;
        case kSoundButton: OpenSoundSettings(modal); break;
        default: EditPlayerNames(modal); break;
    }
}

}  // namespace

void TitleSettingsMenu(host::ModalUi& modal, DxDraw::DxSurface& sheet) {
    PictureButtons buttons(sheet, ButtonTable(), 0);
    for (;;) {
        StepFrame();
        buttons.Update();
        if (InputState.pressed & kInputMouseRight) return;
        const int clicked = buttons.Clicked();
        if (clicked < 0) continue;
        if (clicked == kBackButton) return;
        // The button is seen released before its dialog covers the screen, and is hovered anew
        // from where the pointer is once the dialog has gone.
        buttons.Reset();
        StepFrame();
        OpenButtonDialog(modal, clicked);
    }
}
