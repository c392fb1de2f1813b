// The game program's start as the player meets it, watched from another X client under
// xvfb-run: its window carries the program's icon; without a display it says so and ends at
// once, letting go of the lock; the off-screen driver serves only when named; and what goes
// wrong before the window opens (a lock that cannot be taken, a settings folder that cannot be
// made, a missing response file) is shown in a box of its own, and on stderr, with exit code 1.
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "game_program.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using progtest::ChildProcess;

constexpr auto kDeadline = progtest::kProgramDeadline;
constexpr char kTitle[] = "Saffronwake 体験版";

class StartupProgram : public progtest::GameProgramTest {
protected:
    StartupProgram() : GameProgramTest("startup_xvfb") {}

    // The game on the sample data in a window with `options` after it, its settings in
    // `settings_folder` (the test's own by default) and `environment` besides; no waiting.
    void Launch(const std::vector<std::string>& options, std::vector<std::string> environment = {},
                const fs::path& settings_folder = {}) {
        std::vector<std::string> command = {QUIBEL_PROGRAM, DEMO_DATA_DIR, "-W"};
        command.insert(command.end(), options.begin(), options.end());
        environment.push_back("QUIBEL_SETTINGS_DIR=" + (settings_folder.empty() ? settings : settings_folder).string());
        game.reset();
        game = std::make_unique<ChildProcess>(command, environment, (folder / "errors.txt").string());
    }
};

// The icon the window manager gets: the lighthouse's square, its corners clear, its middle
// opaque, the lantern lit and the tower's red bands on it.
TEST_F(StartupProgram, TheWindowCarriesTheProgramsIcon) {
    ASSERT_TRUE(StartGame()) << Errors();
    const progtest::Icon icon = x.WindowIcon(window);
    ASSERT_EQ(icon.width, 64);
    ASSERT_EQ(icon.height, 64);
    EXPECT_EQ(icon.At(0, 0) >> 24, 0u);
    EXPECT_EQ(icon.At(63, 63) >> 24, 0u);
    EXPECT_EQ(icon.At(32, 32) >> 24, 0xFFu);
    int red = 0, yellow = 0;
    for (const std::uint32_t p : icon.argb) {
        const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
        red += r > 180 && g < 120 && b < 120;
        yellow += r > 200 && g > 200 && b < 190;
    }
    EXPECT_GT(red, 40) << "the tower's bands";
    EXPECT_GT(yellow, 20) << "the lantern";
    x.Press({progtest::kKeyF12});
    EXPECT_EQ(game->Wait(kDeadline), 0) << Errors();
    x.Release({progtest::kKeyF12});
}

// With no display to reach and no driver named, the game does not run unseen: it says why and
// ends with 1 at once, and the next start finds the lock free. The off-screen driver, named,
// runs the game without a window (tests may want that) until it is told to end.
TEST_F(StartupProgram, WithoutADisplayTheGameEndsAtOnceAndTellsWhy) {
    const std::vector<std::string> no_display = {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER="};
    Launch({}, no_display);
    EXPECT_EQ(game->Wait(kDeadline), 1) << Errors();
    EXPECT_NE(Errors().find("ディスプレイの初期化に失敗しました。"), std::string::npos) << Errors();
    EXPECT_NE(Errors().find("no display"), std::string::npos) << Errors();

    ASSERT_TRUE(StartGame()) << "the lock was left behind\n" << Errors();
    game->Signal(SIGTERM);
    EXPECT_EQ(game->Wait(kDeadline), 0) << Errors();

    Launch({}, {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=offscreen"});
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(game->Running()) << Errors();
    EXPECT_EQ(x.FindWindow(game->pid()), 0u);
    game->Signal(SIGTERM);
    EXPECT_EQ(game->Wait(kDeadline), 0) << Errors();
}

// Each failure before the window opens puts up a box of its own on the desktop, captioned as
// the game captions it, with the reason on stderr after one label (the caption, unless the text
// opens with its own); Return answers it and the game ends with 1.
TEST_F(StartupProgram, ErrorsBeforeTheWindowOpensAreShownInABox) {
    fs::create_directories(folder / "locked");
    fs::create_directory(folder / "locked" / "quibel.lock");  // a folder where the lock file goes
    std::ofstream(folder / "a file") << "not a folder";
    const struct {
        const char* name;
        std::vector<std::string> options;
        fs::path settings_folder;
        const char* caption;
        std::string printed;
    } cases[] = {
        {"the lock is a folder",
         {},
         folder / "locked",
         "エラー",
         "エラー: ロックファイルを使用できません。(" + (folder / "locked" / "quibel.lock").string() +
             ": Is a directory)"},
        {"the settings folder cannot be made",
         {},
         folder / "a file" / "settings",
         "エラー",
         "Error: 無効なディレクトリ名です。(" + (folder / "a file" / "settings").string()},
        {"a missing response file",
         {"@" + (folder / "none.txt").string()},
         {},
         "Error",
         "Error: File not found '" + (folder / "none.txt").string() + "'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Launch(c.options, {}, c.settings_folder);
        progtest::WindowId box = 0;
        ASSERT_TRUE(AwaitGame([&] { return (box = x.FindWindowTitled(c.caption)) != 0; })) << "no box\n" << Errors();
        EXPECT_NE(Errors().find(c.printed), std::string::npos) << Errors();
        EXPECT_EQ(Errors().find("Error: Error"), std::string::npos) << Errors();
        EXPECT_EQ(Errors().find("エラー: Error"), std::string::npos) << Errors();
        EXPECT_EQ(x.FindWindowTitled(kTitle), 0u) << "no game window";
        x.Focus(box);
        x.Tap({progtest::kKeyReturn});
        EXPECT_EQ(game->Wait(kDeadline), 1) << Errors();
    }
}

}  // namespace
