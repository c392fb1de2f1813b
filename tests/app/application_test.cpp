// The whole program on the test host and the sample game: the menu through a start-up, the
// settings through a whole run, and the ways a start ends early (another instance, missing data,
// a broken script), each with its exit code and what the player is shown.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../support/temp_folder.h"
#include "app/application.h"
#include "app/frame_step.h"
#include "app/game_events.h"
#include "app/menu_commands.h"
#include "app/runtime.h"
#include "dxdraw/span_engine.h"
#include "host/testhost/test_host.h"
#include "host/video/scancodes.h"
#include "lib/cmdline.h"
#include "lib/instance_lock.h"
#include "lib/text.h"

namespace {

namespace fs = std::filesystem;

const fs::path kDemo = DEMO_DATA_DIR;
constexpr int kMenuItems[] = {kMenuBackToTitle,   kMenuSave,           kMenuLoad,        kMenuDebugWindow,
                              kMenuSoundSettings, kMenuSystemSettings, kMenuPlayerNames, kMenuManual};

// The grayed items of kMenuItems, as a row of 'x' (gray) and '-' (enabled).
std::string Grays(host::MenuModel& menu) {
    std::string grays;
    for (int id : kMenuItems) grays += menu.IsGrayed(id) ? 'x' : '-';
    return grays;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class Application : public ::testing::Test, public GameEventSink {
protected:
    Application() { ::setenv("QUIBEL_SETTINGS_DIR", settings.path().c_str(), 1); }
    ~Application() override { ::unsetenv("QUIBEL_SETTINGS_DIR"); }

    // Runs the program with these arguments after its name; `on_event` sees every game event
    // with the host, and F12 is pressed at the first page unless it says otherwise.
    int Run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "quibel");
        std::vector<const char*> argv;
        for (const std::string& argument : arguments) argv.push_back(argument.c_str());
        ApplicationPlatform platform;
        host.reset();  // first: a host hands the reports back to what was there before it
        host = std::make_unique<testhost::TestHost>();
        if (prepare_host) prepare_host(*host);
        opened = false;
        message_shown = false;
        quit_frame = -1;
        platform.open_host = [this]() -> std::unique_ptr<host::Host> {
            if (no_display) throw std::runtime_error("SDL video: no display");
            opened = true;
            return std::make_unique<testhost::BorrowedHost>(*host);
        };
        platform.menu_screens = screens;
        platform.open_audio = open_audio;
        errors.clear();
        platform.on_error = [this](std::u16string_view message) { errors.push_back(Utf16ToUtf8(message)); };
        platform.on_started = [this](host::Host&) {
            menu_states = {Grays(host->menu())};
            host->test_window().on_frame = [this](int frame) {
                if (frame == quit_frame) host->test_window().Press(host::kKeyF12);
                if (on_frame) on_frame(frame);
                if (Grays(host->menu()) != menu_states.back()) menu_states.push_back(Grays(host->menu()));
            };
        };
        const ScopedGameEventSink events(this);
        return RunApplication(JoinCommandLine(argv), u"/nonexistent", platform);
    }

    void OnGameEvent(std::string_view kind, std::initializer_list<std::u16string_view>) override {
        // The first page that waits is the first one after a message; F12 a few frames into its wait.
        if (kind == "text") message_shown = true;
        if (kind == "page" && message_shown && quit_at_first_page && quit_frame < 0)
            quit_frame = host->test_window().frames() + 5;
        events.emplace_back(kind);
        if (on_event) on_event(kind);
    }

    // The sample game's archives, with the scripts as a loose folder whose start script is `start`.
    fs::path DataWithStartScript(const std::string& start) {
        const fs::path data = folder.path() / "data";
        fs::create_directories(data / "script/data");
        fs::create_directories(data / "script/sound");
        for (const char* name : {"system.saf", "sound.saf"}) fs::copy_file(kDemo / name, data / name);
        for (const char* name : {"iv.txt", "config.xml", "brand.jpg"})
            fs::copy_file(kDemo / "script/data" / name, data / "script/data" / name);
        std::ofstream(data / "script/data/_start.txt", std::ios::binary) << start;
        return data;
    }

    testsupport::TempFolder settings{"app_settings"};
    testsupport::TempFolder folder{"app_data"};
    std::unique_ptr<testhost::TestHost> host;  // the last run's, kept for what it recorded
    bool opened = false;                       // whether the run opened its window
    MenuScreens screens;
    std::vector<std::string> menu_states;  // the menu's grays as they changed from frame to frame
    bool quit_at_first_page = true;
    bool no_display = false;  // the window cannot be opened
    bool message_shown = false;
    int quit_frame = -1;
    std::vector<std::string> events;  // the kinds of the game events, in order
    std::vector<std::string> errors;  // what on_error was told
    std::function<void(std::string_view kind)> on_event;
    std::function<void(int frame)> on_frame;
    std::function<void(testhost::TestHost&)> prepare_host;
    std::function<std::unique_ptr<host::AudioDevice>(std::uint32_t rate)> open_audio;  // null: the default
};

TEST_F(Application, TheMenuIsCheckedAndGrayedThroughAStartUp) {
    std::ofstream(settings / "quibel.ini") << "[quibel]\nMessageWait=3\nMessageSkip=1\nSkipFrame=8\n";
    screens.save_load = [](host::ModalUi&, int) { return -1; };
    screens.debug_window = [](host::ModalUi&) {};
    bool checked = false;
    on_event = [&](std::string_view kind) {
        if (kind == "title")
            checked = host->menu().IsChecked(kMenuTextSlow) && host->menu().IsChecked(kMenuAutoFastest) &&
                      host->menu().IsChecked(kMenuDrawSpeed8) && !host->menu().IsChecked(kMenuTextNormal);
    };
    EXPECT_EQ(Run({kDemo.string(), "-S", "-D"}), 0);
    EXPECT_TRUE(checked) << "the radio checks of the settings file";
    // Back to title, save, load, debug window, sound and system settings, names, manual. The
    // settings and the manual have no screens yet and stay gray throughout.
    const std::vector<std::string> expected = {
        "----xx-x",  // the window just opened
        "xxxxxxxx",  // the splash: nothing but the quit and the menu's own settings
        "-x-xxx-x",  // the first cycle: back to the title, load, and the names again
        "----xx-x",  // the first page waits: save and debug window too
    };
    EXPECT_EQ(menu_states, expected);
    EXPECT_EQ(Grays(host->menu()), "-x-xxx-x") << "the quit from the page wait grays save and debug again";
}

TEST_F(Application, SettingsSurviveAWholeRunAndMenuChangesAreWrittenBack) {
    const std::string lines =
        "; kept\n[other]\nkey=value\n[quibel]\nFullScreen=1\nDisplaySpeed=1\nTextSkip1=0\nTextSkip2=0\n"
        "BaseColor=1,2,3,4\nFontName=ＭＳ ゴシック\nEnableVoice=0\nEnableBgm=1\nEnableSe=0\nMainVolume=10\n"
        "BgmVolume=20\nVoiceVolume=30\nSeVolume=40\nSkipFrame=2\nRefreshRate=0\nSoundFreq=1\nSoundPriority=1\n"
        "StreamSize=8\nMessageWait=1\nMessageSkip=4\nUnknown=kept\n";
    std::ofstream(settings / "quibel.ini") << lines;
    quit_at_first_page = false;
    bool done = false;
    on_event = [&](std::string_view kind) {
        if (kind != "page" || done) return;
        done = true;
        for (int command : {kMenuTextSlow, kMenuAutoFast, kMenuDrawSpeed16, kMenuScreenMode})
            host->test_window().PostMessage({host::kMsgCommand, static_cast<std::uintptr_t>(command), 0, {}});
        host->test_window().Press(host::kKeyF12);
    };
    EXPECT_EQ(Run({kDemo.string(), "-S"}), 0);
    std::string expected = lines;
    for (const auto& [from, to] : {std::pair{"FullScreen=1", "FullScreen=0"},
                                   {"SkipFrame=2", "SkipFrame=16"},
                                   {"MessageWait=1", "MessageWait=3"},
                                   {"MessageSkip=4", "MessageSkip=2"}})
        expected.replace(expected.find(from), std::string(from).size(), to);
    EXPECT_EQ(ReadText(settings / "quibel.ini"), expected);
}

TEST_F(Application, ErrorsOfTheDataAreShownInTheWindowAndOnStderrWithExitCode1) {
    const fs::path broken = DataWithStartScript(".PST A = 1\n.NOPE\n");
    const fs::path empty = folder.path() / "nothing/here";
    fs::create_directories(empty);
    const struct {
        fs::path data;
        std::vector<std::string> shown;  // pieces of the message
    } cases[] = {
        {empty, {"データがありません。", (empty / "system.saf").string()}},
        {broken, {"_start.txt", "Line: 2", "コマンド名が違います。"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data.string());
        testing::internal::CaptureStderr();
        EXPECT_EQ(Run({c.data.string(), "-S"}), 1);
        const std::string printed = testing::internal::GetCapturedStderr();
        ASSERT_EQ(host->scripted_modal().boxes.size(), 1u);
        const std::string box = Utf16ToUtf8(host->scripted_modal().boxes[0].text);
        ASSERT_EQ(errors.size(), 1u) << "the platform is told once";
        EXPECT_NE(box.find(errors[0]), std::string::npos) << "the message of the box: " << errors[0];
        for (const std::string& piece : c.shown) {
            EXPECT_NE(box.find(piece), std::string::npos) << box;
            EXPECT_NE(printed.find(piece), std::string::npos) << printed;
        }
        EXPECT_TRUE(fs::exists(settings / "quibel.ini")) << "the settings are written back all the same";
    }
}

TEST_F(Application, GoingBackDuringTheSplashGoesOnToTheGame) {
    on_frame = [this](int frame) {
        if (frame != 5) return;
        host->scripted_modal().AnswerNext(kIdYes);
        host->test_window().PostMessage({host::kMsgCommand, kMenuGoBack, 0, {}});  // Ctrl+Z
    };
    EXPECT_EQ(Run({kDemo.string(), "-S"}), 0);
    EXPECT_TRUE(errors.empty()) << "the quiet quit is no error";
    const auto request = std::find(events.begin(), events.end(), "request");
    ASSERT_NE(request, events.end());
    EXPECT_NE(std::find(request, events.end(), "title"), events.end());
    EXPECT_NE(std::find(request, events.end(), "text"), events.end());
}

TEST_F(Application, TheDriverChoiceOffersTheDisplaysDrivers) {
    std::vector<std::u16string> offered;
    prepare_host = [&offered](testhost::TestHost& made) {
        made.scripted_modal().OnNextDialog([&offered](host::Dialog& dialog) {
            offered = dialog.Find(1000)->items;
            dialog.Accept();
        });
    };
    EXPECT_EQ(Run({kDemo.string(), "-S", "--seldriver"}), 0);
    EXPECT_EQ(host->scripted_modal().dialogs_run, std::vector<std::u16string>{u"ドライバの選択"});
    EXPECT_EQ(offered, std::vector<std::u16string>{u"Primary Display Driver"});
    EXPECT_NE(std::find(events.begin(), events.end(), "text"), events.end()) << "the game goes on";
}

// A lock held by a running game makes a second start give way quietly; a lock file that cannot
// be opened at all is an error with its reason. Neither start opens a window or writes settings.
TEST_F(Application, ALockHeldByARunningGameGivesWayAndOneThatCannotBeOpenedIsAnError) {
    const struct {
        const char* name;
        int status;
        std::string printed;  // on stderr
        std::string box;      // in the box captioned "エラー"; empty: none
    } cases[] = {
        {"held", 0, "another instance is running", ""},
        {"a folder", 1, "Is a directory",
         "ロックファイルを使用できません。(" + (settings / "quibel.lock").string() + ": Is a directory)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(settings / "quibel.lock");
        std::optional<InstanceLock> first;
        if (c.status == 0)
            first.emplace(settings.Path("quibel.lock"));
        else
            fs::create_directory(settings / "quibel.lock");
        testing::internal::CaptureStderr();
        EXPECT_EQ(Run({kDemo.string(), "-S"}), c.status);
        EXPECT_NE(testing::internal::GetCapturedStderr().find(c.printed), std::string::npos);
        EXPECT_FALSE(opened) << "no window was opened";
        EXPECT_FALSE(fs::exists(settings / "quibel.ini")) << "nor the settings written";
        const auto& boxes = host->scripted_modal().boxes;
        ASSERT_EQ(boxes.size(), c.box.empty() ? 0u : 1u);
        if (c.box.empty()) continue;
        EXPECT_EQ(boxes[0].caption, u"エラー");
        EXPECT_EQ(Utf16ToUtf8(boxes[0].text), c.box);
        EXPECT_EQ(errors, std::vector<std::string>{c.box}) << "the platform is told";
    }
}

// No window, no game: the player is told the display could not start, the run ends with 1 and
// the lock is free again at once.
TEST_F(Application, WithoutADisplayThePlayerIsToldAndTheLockIsLetGo) {
    no_display = true;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Run({kDemo.string(), "-S"}), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("SDL video: no display"), std::string::npos)
        << "the reason for whoever reads stderr";
    ASSERT_EQ(host->scripted_modal().boxes.size(), 1u);
    EXPECT_EQ(host->scripted_modal().boxes[0].caption, u"エラー");
    EXPECT_EQ(host->scripted_modal().boxes[0].text, u"ディスプレイの初期化に失敗しました。");
    EXPECT_EQ(errors, std::vector<std::string>{"ディスプレイの初期化に失敗しました。"});
    EXPECT_TRUE(events.empty()) << "no game ran";
    EXPECT_TRUE(InstanceLock(settings.Path("quibel.lock")).held());
}

// A start that fails before the game runs, with the window or after it opened: the player is
// told the display could not start only when the display is what failed, and FullScreen is
// written back as it was read. The input devices cannot fail to start on this platform; their
// failure is raised where the devices start, as the display's is.
TEST_F(Application, AStartThatFailsEarlyNamesOnlyTheDisplaysFailureAndKeepsFullScreen) {
    enum class Failure { kNoWindow, kDisplay, kSound, kInput };
    const struct {
        Failure failure;
        const char* full_screen;
        bool display_told;
    } cases[] = {
        {Failure::kNoWindow, "1", true}, {Failure::kNoWindow, "0", true}, {Failure::kDisplay, "0", true},
        {Failure::kSound, "1", false},   {Failure::kSound, "0", false},   {Failure::kInput, "1", false},
    };
    const std::string kDisplayFailed = "ディスプレイの初期化に失敗しました。";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.failure)) + " FullScreen=" + c.full_screen);
        std::ofstream(settings / "quibel.ini") << "[quibel]\nFullScreen=" << c.full_screen << "\n";
        no_display = c.failure == Failure::kNoWindow;
        prepare_host = [&c](testhost::TestHost& made) {
            made.test_window().window_mode_works = c.failure != Failure::kDisplay;
        };
        open_audio = [&c](std::uint32_t) -> std::unique_ptr<host::AudioDevice> {
            if (c.failure == Failure::kSound) throw std::runtime_error("the sound could not start");
            if (c.failure == Failure::kInput)
                throw DeviceStartError(DeviceStartError::Device::kInput, "the input devices could not start");
            return nullptr;
        };
        testing::internal::CaptureStderr();
        EXPECT_EQ(Run({kDemo.string(), "-S"}), 1);
        testing::internal::GetCapturedStderr();
        EXPECT_TRUE(events.empty()) << "no game ran";
        bool told = false;
        for (const auto& box : host->scripted_modal().boxes)
            if (Utf16ToUtf8(box.text) == kDisplayFailed) told = box.caption == u"エラー";
        EXPECT_EQ(told, c.display_told);
        EXPECT_EQ(std::count(errors.begin(), errors.end(), kDisplayFailed), c.display_told ? 1 : 0);
        EXPECT_NE(ReadText(settings / "quibel.ini").find(std::string("FullScreen=") + c.full_screen + "\n"),
                  std::string::npos);
    }
}

// -M keeps the span engine on its plain path for the whole run, and the game is drawn by it.
TEST_F(Application, MinusMDrawsTheGameOnThePlainSpanPath) {
    for (const bool plain : {true, false}) {
        SCOPED_TRACE(plain ? "-M" : "no -M");
        std::set<bool> fast_path_used;
        std::uint32_t lit = 0;
        on_event = [&](std::string_view kind) {
            fast_path_used.insert(DxDraw::UseMmx());
            if (kind == "page")
                for (int x = 0; x < 800; x += 4) lit |= host->test_window().Pixel(x, 500) & 0xFFFFFF;
        };
        std::vector<std::string> arguments = {kDemo.string(), "-S"};
        if (plain) arguments.push_back("-M");
        EXPECT_EQ(Run(arguments), 0);
        EXPECT_EQ(fast_path_used, std::set<bool>{!plain && DxDraw::MmxAvailable()});
        EXPECT_NE(lit, 0u) << "the first page drawn";
    }
}

}  // namespace
