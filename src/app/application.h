// The program's outer shell: one instance, the settings, the window with its menu bar and
// accelerators, the devices, the data start-up with the loop of game cycles, and the teardown in
// the reverse order that ends with the settings written back once.
//
// Every error that ends the program is shown to the player (in the window while it lives) and
// on stderr, and gives a non-zero exit code; the quiet quit (F12, the close question answered
// Yes, a signal, the end of the game) gives 0.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "app/game_cycle.h"
#include "app/win_app.h"
#include "host/audio/audio_device.h"
#include "host/ui/host.h"

inline constexpr char16_t kWindowTitle[] = u"Saffronwake 体験版";
inline constexpr char16_t kLockFileName[] = u"quibel.lock";

// What the shell runs on: the real SDL window and audio device, or a test host.
struct ApplicationPlatform {
    // Opens the game window with its menu model and modal layer; throws std::runtime_error when
    // no window can be opened.
    std::function<std::unique_ptr<host::Host>()> open_host;
    // The sound output at `rate` frames a second; without it the default device is opened.
    std::function<std::unique_ptr<host::AudioDevice>(std::uint32_t rate)> open_audio;
    // The screens the menu opens and the ones a game cycle runs, as far as they exist.
    MenuScreens menu_screens;
    GameCycleServices cycle = DefaultGameCycleServices();
    // Called once the window, its menu and the devices are up, before the data start-up (tests
    // hook the window's frames here).
    std::function<void(host::Host&)> on_started;
    // Told the message of every error that ends the run, after it has been shown (the playthrough
    // tool logs it); the quiet quit is no error.
    std::function<void(std::u16string_view message)> on_error;
};

// The whole run from the command line (the program's name and its arguments, as
// JoinCommandLine gives them) and the folder of the executable; returns the exit code.
int RunApplication(std::u16string_view command_line, std::u16string_view executable_folder,
                   const ApplicationPlatform& platform);
