// The debug window in the game program started with -D, watched from another X client under
// xvfb-run: on the sample game's first page the menu bar's third popup, "デバッグ", offers
// "変数表示"; a click opens the debug window centred over the picture, Escape closes it and the
// story's page is back as it was, and F12 ends the game. Only what the X server shows is looked
// at and only what a mouse and a keyboard send goes in.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "game_program.h"
#include "title_start.h"

namespace {

using namespace std::chrono_literals;
using progtest::Box;
using progtest::Pixels;

constexpr unsigned long kKeyEscape = 0xFF1B;
// The window's size in dialog pixels (its own layout, its title bar not counted).
constexpr int kDialogWidth = 520, kDialogHeight = 390;
using progtest::kGameHeight;
using progtest::kGameWidth;
using progtest::WaitUntil;

int Max(std::uint32_t p) { return std::max({p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF}); }
int Min(std::uint32_t p) { return std::min({p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF}); }
bool Dark(std::uint32_t p) { return Max(p) < 100; }
bool Light(std::uint32_t p) { return Min(p) > 200; }
bool Black(std::uint32_t p) { return p == 0; }
// The message window's ground: the settings' blue over the black first picture.
bool Ground(std::uint32_t p) { return static_cast<int>(p & 0xFF) - static_cast<int>(p >> 16 & 0xFF) >= 80; }

int Count(const Pixels& pixels, const std::function<bool(std::uint32_t)>& test) {
    return static_cast<int>(std::count_if(pixels.rgb.begin(), pixels.rgb.end(), test));
}

// The bounding box, in the grab's own pixels, of the pixels that pass `test`; empty for none.
Box Bounds(const Pixels& pixels, const std::function<bool(std::uint32_t)>& test) {
    int left = pixels.width, top = pixels.height, right = -1, bottom = -1;
    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x)
            if (test(pixels.At(x, y))) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    return right < 0 ? Box{} : Box{left, top, right - left + 1, bottom - top + 1};
}

class DebugWindowProgram : public progtest::GameProgramTest {
protected:
    DebugWindowProgram() : GameProgramTest("debug_window_xvfb") {}

    // The game picture's rectangle (left, top)-(right, bottom) in game pixels, as shown.
    Pixels Game(int left, int top, int right, int bottom) const {
        return GameProgramTest::Game(Box{left, top, right - left, bottom - top});
    }
    // The first page: the message window's ground across the bottom, the picture above it black.
    bool FirstPageShown() const {
        const Pixels ground = Game(0, 470, 740, 590), above = Game(0, 0, kGameWidth, 380);
        return !ground.rgb.empty() && Count(ground, Ground) > static_cast<int>(ground.rgb.size()) * 7 / 10 &&
               Count(above, Black) == static_cast<int>(above.rgb.size());
    }
    // A click of the left button at a point of the window (window pixels, the menu bar's included).
    void ClickAt(int left, int top) {
        const Box frame = x.Geometry(window);
        x.MovePointer(frame.x + left, frame.y + top);
        std::this_thread::sleep_for(150ms);
        x.PressPointer(true);
        std::this_thread::sleep_for(150ms);
        x.PressPointer(false);
    }
};

TEST_F(DebugWindowProgram, TheMenuOpensTheDebugWindowCentredOverTheStory) {
    ASSERT_TRUE(StartGame({"-D"})) << Errors();
    ASSERT_TRUE(StartNewGame(x, window, progtest::kProgramDeadline)) << Errors();
    ASSERT_TRUE(WaitUntil([&] { return FirstPageShown() || !game->Running(); }) && game->Running()) << Errors();

    // The menu bar: three popups, dark labels on a light bar; the rightmost label is "デバッグ".
    const Box frame = x.Geometry(window);
    const int bar = frame.height - kGameHeight;
    ASSERT_GT(bar, 10) << "a menu bar above the picture";
    const Box labels = Bounds(x.Grab(Box{frame.x, frame.y, frame.width, bar}), Dark);
    ASSERT_GT(labels.width, 150) << "three popup labels";
    ClickAt(labels.x + labels.width - 32, bar / 2);

    // Its popup drops below the bar over the black picture, with its one item.
    Box item;
    ASSERT_TRUE(WaitUntil([&] {
        const Pixels below = x.Grab(Box{frame.x, frame.y + bar, frame.width, 120});
        const Box popup = Bounds(below, Light);
        if (popup.width < 40) return false;
        Pixels inside;
        inside.width = popup.width, inside.height = popup.height;
        for (int y = popup.y; y < popup.y + popup.height; ++y)
            for (int x = popup.x; x < popup.x + popup.width; ++x) inside.rgb.push_back(below.At(x, y));
        const Box text = Bounds(inside, Dark);
        item = Box{popup.x + text.x, bar + popup.y + text.y, text.width, text.height};
        return text.width > 40;
    })) << "no popup";
    EXPECT_GT(item.x + item.width / 2, labels.x + labels.width / 2 - 120) << "below the third label";
    ClickAt(item.x + item.width / 2, item.y + item.height / 2);

    // The window: a light panel kDialogWidth wide (its frame's dark edge aside), centred over the
    // picture, with its labels and fields drawn in it; the picture around it stays black. Its
    // lower part, over the message window, is not looked at: the message's white text is there.
    Box panel;
    ASSERT_TRUE(WaitUntil([&] {
        panel = Bounds(Game(0, 0, kGameWidth, 440), Light);
        return panel.width >= kDialogWidth - 4 && panel.height > 300;
    })) << "no debug window";
    std::this_thread::sleep_for(300ms);  // settled
    panel = Bounds(Game(0, 0, kGameWidth, 440), Light);
    EXPECT_NEAR(panel.width, kDialogWidth, 4);
    EXPECT_NEAR(panel.x + panel.width / 2, kGameWidth / 2, 4) << "centred across the picture";
    EXPECT_NEAR(panel.y, (kGameHeight - kDialogHeight) / 2, 24) << "centred down the picture, its title bar above";
    const Pixels shot = Game(panel.x, panel.y, panel.x + panel.width, panel.y + panel.height);
    EXPECT_GT(Count(shot, Light), static_cast<int>(shot.rgb.size()) / 2) << "a light panel";
    EXPECT_GT(Count(shot, Dark), 2000) << "labels, buttons and fields drawn on it";
    // The page information's seven rows, "行番号" to ".S2", in the labels' column (over the
    // message window's ground, which is not dark, for the last rows).
    const Pixels column = Game(panel.x + 20, panel.y + 200, panel.x + 80, panel.y + 370);
    EXPECT_GT(Bounds(column, Dark).height, 7 * 18) << "seven rows of page information";
    const Pixels corner = Game(0, 0, panel.x - 10, 80);
    EXPECT_EQ(Count(corner, Black), static_cast<int>(corner.rgb.size())) << "the picture around it";

    // Escape closes it: the picture is the first page again, still waiting.
    x.Press({kKeyEscape});
    const bool closed = WaitUntil([&] { return FirstPageShown() || !game->Running(); });
    x.Release({kKeyEscape});
    EXPECT_TRUE(closed && game->Running()) << Errors();

    x.Press({progtest::kKeyF12});
    const std::optional<int> status = game->Wait(progtest::kProgramDeadline);
    x.Release({progtest::kKeyF12});
    EXPECT_EQ(status, 0) << Errors();
}

}  // namespace
