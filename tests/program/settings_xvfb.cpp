// The settings dialogs in the game program as the player meets them, watched from another X
// client under xvfb-run: on the first page the menu's "システム設定" shows the system settings
// with the text background's colour in its swatch, Escape, Return or a click outside closes
// its dropped-down face list alone, "Default" paints the swatch anew and OK gives the message
// window the default colour; "サウンド設定" shows the sound settings with their four sliders, and
// Escape leaves them. The colour is in the settings file when F12 has ended the game.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <thread>
#include <vector>

#include "game_program.h"
#include "title_start.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using progtest::Box;
using progtest::Pixels;

using progtest::kGameHeight;
using progtest::kGameWidth;
// The grab of a slider in the dialogs' light style, over the slider's white bar.
constexpr std::uint32_t kSliderGrab = 0x6BADFB;

int Red(std::uint32_t p) { return static_cast<int>(p >> 16 & 0xFF); }
int Green(std::uint32_t p) { return static_cast<int>(p >> 8 & 0xFF); }
int Blue(std::uint32_t p) { return static_cast<int>(p & 0xFF); }
bool Light(std::uint32_t p) { return Red(p) > 200 && Green(p) > 200 && Blue(p) > 200; }
bool Dark(std::uint32_t p) { return Red(p) < 100 && Green(p) < 100 && Blue(p) < 100; }

using progtest::ReadText;

// Where the pixels of one colour lie in a grab: their count and bounds.
struct Patch {
    int count = 0, left = 0, top = 0, right = -1, bottom = -1;
};
Patch Find(const Pixels& pixels, const std::function<bool(std::uint32_t)>& test) {
    Patch patch;
    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x) {
            if (!test(pixels.At(x, y))) continue;
            if (patch.count++ == 0) patch.left = patch.right = x, patch.top = patch.bottom = y;
            patch.left = std::min(patch.left, x), patch.right = std::max(patch.right, x);
            patch.top = std::min(patch.top, y), patch.bottom = std::max(patch.bottom, y);
        }
    return patch;
}
std::function<bool(std::uint32_t)> Exactly(std::uint32_t rgb) {
    return [rgb](std::uint32_t p) { return (p & 0xFFFFFF) == rgb; };
}

class SettingsProgram : public progtest::GameProgramTest {
protected:
    SettingsProgram() : GameProgramTest("settings_xvfb") {}

    // The game picture below the menu bar, in a window 800 pixels wide.
    Box PictureBox() const {
        const Box frame = x.Geometry(window);
        return Box{frame.x, frame.y + frame.height - kGameHeight, kGameWidth, kGameHeight};
    }
    Pixels Picture() const { return Game(Box{0, 0, kGameWidth, kGameHeight}); }
    // The message window's ground on the first page, right of its text.
    std::uint32_t Ground() const { return Picture().At(760, 470) & 0xFFFFFF; }

    // Opens the "システム" popup and picks its item `index` (0 "描画速度", 2 "サウンド設定", 3
    // "システム設定"): the items are told apart by their lines of text on the popup's ground.
    bool PickSystemItem(int index) {
        const Box frame = x.Geometry(window);
        const int bar = frame.height - kGameHeight;
        x.Click(frame.x + 32, frame.y + bar / 2);
        std::vector<int> lines;  // the middle of each line of text, in window rows
        const bool shown = AwaitGame([&] {
            const Pixels popup = x.Grab(Box{frame.x, frame.y + bar, 200, 260});
            lines.clear();
            int top = -1;
            for (int y = 0; y <= popup.height; ++y) {
                bool text = false;
                if (y < popup.height && Light(popup.At(10, y)))
                    for (int px = 14; px < 110 && !text; ++px) text = Dark(popup.At(px, y));
                if (text && top < 0) top = y;
                // A gap of a few rows ends a line; the glyphs of one line have none that wide.
                if (!text && top >= 0) {
                    bool gap = true;
                    for (int k = y; k < std::min(y + 3, popup.height); ++k)
                        for (int px = 14; px < 110 && gap; ++px) gap = !Dark(popup.At(px, k)) && Light(popup.At(10, k));
                    if (gap) {
                        lines.push_back(bar + (top + y) / 2);
                        top = -1;
                    }
                }
            }
            return lines.size() >= 6;
        });
        if (!shown) return false;
        x.Click(frame.x + 50, frame.y + lines[static_cast<std::size_t>(index)]);
        return true;
    }
};

TEST_F(SettingsProgram, BothDialogsShowFromTheMenuAndTheDefaultColourReachesTheMessageWindow) {
    ASSERT_TRUE(StartGame()) << Errors();
    ASSERT_TRUE(StartNewGame(x, window, progtest::kProgramDeadline)) << Errors();
    // The first page: the ground of the sample's colour, 64,64,240 at 160 over black.
    ASSERT_TRUE(AwaitGame([&] {
        const std::uint32_t g = Ground();
        return Blue(g) > 130 && Red(g) >= 35 && Red(g) <= 45;
    })) << Errors();

    // The system settings: the swatch of the live colour, some 100 x 100 pixels.
    ASSERT_TRUE(PickSystemItem(3)) << "no popup";
    Patch swatch;
    ASSERT_TRUE(AwaitGame([&] { return (swatch = Find(Picture(), Exactly(0x4040F0))).count >= 90 * 90; }))
        << "no swatch of 64,64,240";
    EXPECT_LE(swatch.right - swatch.left, 101);
    {
        // The four colour sliders left of the swatch stand upright with the brightest at the
        // top: the blue one's grab (240) highest, then the opacity's (160), red and green (64)
        // level with each other below.
        const Pixels shown = Picture();
        std::vector<std::pair<int, int>> grabs;  // left and top of each slider's grab
        for (int x = 0; x < swatch.left; ++x) {
            int top = -1;
            for (int y = swatch.top - 10; y <= swatch.bottom + 10 && top < 0; ++y)
                if ((shown.At(x, y) & 0xFFFFFF) == kSliderGrab) top = y;
            if (top < 0) continue;
            if (grabs.empty() || x > grabs.back().first + 30) grabs.push_back({x, top});
        }
        ASSERT_EQ(grabs.size(), 4u);
        EXPECT_LT(grabs[2].second, grabs[3].second);
        EXPECT_LT(grabs[3].second, grabs[0].second);
        EXPECT_EQ(grabs[0].second, grabs[1].second);
    }
    // The face list dropped down (the combo box lies 84 pixels left of the swatch and 112 below
    // it) is closed by Escape, by Return and by a click outside it, on "Default": each closes the
    // list alone, and the dialog stays with its colour.
    const Box picture = PictureBox();
    const auto list_shown = [&] {
        const Pixels below = Game(Box{swatch.left - 80, swatch.top + 138, 190, 12});
        return Find(below, [](std::uint32_t p) { return (p & 0xFFFFFF) != 0xF0F0F0; }).count > 190 * 12 / 2;
    };
    for (const unsigned long key :
         std::initializer_list<unsigned long>{progtest::kKeyEscape, progtest::kKeyReturn, 0}) {
        x.Click(picture.x + swatch.left + 16, picture.y + swatch.top + 124);
        ASSERT_TRUE(AwaitGame(list_shown)) << "the face list did not drop down";
        if (key)
            x.Tap({key});
        else
            x.Click(picture.x + swatch.left + 160, picture.y + swatch.top + 13);
        ASSERT_TRUE(AwaitGame([&] { return !list_shown(); })) << "the face list stayed";
        std::this_thread::sleep_for(300ms);
        EXPECT_GE(Find(Picture(), Exactly(0x4040F0)).count, 90 * 90) << std::hex << key << " went on to the dialog";
    }
    // "Default" stands right of the swatch: the swatch turns 32,32,240.
    x.Click(picture.x + swatch.left + 160, picture.y + swatch.top + 13);
    ASSERT_TRUE(AwaitGame([&] { return Find(Picture(), Exactly(0x2020F0)).count >= 90 * 90; })) << "not repainted";
    // Return is OK: the dialog goes and the ground takes the colour (32,32,240 at 160: 20,20,150).
    x.Press({progtest::kKeyReturn});
    EXPECT_TRUE(AwaitGame([&] {
        const std::uint32_t g = Ground();
        return Find(Picture(), Exactly(0x2020F0)).count == 0 && Red(g) >= 15 && Red(g) <= 25 && Blue(g) > 130;
    })) << std::hex
        << Ground();
    x.Release({progtest::kKeyReturn});

    // The sound settings: four horizontal sliders, their grabs in the middle at 50 percent.
    ASSERT_TRUE(PickSystemItem(2)) << "no popup";
    Patch grabs;
    ASSERT_TRUE(AwaitGame([&] { return (grabs = Find(Picture(), Exactly(kSliderGrab))).count >= 4 * 40; }))
        << "no sliders";
    EXPECT_GT(grabs.bottom - grabs.top, 100) << "four rows of sliders";
    EXPECT_LT(grabs.right - grabs.left, 40) << "all at the same place";
    EXPECT_NEAR((grabs.left + grabs.right) / 2, 433, 10) << "in the middle of their bars (277 to 589)";
    x.Press({0xFF1B});  // Escape
    EXPECT_TRUE(AwaitGame([&] { return Find(Picture(), Exactly(kSliderGrab)).count == 0; }));
    x.Release({0xFF1B});

    x.Press({progtest::kKeyF12});
    EXPECT_EQ(game->Wait(progtest::kProgramDeadline), 0) << Errors();
    x.Release({progtest::kKeyF12});
    const std::string text = ReadText(settings / "quibel.ini");
    EXPECT_NE(text.find("\nBaseColor=32,32,240,160\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nMainVolume=50\n"), std::string::npos) << text;
}

}  // namespace
