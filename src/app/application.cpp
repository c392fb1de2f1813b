#include "app/application.h"

#include <cstdio>
#include <new>
#include <stdexcept>

#include "app/driver_choice_dialog.h"
#include "app/frame_step.h"
#include "app/runtime.h"
#include "app/script_helpers.h"
#include "app/settings.h"
#include "app/sound_start.h"
#include "app/start_data.h"
#include "lib/error.h"
#include "lib/instance_lock.h"
#include "lib/report.h"
#include "lib/text.h"

namespace {

constexpr char16_t kErrorCaption[] = u"Saffronwake 体験版 Exception Error";
constexpr char16_t kDisplayFailed[] = u"ディスプレイの初期化に失敗しました。";

// An error that ends the program: traced as the start-up traces it, then shown (in the window
// while it lives, and always on stderr). The quiet quit (type 1) is neither. The exit code.
int ReportError(const ExceptionHandle& error, const ApplicationPlatform& platform) {
    if (error.type == 1) return 0;
    DebugOutput(FormatString(
        u"Exception Error:\n    Type: %d\n  Source: %s\n    Line: %d\n     Ptr: %p\n Message: %s\n", error.type,
        std::u16string_view(error.file), error.line, error.pointer, std::u16string_view(error.message)));
    MessageBoxPrintf(kErrorCaption, u"Type: %d\r\nSource: %s\r\nLine: %d\r\nPtr: %p\r\nMessage: %s", error.type,
                     std::u16string_view(error.file), error.line, error.pointer, std::u16string_view(error.message));
    if (platform.on_error) platform.on_error(error.message);
    return 1;
}

// A failure that is not the error exception (a device that cannot start, memory running out),
// shown in the window while it lives and before it opens alike.
void ReportFailure(std::u16string_view message, const ApplicationPlatform& platform) {
    ShowMessage(u"エラー", message, kMbOk | kMbIconStop);
    if (platform.on_error) platform.on_error(message);
}

// The devices, the data start-up and the game cycles, then the teardown in the reverse order.
// Returns the exit code; `full_screen_at_exit` tells the settings how the display was left.
int StartDevices(host::Host& host, WinApp& app, const ApplicationPlatform& platform, bool& full_screen_at_exit) {
    RuntimeOptions options;
    options.frame = &app;
    options.full_screen = SettingsBlock.full_screen != 0;
    options.refresh_rate = RefreshRate;
    options.draw_speed = DrawSpeed;
    const DisplayDriverChooser chooser = DriverChoiceOn(host.modal());
    if (CommandOptions.select_driver) options.driver_chooser = &chooser;
    options.plain_spans = CommandOptions.no_mmx != 0;
    ScopedRuntime runtime(host, options);
    const ScopedSound sound(platform.open_audio ? platform.open_audio(SoundSampleRate(SoundFreq)) : nullptr);
    ApplyBgmVolume(SettingsBlock.enable_bgm != 0);
    ApplyVoiceVolume(SettingsBlock.enable_voice != 0);
    ApplySeVolume(SettingsBlock.enable_se != 0);
    app.CheckSettingsItems(TextSpeedIndex, AutoWaitIndex, DrawSpeed);
    SetMousePointer(0);
    if (platform.on_started) platform.on_started(host);

    GameCycleServices services = platform.cycle;
    services.menu = &host.menu();
    services.modal = &host.modal();
    int status = 0;
    try {
        StartData(SettingsFolders.data_folder, services);
    } catch (const ExceptionHandle& error) {
        status = ReportError(error, platform);
    } catch (const std::bad_alloc&) {
        ReportFailure(u"メモリが足りません。(out of memory)", platform);
        status = 1;
    }
    full_screen_at_exit = !runtime.device().windowed;
    return status;
}

// Everything that needs the window, with errors shown while it still lives.
int RunInWindow(const ApplicationPlatform& platform, bool& full_screen_at_exit) {
    std::unique_ptr<host::Host> host;
    try {
        host = platform.open_host();
    } catch (const std::runtime_error& error) {
        // No window, no game: the display could not start (why, for whoever reads stderr).
        std::fprintf(stderr, "quibel: %s\n", error.what());
        ReportFailure(kDisplayFailed, platform);
        return 1;
    }
    BuildMainMenu(host->menu(), CommandOptions.debug_level);
    WinApp app(host->modal(), host->menu(), platform.menu_screens);
    app.MarkMissingScreens();
    try {
        return StartDevices(*host, app, platform, full_screen_at_exit);
    } catch (const ExceptionHandle& error) {
        return ReportError(error, platform);
    } catch (const DeviceStartError& error) {
        // The input devices have shown their own message; the display's failure is told here.
        if (error.device() == DeviceStartError::Device::kDisplay)
            ReportFailure(kDisplayFailed, platform);
        else if (platform.on_error)
            platform.on_error(Utf8ToUtf16(error.what()));
        return 1;
    } catch (const std::runtime_error& error) {
        ReportFailure(Utf8ToUtf16(error.what()), platform);
        return 1;
    }
}

}  // namespace

int RunApplication(std::u16string_view command_line, std::u16string_view executable_folder,
                   const ApplicationPlatform& platform) {
    CommandOptions = {};  // what this command line does not ask for is off
    if (!LoadSettings(command_line, executable_folder)) {
        // LoadSettings has shown why; the caller learns which folder it was.
        if (platform.on_error)
            platform.on_error(u"the settings folder " + SettingsFolders.settings_folder + u" cannot be made");
        return 1;
    }
    const InstanceLock lock(SettingsFolders.settings_folder + kLockFileName);
    switch (lock.state()) {
        case InstanceLock::State::kHeld: break;
        case InstanceLock::State::kRunning:
            // The game already runs: this start gives way to it at once.
            std::fprintf(stderr, "quibel: another instance is running (%s)\n", lock.error().c_str());
            return 0;
        case InstanceLock::State::kFailed:
            // Whether another instance runs cannot be known, and the settings folder is not
            // usable as it stands: the player is told why.
            ReportFailure(FormatString(u"ロックファイルを使用できません。(%s)", Utf8ToUtf16(lock.error())), platform);
            return 1;
    }
    bool full_screen_at_exit = SettingsBlock.full_screen != 0;
    int status = 1;
    try {
        status = RunInWindow(platform, full_screen_at_exit);
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "quibel: %s\n", error.what());
        if (platform.on_error) platform.on_error(Utf8ToUtf16(error.what()));
    }
    // Once, as a whole: a file that could not be read is left exactly as it is.
    if (!SaveSettings(full_screen_at_exit))
        std::fprintf(stderr, "quibel: the settings were not written back to %s\n",
                     Utf16ToUtf8(SettingsFolders.settings_file).c_str());
    return status;
}
