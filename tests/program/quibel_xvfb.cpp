// The game program as the player meets it, watched from another X client under xvfb-run: the
// sample game's title leads by its new game to the first page in the window, Alt+Return lays the
// picture over the whole screen and brings the window back, the close box asks before it ends
// anything, F12 and SIGTERM end the game with exit code 0 and the settings written back, a second
// start gives way to the first, and missing data is named. Nothing here reaches into the program:
// it is started as a process, sees only what the X server shows, and gets only what a keyboard, a
// mouse and a window manager send.
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <thread>

#include "child_process.h"
#include "game_program.h"
#include "support/temp_folder.h"
#include "title_start.h"
#include "x_client.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using progtest::Box;
using progtest::ChildProcess;
using progtest::Pixels;
using progtest::XClient;

const std::string kQuibel = QUIBEL_PROGRAM;
const std::string kDemo = DEMO_DATA_DIR;
constexpr char kTitle[] = "Saffronwake 体験版";
constexpr auto kDeadline = progtest::kProgramDeadline;
constexpr auto kKeyPress = 200ms;  // how long a player's finger rests on a key, about

using progtest::ReadText;
using progtest::WaitUntil;

// The game picture (800 x 600) as the screen shows it, looked at in game pixels wherever the
// window puts it and whatever its scale.
class Picture {
public:
    Picture(const XClient& x, const Box& window) {
        if (window.width == 800 && window.height > 600) {
            box_ = Box{window.x, window.y + window.height - 600, 800, 600};  // below the menu bar
        } else {  // full screen: the largest 4:3 picture that fits, centred
            const int width = std::min(window.width, window.height * 4 / 3), height = width * 3 / 4;
            box_ = Box{window.x + (window.width - width) / 2, window.y + (window.height - height) / 2, width, height};
        }
        pixels_ = x.Grab(box_);
    }

    // False when the window is gone (or not yet there): nothing was read.
    bool read() const { return !pixels_.rgb.empty(); }

    // How many screen pixels within the game rectangle (left, top)-(right, bottom) pass `test`.
    int Count(int left, int top, int right, int bottom, const std::function<bool(std::uint32_t)>& test) const {
        if (pixels_.rgb.empty()) return 0;
        int n = 0;
        for (int y = top * box_.height / 600; y < bottom * box_.height / 600; ++y)
            for (int x = left * box_.width / 800; x < right * box_.width / 800; ++x) n += test(pixels_.At(x, y));
        return n;
    }
    // The screen pixels within a game rectangle, as they are.
    Pixels Part(int left, int top, int right, int bottom) const {
        Pixels part;
        if (!read()) return part;
        for (int y = top * box_.height / 600; y < bottom * box_.height / 600; ++y, ++part.height)
            for (int x = left * box_.width / 800; x < right * box_.width / 800; ++x)
                part.rgb.push_back(pixels_.At(x, y));
        part.width = part.height ? static_cast<int>(part.rgb.size()) / part.height : 0;
        return part;
    }
    int Area(int left, int top, int right, int bottom) const {
        return (right * box_.width / 800 - left * box_.width / 800) *
               (bottom * box_.height / 600 - top * box_.height / 600);
    }

private:
    Box box_;
    Pixels pixels_;
};

int Red(std::uint32_t p) { return static_cast<int>(p >> 16 & 0xFF); }
int Green(std::uint32_t p) { return static_cast<int>(p >> 8 & 0xFF); }
int Blue(std::uint32_t p) { return static_cast<int>(p & 0xFF); }
// The message text: white glyphs (their edges blend into the ground, so only the bright cores).
bool TextPixel(std::uint32_t p) {
    const int low = std::min({Red(p), Green(p), Blue(p)}), high = std::max({Red(p), Green(p), Blue(p)});
    return low >= 200 && high - low <= 24;
}
// The message window's ground: the settings' base colour 64,64,240 at 160/255 over the black
// first picture, 40,40,150.
bool GroundPixel(std::uint32_t p) { return Blue(p) - Red(p) >= 80; }
bool Lit(std::uint32_t p) { return p != 0; }

// The first page: the message window's ground across the bottom and its three lines of text
// ("夏の終わりの匂いがした。" and two more) all written, each line a band 34 pixels high.
bool FirstPageShown(const Picture& picture) {
    if (picture.Count(0, 470, 740, 590, GroundPixel) < picture.Area(0, 470, 740, 590) * 7 / 10) return false;
    for (int top : {478, 512, 548})
        if (picture.Count(0, top, 740, top + 34, TextPixel) < 500) return false;
    return true;
}

// The title gone to black: its sky dark.
bool TitleGone(const Picture& picture) { return picture.read() && picture.Count(100, 20, 400, 80, Lit) == 0; }

// The picture's upper part, black on the first page: where a question box appears.
int LitAboveTheWindow(const Picture& picture) { return picture.Count(200, 200, 600, 380, Lit); }
bool QuestionShown(const Picture& picture) { return picture.read() && LitAboveTheWindow(picture) > 2000; }
bool QuestionGone(const Picture& picture) { return picture.read() && LitAboveTheWindow(picture) == 0; }

// The page cursor blinking at the message window's bottom right corner.
Pixels PageCursor(const Picture& picture) { return picture.Part(752, 558, 778, 588); }

// The settings file's keys in the order they are written.
std::vector<std::string> SettingsKeys(const std::string& text) {
    std::vector<std::string> keys;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '[') keys.push_back(line.substr(0, line.find('=')));
    return keys;
}

const std::vector<std::string> kSettingsKeys = {
    "FullScreen",  "DisplaySpeed", "TextSkip1",     "TextSkip2",  "BaseColor",   "FontName",   "EnableVoice",
    "EnableBgm",   "EnableSe",     "MainVolume",    "BgmVolume",  "VoiceVolume", "SeVolume",   "SkipFrame",
    "RefreshRate", "SoundFreq",    "SoundPriority", "StreamSize", "MessageWait", "MessageSkip"};

void ExpectSettingsWrittenBack(const fs::path& folder) {
    const std::string text = ReadText(folder / "quibel.ini");
    EXPECT_EQ(SettingsKeys(text), kSettingsKeys) << text;
    EXPECT_NE(text.find("\nFullScreen=0\n"), std::string::npos) << "left in a window\n" << text;
}

class QuibelProgram : public ::testing::Test {
protected:
    QuibelProgram() { fs::create_directories(settings); }

    // The game on `data` in a window, with the settings (and the lock) in the test's folder and
    // its stderr in `errors` there.
    std::unique_ptr<ChildProcess> Start(const std::string& data, const std::string& errors = "errors.txt") const {
        return std::make_unique<ChildProcess>(std::vector<std::string>{kQuibel, data, "-W"},
                                              std::vector<std::string>{"QUIBEL_SETTINGS_DIR=" + settings.string()},
                                              (folder / errors).string());
    }
    std::string Errors(const std::string& errors = "errors.txt") const { return ReadText(folder / errors); }

    // The game's window once it is shown, with the keyboard given to it; 0 when it never shows.
    progtest::WindowId WindowOf(ChildProcess& process) {
        progtest::WindowId found = 0;
        WaitUntil([&] { return (found = x.FindWindow(process.pid())) != 0 || !process.Running(); });
        if (found) x.Focus(found);
        return found;
    }
    // Waits until the screen shows `state`; false at once when the game has ended.
    bool Await(const std::function<bool()>& state) {
        bool reached = false;
        WaitUntil([&] { return (reached = state()) || !game->Running(); });
        return reached;
    }
    // Keys go down and stay down until `state` holds (or the game ends), then come up: a key the
    // game reads from its keyboard state must be down over one of its frames, however slow the
    // machine. They stay down a player's short press at least, so that a key still held after
    // what it was meant for is seen where it must not do anything more.
    bool HoldUntil(std::initializer_list<unsigned long> keys, const std::function<bool()>& state) {
        const auto pressed = std::chrono::steady_clock::now();
        x.Press(keys);
        const bool reached = Await(state);
        if (reached) std::this_thread::sleep_until(pressed + kKeyPress);
        x.Release(keys);
        return reached;
    }
    Picture Shown() const { return Picture(x, x.Geometry(window)); }

    XClient x;
    testsupport::TempFolder folder{"quibel_xvfb"};
    const fs::path settings = folder / "settings";
    std::unique_ptr<ChildProcess> game;
    progtest::WindowId window = 0;
};

TEST_F(QuibelProgram, ShowsTheFirstPageSwitchesToFullScreenAsksOnCloseAndQuitsOnF12) {
    game = Start(kDemo);
    ASSERT_NE(window = WindowOf(*game), 0u) << Errors();
    EXPECT_EQ(x.Title(window), kTitle);

    // The brand splash, the title, where a click on new game starts the story: the first page in
    // the message window.
    ASSERT_TRUE(StartNewGame(x, window, kDeadline)) << Errors();
    const Box windowed = x.Geometry(window);
    ASSERT_TRUE(Await([&] { return TitleGone(Shown()); })) << "the title stayed";
    ASSERT_TRUE(Await([&] { return FirstPageShown(Shown()); })) << Errors();
    EXPECT_EQ(windowed.width, 800);
    EXPECT_GT(windowed.height, 600) << "the menu bar above the picture";
    x.MovePointer(windowed.x + 400, windowed.y + windowed.height / 3);  // over the picture, away from its edges

    {
        // Alt+Return: the window covers the screen, the picture scaled to it (4:3 on 4:3) with
        // the page as it was; again: the window of before, where it was, the page still the first. The game
        // asks the window manager for the full screen, as on any desktop; Xvfb has none of its own.
        const progtest::StandInWindowManager window_manager;
        const Box screen = x.Screen();
        ASSERT_TRUE(HoldUntil({progtest::kKeyAltLeft, progtest::kKeyReturn}, [&] {
            return x.Geometry(window) == screen;
        })) << "not full screen";
        EXPECT_TRUE(Await([&] { return FirstPageShown(Shown()); })) << "the page scaled to the screen";
        const Picture full = Shown();
        EXPECT_EQ(full.Count(0, 380, 800, 396, Lit), 0) << "the black picture above the message window";
        EXPECT_GT(full.Count(790, 420, 800, 440, GroundPixel), full.Area(790, 420, 800, 440) * 9 / 10)
            << "the message window reaches the screen's right edge";

        ASSERT_TRUE(HoldUntil({progtest::kKeyAltLeft, progtest::kKeyReturn}, [&] {
            const Box back = x.Geometry(window);
            return back.width == windowed.width && back.height == windowed.height;
        })) << "not back in a window";
        EXPECT_TRUE(Await([&] { return x.Geometry(window) == windowed; })) << "not back where it was";
        EXPECT_TRUE(Await([&] { return FirstPageShown(Shown()); }));
    }

    // The close box asks; Return answers its default, No, and the game goes on: the same page,
    // its cursor still blinking.
    ASSERT_TRUE(Await([&] { return QuestionGone(Shown()); })) << "the picture above the message window is not black";
    x.RequestClose(window);
    ASSERT_TRUE(Await([&] { return QuestionShown(Shown()); })) << "no question";
    ASSERT_TRUE(HoldUntil({progtest::kKeyReturn}, [&] { return QuestionGone(Shown()); }))
        << (game->Running() ? "the question stayed" : "Return answered Yes");
    for (int blink = 0; blink < 3; ++blink) {
        const Pixels before = PageCursor(Shown());
        ASSERT_TRUE(Await([&] { return PageCursor(Shown()).rgb != before.rgb; })) << "the picture stands still";
    }
    EXPECT_TRUE(FirstPageShown(Shown())) << "the answer reached the game too";

    // F12 ends the game at once and in order.
    ASSERT_TRUE(HoldUntil({progtest::kKeyF12}, [&] { return !game->Running(); })) << "F12 did not quit";
    EXPECT_EQ(game->Wait(0ms), 0) << Errors();
    ExpectSettingsWrittenBack(settings);
}

TEST_F(QuibelProgram, SigtermEndsARunningGameInOrder) {
    game = Start(kDemo);
    ASSERT_NE(window = WindowOf(*game), 0u) << Errors();
    ASSERT_TRUE(Await([&] { return Shown().Count(0, 0, 800, 600, Lit) > 0; })) << "no splash";
    game->Signal(SIGTERM);
    EXPECT_EQ(game->Wait(kDeadline), 0) << Errors();
    ExpectSettingsWrittenBack(settings);
}

TEST_F(QuibelProgram, ASecondStartGivesWayToTheRunningGame) {
    game = Start(kDemo);
    ASSERT_NE(WindowOf(*game), 0u) << "the lock is taken before the window opens";
    const auto second = Start(kDemo, "second.txt");
    EXPECT_EQ(second->Wait(kDeadline), 0);
    EXPECT_NE(Errors("second.txt").find("another instance is running"), std::string::npos) << Errors("second.txt");
    EXPECT_TRUE(game->Running());
}

TEST_F(QuibelProgram, MissingDataIsNamedAndEndsWithAnError) {
    const fs::path empty = folder / "empty";
    fs::create_directories(empty);
    game = Start(empty.string());
    // The error is on stderr at once and in a box in the window, which waits for its OK.
    ASSERT_TRUE(Await([&] { return Errors().find("system.saf") != std::string::npos; })) << Errors();
    EXPECT_NE(Errors().find("データがありません。(" + empty.string() + "/system.saf)"), std::string::npos) << Errors();
    ASSERT_NE(window = WindowOf(*game), 0u);
    EXPECT_TRUE(HoldUntil({progtest::kKeyReturn}, [&] { return !game->Running(); })) << "the box stayed";
    EXPECT_EQ(game->Wait(0ms), 1);
}

}  // namespace
