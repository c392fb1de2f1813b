#include "screens/screen_services.h"

#include <memory>

#include "app/application.h"
#include "app/game_cycle.h"
#include "screens/backlog_screen.h"
#include "screens/debug_window.h"
#include "screens/ending_slides.h"
#include "screens/extras_menu.h"
#include "screens/manual_screen.h"
#include "screens/save_load_dialog.h"
#include "screens/save_slots.h"
#include "screens/save_store.h"
#include "screens/settings_dialogs.h"
#include "screens/title_screen.h"
#include "screens/title_settings_menu.h"

void InstallSaveServices(GameCycleServices& services) {
    // Shared by the services for the life of the program's shell that holds them.
    const auto store = std::make_shared<SaveStore>();
    services.load_slot = [](std::int32_t number) { LoadSlot(number); };
    services.load_global = [store](ScriptStateGroup_App& group) { store->LoadGlobal(group); };
    services.save_global = [store](ScriptStateGroup_App& group) { store->SaveGlobal(group); };
    services.auto_save = [store] { return store->AutoSave(); };
    services.find_latest_auto_save = [store] { return store->FindQuickLoadSlot(); };
    services.saves_off = [store] { return store->Off(); };
    services.save_load_dialog = [store](host::ModalUi& modal, int mode) { return store->OpenDialog(modal, mode); };
}

void InstallScreens(ApplicationPlatform& platform) {
    InstallSaveServices(platform.cycle);
    platform.cycle.backlog = BackLog;
    platform.menu_screens.save_load = platform.cycle.save_load_dialog;
    platform.menu_screens.debug_window = [](host::ModalUi& modal) { OpenDebugWindow(modal); };
    platform.menu_screens.system_settings = OpenSystemSettings;
    platform.menu_screens.sound_settings = OpenSoundSettings;
    platform.menu_screens.manual = ManualScreen;
    const TitleScreens title_screens{.settings = TitleSettingsMenu, .extras = RunExtras};
    platform.cycle.run_title = [title_screens](const GameCycleServices& services) {
        return RunTitle(services, title_screens);
    };
    platform.cycle.ending_slides = EndingSlides;
}
