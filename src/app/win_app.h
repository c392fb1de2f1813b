// The game window's procedure: the menu bar, the accelerators, closing, activation and typed
// characters become the program's request words and settings. It never runs game logic itself:
// back to the title, load and going back are left in PendingRequest for the next frame step to
// turn into a ScriptException; the dialogs the menu opens run modally from inside it.
#pragma once

#include <cstdint>
#include <functional>

#include "dxdraw/frame_window.h"

namespace host {
class MenuModel;
class ModalUi;
}  // namespace host

// The menu 110 with its popups and items, and the accelerator table 128 (F10, Alt+Enter,
// Ctrl+Z). The "デバッグ" popup is left out at debug level 0.
void BuildMainMenu(host::MenuModel& menu, std::int32_t debug_level);

// The screens and dialogs the menu opens that live above the runtime; the program installs
// them as they exist. A command whose screen is missing is grayed for good (MarkMissingScreens).
// The dialogs run on the window's modal layer, which the procedure hands them.
struct MenuScreens {
    // The save/load dialog: mode 0 save, 1 load; the slot index chosen, or -1.
    std::function<std::int32_t(host::ModalUi& modal, int mode)> save_load;
    std::function<void(host::ModalUi& modal)> debug_window;
    std::function<void(host::ModalUi& modal)> sound_settings;
    std::function<void(host::ModalUi& modal)> system_settings;
    std::function<void()> manual;
};

class WinApp final : public DxDraw::DxFrame {
public:
    WinApp(host::ModalUi& modal, host::MenuModel& menu, MenuScreens screens = {});

    std::intptr_t WindowProc(const host::WindowMessage& message) override;
    // Grays for good the items of the screens that are not installed.
    void MarkMissingScreens();
    // The start-up's radio checks: text speed, auto wait and draw speed from the settings.
    void CheckSettingsItems(std::int32_t text_speed_index, std::int32_t auto_wait_index, std::int32_t draw_speed);

private:
    void OnCommand(int command);
    void SetDrawSpeed(int command, std::int32_t speed);
    // Asks whether to end the program (No by default); Yes sets QuitRequested.
    void AskToQuit();

    host::ModalUi& modal_;
    host::MenuModel& menu_;
    MenuScreens screens_;
};
