#include "screens/title_settings_menu.h"

#include <array>

#include "app/frame_step.h"
#include "app/owned_view.h"
#include "app/player_names_dialog.h"
#include "app/system_config.h"
#include "dxdraw/button_tracker.h"
#include "dxdraw/dxsprite.h"
#include "dxdraw/screen_surface.h"
#include "screens/settings_dialogs.h"

namespace {

constexpr int kButtonCount = 4;
constexpr int kButtonWidth = 248, kButtonHeight = 40;
constexpr int kRowPitch = 48;
constexpr int kBackButton = 3;

constexpr TEXANIM Source(int left, int top) {
    return TEXANIM{kButtonWidth, kButtonHeight, 0, 0, RECT{left, top, left + kButtonWidth, top + kButtonHeight}, 0};
}

struct MenuButton {
    int row;  // on the title menu's 48-pixel pitch: "back" stands apart at the bottom
    TEXANIM normal, hover;
};
constexpr std::array<MenuButton, kButtonCount> kButtons{{
    {0, Source(256, 608), Source(256, 896)},   // system settings
    {1, Source(256, 656), Source(256, 944)},   // sound settings
    {2, Source(256, 704), Source(256, 992)},   // hero names
    {5, Source(256, 848), Source(256, 1136)},  // back
}};

void OpenButtonDialog(host::ModalUi& modal, int button) {
    switch (button) {
        case 0: OpenSystemSettings(modal); break;
        case 1: OpenSoundSettings(modal); break;
        default: EditPlayerNames(modal); break;
    }
}

}  // namespace

void TitleSettingsMenu(host::ModalUi& modal, DxDraw::DxSurface& sheet) {
    const std::int32_t x = SystemConfig.TitleMenuPos[0], y = SystemConfig.TitleMenuPos[1];
    std::array<OwnedView<DxDraw::DxSprite>, kButtonCount> sprites;
    std::array<RECT, kButtonCount> hits;
    for (int i = 0; i < kButtonCount; ++i) {
        const MenuButton& button = kButtons[static_cast<std::size_t>(i)];
        const std::int32_t top = y + kRowPitch * button.row;
        hits[static_cast<std::size_t>(i)] = RECT{x, top, x + kButtonWidth, top + kButtonHeight};
        auto& sprite = sprites[static_cast<std::size_t>(i)];
        sprite.reset(new DxDraw::DxSprite(&sheet, &button.normal));
        sprite->SetPosition(x, top);
        if (ScreenSurface) ScreenSurface->Add(sprite.get());
    }
    const auto show = [&](int i, bool hovered) {
        if (i < 0) return;
        const MenuButton& button = kButtons[static_cast<std::size_t>(i)];
        sprites[static_cast<std::size_t>(i)]->SetSource(hovered ? &button.hover : &button.normal);
    };

    ButtonTracker tracker;
    int hovered = -1;
    for (;;) {
        StepFrame();
        const int s = tracker.Update(hits.data(), kButtonCount, InputState.mouse_x, InputState.mouse_y, nullptr);
        if (s != hovered) {
            show(hovered, false);
            show(s, true);
            hovered = s;
        }
        if (InputState.pressed & kInputMouseRight) return;
        if (s < 0 || !(InputState.pressed & kInputMouseLeft)) continue;
        if (s == kBackButton) return;
        // The button is seen released before its dialog covers the screen.
        show(s, false);
        StepFrame();
        OpenButtonDialog(modal, s);
        // Hovered anew from where the pointer is once the dialog has gone.
        hovered = -1;
    }
}
