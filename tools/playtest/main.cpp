// playtest: plays the game without a person, for whole-game tests.
//
//   playtest DATA_DIR INPUT_FILE [--settings DIR] [--shots DIR] [--seed N] [--max-frames N] [--debug]
//            [--check-frames]
//
// Runs the program's own shell (RunApplication) on the test host: the settings of the settings
// folder, the window with its menu, accelerators and close question, the menu's screens, sound
// on a hand-driven audio device that follows the test clock, and the data start-up with its loop
// of game cycles on DATA_DIR. The input script (input_script.h) plays the player; the event log
// (event_log.h) goes to stdout.
//
// --settings DIR  the settings folder (read, and written back at the end); without it a fresh
//                 temporary folder, so that a run never reads or changes a player's settings
// --shots DIR     where `shot` writes its pictures (default: the current folder)
// --seed N        the start of the random sequence of the random jumps (default 1)
// --max-frames N  the run fails once this many frames have passed (default 200000)
// --debug         the program runs with its option -D: the menu offers the debug window
// --check-frames  after every drawn frame the whole view tree is composed afresh and compared
//                 with what the window shows (frame_check.h); each difference is an error
//
// Exit 0 when the input script ran to its end or the game ended; 1 with a message on stderr on
// an error (the error is logged as well, after the box the program shows for it); 2 with the usage after the message
// for a command line it cannot read, an unknown option among them. `--help` prints the usage on stdout. A message box
// the game shows is an event of the log, not an error of the tool.
#include <stdlib.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/frame_step.h"
#include "dxdraw/screen_surface.h"
#include "host/audio/test_audio_device.h"
#include "host/testhost/test_host.h"
#include "lib/cmdline.h"
#include "lib/diskfile.h"
#include "lib/scope_guard.h"
#include "lib/text.h"
#include "lib/utility.h"
#include "screens/screen_services.h"
#include "sound/sound.h"
#include "tools/playtest/event_log.h"
#include "tools/playtest/frame_check.h"
#include "tools/playtest/input_driver.h"
#include "tools/playtest/input_script.h"
#include "tools/usage.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: playtest DATA_DIR INPUT_FILE [--settings DIR] [--shots DIR] [--seed N] [--max-frames N] [--debug]\n"
    "                [--check-frames]\n";
constexpr std::size_t kMaxInputBytes = std::size_t{16} << 20;

struct Options {
    std::string data_dir, input_file, settings_dir, shots_dir = ".";
    std::uint32_t seed = 1;
    int max_frames = 200'000;
    bool debug = false;
    bool check_frames = false;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

template <class T>
T ParseNumber(const std::string& text, const char* what) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        throw UsageError(std::string(what) + " takes a number, not '" + text + "'");
    return value;
}

Options ParseArguments(int argc, char** argv) {
    Options options;
    std::vector<std::string> plain;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!tools::IsOption(arg)) {
            plain.push_back(arg);
            continue;
        }
        if (arg == "--debug" || arg == "--check-frames") {
            (arg == "--debug" ? options.debug : options.check_frames) = true;
            continue;
        }
        if (arg != "--settings" && arg != "--shots" && arg != "--seed" && arg != "--max-frames")
            throw UsageError("unknown option " + arg);
        if (i + 1 >= argc) throw UsageError(arg + " needs a value");
        const std::string value = argv[++i];
        if (arg == "--settings")
            options.settings_dir = value;
        else if (arg == "--shots")
            options.shots_dir = value;
        else if (arg == "--seed")
            options.seed = ParseNumber<std::uint32_t>(value, "--seed");
        else
            options.max_frames = ParseNumber<int>(value, "--max-frames");
    }
    if (plain.size() != 2) throw UsageError("DATA_DIR and INPUT_FILE are needed");
    options.data_dir = plain[0];
    options.input_file = plain[1];
    if (options.max_frames <= 0) throw UsageError("--max-frames must be above 0");
    return options;
}

// The settings folder of the run: the given one, or a temporary one removed at the end.
class SettingsFolder {
public:
    explicit SettingsFolder(const std::string& given) {
        if (given.empty()) {
            std::string pattern = (fs::temp_directory_path() / "playtest_XXXXXX").string();
            if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary settings folder can be made");
            temporary_ = pattern;
        }
        ::setenv("QUIBEL_SETTINGS_DIR", given.empty() ? temporary_.c_str() : given.c_str(), 1);
    }
    ~SettingsFolder() {
        std::error_code error;
        if (!temporary_.empty()) fs::remove_all(temporary_, error);
    }
    SettingsFolder(const SettingsFolder&) = delete;
    SettingsFolder& operator=(const SettingsFolder&) = delete;

private:
    std::string temporary_;
};

std::vector<playtest::InputLine> ReadInputScript(const std::string& path) {
    const std::optional<std::string> text = LoadNativeText(path, kMaxInputBytes);
    if (!text) throw std::runtime_error("the input script " + path + " cannot be read");
    try {
        return playtest::ParseInputScript(*text);
    } catch (const playtest::InputError& error) {
        throw std::runtime_error(path + ": " + error.what());
    }
}

// The sound output the program's shell opens: a test device that the frame hook keeps in step
// with the test clock.
class ClockedAudio {
public:
    std::unique_ptr<host::AudioDevice> Open(std::uint32_t rate) {
        auto device = std::make_unique<host::TestAudioDevice>(rate);
        device->set_capturing(false);
        device_ = device.get();
        return device;
    }

    // Mixes up to the clock's time in the device's 10 ms steps.
    void FollowClock(std::uint32_t now_ms) {
        if (!device_ || !IsSoundAvailable()) return;
        const std::uint32_t target = now_ms / 10 * 10;
        if (target > device_->NowMilliseconds()) device_->Advance(target - device_->NowMilliseconds());
    }

private:
    host::TestAudioDevice* device_ = nullptr;  // owned by the sound layer while it runs
};

// An error of the run: in the log and on stderr.
void Fail(playtest::EventLog& log, const std::string& message) {
    log.Write("error", {Utf8ToUtf16(message)});
    std::fprintf(stderr, "playtest: %s\n", message.c_str());
}

// The run itself, through the program's own shell on the test host; returns the exit code.
// Errors of the tool and of the game are logged.
int Play(const Options& options, std::vector<playtest::InputLine> lines) {
    testhost::TestHost host;
    testhost::TestWindow& window = host.test_window();
    playtest::EventLog log(
        stdout, [&window] { return window.frames(); }, host.modal());
    const ScopedReportSink report_scope(&log);
    const ScopedGameEventSink event_scope(&log);
    playtest::InputDriver driver(
        std::move(lines), host, options.shots_dir,
        [&log](std::string_view kind, std::u16string_view field) { log.Write(kind, {field}); });
    log.set_listener([&driver](std::string_view kind) { driver.Notice(kind); });
    ClockedAudio audio;
    bool too_long = false;
    playtest::FrameCheck check;
    playtest::StaleArea last_stale;
    bool stale = false;
    const ScopeExit unhook([&window] { window.on_frame = nullptr; });

    ApplicationPlatform platform;
    platform.open_host = [&host]() -> std::unique_ptr<host::Host> {
        return std::make_unique<testhost::BorrowedHost>(host);
    };
    platform.open_audio = [&audio](std::uint32_t rate) { return audio.Open(rate); };
    InstallScreens(platform);
    platform.on_started = [&](host::Host&) {
        ResetLockedRand(options.seed);
        window.on_frame = [&](int frame) {
            audio.FollowClock(host.clock.Milliseconds());
            if (frame > options.max_frames) {
                if (!too_long) Fail(log, "the run passed " + std::to_string(options.max_frames) + " frames");
                too_long = true;
                QuitRequested = 1;
                return;
            }
            driver.OnFrame();
        };
        driver.OnFrame();
        if (options.check_frames && ScreenSurface)
            ScreenSurface->SetAfterFrame([&] {
                // A stale area that stays as it was is one fault: written at its first frame.
                const playtest::StaleArea now = check.Compare(*ScreenSurface, window.ShownPixels());
                if (now.pixels && now != last_stale) Fail(log, Utf16ToUtf8(playtest::DescribeStale(now)));
                stale = stale || now.pixels;
                last_stale = now;
            });
    };
    platform.on_error = [&log](std::u16string_view message) { Fail(log, Utf16ToUtf8(message)); };

    std::vector<const char*> command = {"playtest", options.data_dir.c_str()};
    if (options.debug) command.push_back("-D");
    int status = 1;
    try {
        status = RunApplication(JoinCommandLine(command), Utf8ToUtf16(options.data_dir), platform);
    } catch (const std::exception& error) {
        Fail(log, error.what());
    }
    return too_long || stale ? 1 : status;
}

}  // namespace

int main(int argc, char** argv) {
    if (tools::AnswerHelp(argc, argv, kUsage)) return 0;
    try {
        const Options options = ParseArguments(argc, argv);
        std::error_code error;
        if (!fs::is_directory(options.data_dir, error)) throw std::runtime_error(options.data_dir + " is not a folder");
        std::vector<playtest::InputLine> lines = ReadInputScript(options.input_file);
        const SettingsFolder settings(options.settings_dir);
        return Play(options, std::move(lines));
    } catch (const std::exception& error) {
        // Before the game started: logged at frame 0.
        std::printf("%s\n", playtest::FormatLogLine(0, "error", {Utf8ToUtf16(error.what())}).c_str());
        std::fprintf(stderr, "playtest: %s\n", error.what());
        if (dynamic_cast<const UsageError*>(&error)) {
            std::fputs(kUsage, stderr);
            return tools::kUsageExit;
        }
    }
    return 1;
}
