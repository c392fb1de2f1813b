// Where the program hands the screens and the save data to the runtime: the game cycle's load of
// a slot, its reads and writes of the global records and the page wait's quick save and quick
// load. The program's start-up and the playthrough tool install the same, so that whole-game
// tests exercise the saves the player makes.
#pragma once

struct ApplicationPlatform;
struct GameCycleServices;

// LoadSlot, LoadGlobalData, SaveGlobalData, AutoSave and FindLatestAutoSave; the title and the
// menu are left as they are.
void InstallSaveServices(GameCycleServices& services);
// Everything of this layer the program has, into the platform the application runs on: the
// save services, the backlog screen, the debug window and the menu's save/load and settings dialogs.
void InstallScreens(ApplicationPlatform& platform);
