#include "app/win_app.h"

#include <iterator>
#include <span>

#include "app/frame_step.h"
#include "app/menu_commands.h"
#include "app/player_names_dialog.h"
#include "app/prompts.h"
#include "app/script_helpers.h"
#include "app/settings.h"
#include "dxdraw/screen_surface.h"
#include "host/ui/dialog.h"
#include "host/ui/menu.h"
#include "host/video/scancodes.h"
#include "lib/report_hook.h"

namespace {

// Where each menu's items sit in the radio groups, by the settings index they stand for.
constexpr int kTextSpeedItems[] = {kMenuTextFastest, kMenuTextFast, kMenuTextNormal, kMenuTextSlow};
constexpr int kAutoWaitItems[] = {kMenuAutoOff, kMenuAutoFastest, kMenuAutoFast, kMenuAutoNormal, kMenuAutoSlow};

// A radio group whose items stand for the indexes of a settings table.
struct IndexGroup {
    std::span<const int> items;  // by index
    int first, last;             // the command range the radio check clears
    void (*set)(std::int32_t index);
};
const IndexGroup kIndexGroups[] = {{kTextSpeedItems, kMenuTextSlow, kMenuTextFastest, SetTextSpeed},
                                   {kAutoWaitItems, kMenuAutoOff, kMenuAutoFastest, SetAutoWait}};

struct DrawSpeedItem {
    int command;
    std::int32_t speed;
};
constexpr DrawSpeedItem kDrawSpeedItems[] = {{kMenuDrawSpeed1, 1}, {kMenuDrawSpeed2, 2},   {kMenuDrawSpeed4, 4},
                                             {kMenuDrawSpeed8, 8}, {kMenuDrawSpeed16, 16}, {kMenuDrawSpeedAuto, 0}};

}  // namespace

void BuildMainMenu(host::MenuModel& menu, std::int32_t debug_level) {
    using host::MenuModel;
    host::MenuItem& system = menu.AddPopup(u"システム");
    host::MenuItem& draw = MenuModel::AddSubPopup(system, u"描画速度");
    MenuModel::AddItem(draw, kMenuDrawSpeed1, u"通常");
    MenuModel::AddItem(draw, kMenuDrawSpeed2, u"２倍速");
    MenuModel::AddItem(draw, kMenuDrawSpeed4, u"４倍速");
    MenuModel::AddItem(draw, kMenuDrawSpeed8, u"８倍速");
    MenuModel::AddItem(draw, kMenuDrawSpeed16, u"１６倍速");
    MenuModel::AddItem(draw, kMenuDrawSpeedAuto, u"自動");
    host::MenuItem& message = MenuModel::AddSubPopup(system, u"メッセージ");
    host::MenuItem& shown = MenuModel::AddSubPopup(message, u"表示");
    MenuModel::AddItem(shown, kMenuTextSlow, u"遅い");
    MenuModel::AddItem(shown, kMenuTextNormal, u"普通");
    MenuModel::AddItem(shown, kMenuTextFast, u"速い");
    MenuModel::AddItem(shown, kMenuTextFastest, u"最速");
    host::MenuItem& automatic = MenuModel::AddSubPopup(message, u"オート速度");
    MenuModel::AddItem(automatic, kMenuAutoSlow, u"遅い");
    MenuModel::AddItem(automatic, kMenuAutoNormal, u"普通");
    MenuModel::AddItem(automatic, kMenuAutoFast, u"速い");
    MenuModel::AddItem(automatic, kMenuAutoFastest, u"最速");
    MenuModel::AddItem(system, kMenuSoundSettings, u"サウンド設定");
    MenuModel::AddItem(system, kMenuSystemSettings, u"システム設定");
    MenuModel::AddItem(system, kMenuPlayerNames, u"名前変更");
    MenuModel::AddItem(system, kMenuManual, u"マニュアル");
    MenuModel::AddSeparator(system);
    MenuModel::AddItem(system, kMenuQuit, u"終了(&X)");

    host::MenuItem& scenario = menu.AddPopup(u"シナリオ");
    MenuModel::AddItem(scenario, kMenuBackToTitle, u"タイトルに戻る(&X)");
    MenuModel::AddSeparator(scenario);
    MenuModel::AddItem(scenario, kMenuSave, u"セーブする(&S)");
    MenuModel::AddItem(scenario, kMenuLoad, u"ロードする(&L)");

    if (debug_level != 0) {
        host::MenuItem& debug = menu.AddPopup(u"デバッグ");
        MenuModel::AddItem(debug, kMenuDebugWindow, u"変数表示");
    }

    menu.AddAccelerator({host::kKeyF10, false, false, false, kMenuF10});
    menu.AddAccelerator({host::kKeyReturn, false, true, false, kMenuScreenMode});
    menu.AddAccelerator({host::kKeyZ, true, false, false, kMenuGoBack});
}

WinApp::WinApp(host::ModalUi& modal, host::MenuModel& menu, MenuScreens screens)
    : modal_(modal), menu_(menu), screens_(std::move(screens)) {}

void WinApp::MarkMissingScreens() {
    const std::pair<int, bool> items[] = {
        {kMenuSave, bool(screens_.save_load)},
        {kMenuLoad, bool(screens_.save_load)},
        {kMenuDebugWindow, bool(screens_.debug_window)},
        {kMenuSoundSettings, bool(screens_.sound_settings)},
        {kMenuSystemSettings, bool(screens_.system_settings)},
        {kMenuManual, bool(screens_.manual)},
    };
    for (const auto& [command, installed] : items)
        if (!installed) menu_.MakeUnavailable(command);
}

void WinApp::CheckSettingsItems(std::int32_t text_speed_index, std::int32_t auto_wait_index, std::int32_t draw_speed) {
    const std::int32_t indexes[] = {text_speed_index, auto_wait_index};
    for (std::size_t g = 0; g < std::size(kIndexGroups); ++g) {
        const IndexGroup& group = kIndexGroups[g];
        const std::int32_t index = indexes[g];
        // An index outside its table checks nothing and leaves the value as it is.
        if (index >= 0 && index < std::ssize(group.items))
            menu_.CheckRadio(group.first, group.last, group.items[static_cast<std::size_t>(index)]);
        group.set(index);
    }
    int command = kMenuDrawSpeed1;
    for (const DrawSpeedItem& item : kDrawSpeedItems)
        if (item.speed == draw_speed) command = item.command;
    menu_.CheckRadio(kMenuDrawSpeed1, kMenuDrawSpeedAuto, command);
}

std::intptr_t WinApp::WindowProc(const host::WindowMessage& message) {
    switch (message.message) {
        case host::kMsgClose: AskToQuit(); return 0;
        case host::kMsgQuit: QuitRequested = 1; return 0;
        case host::kMsgActivateApp:
            DxFrame::WindowProc(message);
            AppActive = static_cast<std::int32_t>(IsActive());
            return 0;
        case host::kMsgChar:
            CharReceived = 1;
            InputState.character = static_cast<std::uint16_t>(message.w & 0xFFFF);
            InputState.character_param = static_cast<std::uint32_t>(message.l);
            return 0;
        case host::kMsgCommand:
            if (message.w >= kMenuQuit && message.w <= kMenuManual) {
                OnCommand(static_cast<int>(message.w));
                return 0;
            }
            break;
        default: break;
    }
    return DxFrame::WindowProc(message);
}

void WinApp::AskToQuit() {
    if (modal_.MessageBox(u"終了", u"終了してもよろしいですか？", kMbYesNo | kMbIconQuestion | kMbDefaultButton2) ==
        kIdYes)
        QuitRequested = 1;
}

void WinApp::SetDrawSpeed(int command, std::int32_t speed) {
    menu_.CheckRadio(kMenuDrawSpeed1, kMenuDrawSpeedAuto, command);
    if (DxDraw::DxScreenSurface* screen = GetScreenView()) {
        const std::int32_t skip = speed == 0 ? 0 : speed - 1;
        screen->SetFrameSkipValue(skip);
        screen->SetFrameSkipCounter(skip);
    }
    DrawSpeed = speed;
}

void WinApp::OnCommand(int command) {
    // A command whose item is grayed (a screen not offered, or one the story does not allow
    // now) may still come from a stale menu frame: it does nothing.
    if (menu_.IsGrayed(command)) return;
    for (const DrawSpeedItem& item : kDrawSpeedItems)
        if (item.command == command) return SetDrawSpeed(command, item.speed);
    for (const IndexGroup& group : kIndexGroups)
        for (std::size_t i = 0; i < group.items.size(); ++i)
            if (group.items[i] == command) {
                menu_.CheckRadio(group.first, group.last, command);
                return group.set(static_cast<std::int32_t>(i));
            }
    switch (command) {
        case kMenuQuit: AskToQuit(); break;
        case kMenuScreenMode: SwitchScreenMode(); break;
        case kMenuBackToTitle: PendingRequest = kRequestTitle; break;
        case kMenuSave:
            // The dialog shows a failed save itself and answers -1.
            if (screens_.save_load && screens_.save_load(modal_, 0) != -1) ShowSaveNotice(true);
            break;
        case kMenuLoad:
            if (screens_.save_load) {
                const std::int32_t slot = screens_.save_load(modal_, 1);
                if (slot != -1) {
                    SetRequestedLoadSlot(slot);
                    PendingRequest = kRequestLoad;
                }
            }
            break;
        case kMenuGoBack:
            if (modal_.MessageBox(u"確認", u"シナリオを少し戻ります。よろしいですか？", kMbYesNo | kMbIconQuestion) ==
                kIdYes)
                PendingRequest = kRequestGoBack;
            break;
        case kMenuDebugWindow:
            if (screens_.debug_window) screens_.debug_window(modal_);
            break;
        case kMenuSoundSettings:
            if (screens_.sound_settings) screens_.sound_settings(modal_);
            break;
        case kMenuSystemSettings:
            if (screens_.system_settings) screens_.system_settings(modal_);
            break;
        case kMenuPlayerNames: EditPlayerNames(modal_); break;
        case kMenuManual:
            if (screens_.manual) screens_.manual();
            break;
        default: break;  // F10 and the ids without an item
    }
}
