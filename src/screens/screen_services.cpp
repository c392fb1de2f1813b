#include "screens/screen_services.h"

#include "app/application.h"
#include "app/game_cycle.h"
#include "screens/backlog_screen.h"
#include "screens/debug_window.h"
#include "screens/global_records.h"
#include "screens/save_load_dialog.h"
#include "screens/save_slots.h"
#include "screens/settings_dialogs.h"

void InstallSaveServices(GameCycleServices& services) {
    services.load_slot = [](std::int32_t number) { LoadSlot(number); };
    services.load_global = [](ScriptStateGroup_App& group) { LoadGlobalData(group); };
    services.save_global = [](ScriptStateGroup_App& group) { SaveGlobalData(group); };
    services.auto_save = [] { return AutoSave(); };
    services.find_latest_auto_save = [] { return FindLatestAutoSave(); };
}

void InstallScreens(ApplicationPlatform& platform) {
    InstallSaveServices(platform.cycle);
    platform.cycle.backlog = BackLog;
    platform.menu_screens.save_load = OpenSaveLoadDialog;
    platform.menu_screens.debug_window = [](host::ModalUi& modal) { OpenDebugWindow(modal); };
    platform.menu_screens.system_settings = OpenSystemSettings;
    platform.menu_screens.sound_settings = OpenSoundSettings;
}
