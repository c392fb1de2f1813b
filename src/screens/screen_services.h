// Where the program hands the screens and the save data to the runtime: the game cycle's title,
// its load of a slot and its reads and writes of the global records, the page wait's quick save
// and quick load, the ending slides, and the menu's dialogs and manual. The program's start-up
// and the playthrough tool install the same, so that whole-game tests exercise the screens and
// the saves the player meets.
#pragma once

struct ApplicationPlatform;
struct GameCycleServices;

// LoadSlot, LoadGlobalData, SaveGlobalData, AutoSave and FindLatestAutoSave through one SaveStore
// (screens/save_store.h), which keeps the game going whatever the save file does; the title and
// the menu are left as they are.
void InstallSaveServices(GameCycleServices& services);
// Everything of this layer the program has, into the platform the application runs on: the
// save services, the title screen with its settings and extras menus, the backlog, the ending
// slides, and the menu's save/load, settings and debug dialogs and manual.
void InstallScreens(ApplicationPlatform& platform);
