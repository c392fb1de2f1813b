// The data start-up of the game and the loop of game cycles it runs, used alike by the program
// and the playthrough tool once the runtime (app/runtime.h) and the sound are started.
//
// Order: the three archives, the system sounds, the system image, the faces offered for the
// message text, the master volume, the page-read flags cleared, the system configuration, the
// brand splash, then game cycles until one ends the program; on every way out the data is released again (system image, variables, sounds,
// archives), so a failed start leaves nothing behind.
#pragma once

#include <string>
#include <string_view>

#include "app/game_cycle.h"
#include "app/menu_commands.h"

// The script every game cycle compiles and runs.
inline constexpr std::u16string_view kStartScript = u"_start.txt";

// Menu commands grayed while the splash and each cycle start (the cycle enables its own again).
inline constexpr int kMenuStartGrayed[] = {kMenuBackToTitle, kMenuSave, kMenuLoad, kMenuDebugWindow, kMenuGoBack};
inline constexpr int kMenuSplashGrayed[] = {kMenuSoundSettings, kMenuSystemSettings, kMenuPlayerNames};

// The folder the archives are read from: `folder`, unless "system.saf" is missing there and lies
// in the "data" folder beside it ("../data/" from it). Always ends in '/'.
std::u16string DataBaseFolder(std::u16string_view folder);

// Opens SystemArchive, ScriptArchive and SoundArchive from the base folder: the loose folders
// "script/data" and "script/sound" when "script/data/_start.txt" exists and `archives_only` is
// not set, else "script.saf" and "sound.saf". A missing archive raises the error exception
// (type 0, "データがありません。" with the path), which the player is shown.
void OpenDataArchives(std::u16string_view base_folder, bool archives_only);

// The whole data start-up from the data folder (DataBaseFolder gives the base) with the
// command-line option -A, then game cycles of "_start.txt" from mode 0 until a cycle returns 0.
// A request during the splash starts the first cycle as the request asks (the title, or the
// requested slot). Errors of the data or the cycles travel on after the release.
void StartData(std::u16string_view data_folder, const GameCycleServices& services = DefaultGameCycleServices());
