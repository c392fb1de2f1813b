// The game program's input as the player meets it, watched from another X client under
// xvfb-run: keys and buttons pressed and let go back to back, quicker than a frame, as a touchpad
// taps and a quick finger types, still reach the title, the page wait and the buttons of a box;
// each tap of Up or Down scrolls the backlog a line; the page wait's buttons light under the
// pointer and dim when it leaves; F12 tapped on the title quits; SIGTERM ends the game while a box
// or a dialog is open.
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "game_program.h"
#include "title_start.h"

namespace {

using namespace std::chrono_literals;
using progtest::Box;
using progtest::Pixels;

constexpr auto kDeadline = progtest::kProgramDeadline;

// The ground of the light style's windows and boxes, 0.94 grey: what the modal layer draws.
constexpr std::uint32_t kModalGround = 0xF0F0F0;
// A box's buttons: the light style's button blue at 40 % over that ground, and under the pointer.
constexpr std::uint32_t kButton = 0xAACCF4, kButtonHovered = 0x4296FA;

bool Near(std::uint32_t p, std::uint32_t q) {
    for (int shift : {0, 8, 16})
        if (std::abs(static_cast<int>(p >> shift & 0xFF) - static_cast<int>(q >> shift & 0xFF)) > 3) return false;
    return true;
}

class InputProgram : public progtest::GameProgramTest {
protected:
    InputProgram() : GameProgramTest("input_xvfb") {}

    Pixels Text() const { return Game(Box{0, 478, 740, 104}); }
    Pixels PageCursor() const { return Game(Box{752, 558, 26, 30}); }
    // How many pixels of the middle of the picture are the modal layer's ground.
    int ModalShown() const {
        int n = 0;
        for (const std::uint32_t p : Game(Box{150, 150, 500, 300}).rgb) n += (p & 0xFFFFFF) == kModalGround;
        return n;
    }
    bool BoxShown() const { return ModalShown() > 2000; }
    bool BoxGone() const { return ModalShown() == 0; }
    // The page waits: its text stands still while the page cursor blinks.
    bool PageWaits() const {
        const Pixels text = Text(), cursor = PageCursor();
        if (!progtest::WaitUntil([&] { return PageCursor().rgb != cursor.rgb; }, 3s)) return false;
        return Text().rgb == text.rgb;
    }
    // Return tapped at each page wait turns exactly that page, and the next one waits.
    void TurnPages(int count) {
        for (int page = 0; page < count; ++page) {
            SCOPED_TRACE("page " + std::to_string(page + 1));
            const Pixels before = Text();
            x.Tap({progtest::kKeyReturn});
            ASSERT_TRUE(AwaitGame([&] { return Text().rgb != before.rgb; })) << "the tapped Return was lost";
            ASSERT_TRUE(AwaitGame([&] { return PageWaits(); }));
        }
    }
    // The title waits for its menu: new game lights under the pointer.
    bool TitleWaits() {
        const Box frame = x.Geometry(window);
        x.MovePointer(frame.x + 644, frame.y + frame.height - progtest::kGameHeight + 368);
        return progtest::MenuButtonLit(x, window, progtest::kNewGameRow);
    }
    // The left of a box's two buttons, in screen pixels; empty when none is shown.
    Box LeftButton() const {
        const Box frame = x.Geometry(window);
        const Box area{150, 150, 500, 300};
        const Pixels pixels = Game(area);
        auto button = [&](int x, int y) {
            return Near(pixels.At(x, y), kButton) || Near(pixels.At(x, y), kButtonHovered);
        };
        std::vector<bool> columns(static_cast<std::size_t>(pixels.width));
        for (int y = 0; y < pixels.height; ++y)
            for (int x = 0; x < pixels.width; ++x) columns[static_cast<std::size_t>(x)] = columns[x] || button(x, y);
        // The first run of columns with button pixels, left to right: the two buttons lie apart.
        int left = 0;
        while (left < pixels.width && !columns[static_cast<std::size_t>(left)]) ++left;
        int right = left;
        while (right + 1 < pixels.width && columns[static_cast<std::size_t>(right + 1)]) ++right;
        if (right - left < 20) return {};
        int top = pixels.height, bottom = -1;
        for (int y = 0; y < pixels.height; ++y)
            if (button((left + right) / 2, y)) top = std::min(top, y), bottom = std::max(bottom, y);
        if (bottom < top) return {};
        return Box{frame.x + area.x + left, frame.y + frame.height - progtest::kGameHeight + area.y + top,
                   right - left + 1, bottom - top + 1};
    }
};

TEST_F(InputProgram, TapsReachTheTitleThePageWaitAndTheButtonsOfABox) {
    ASSERT_TRUE(StartGame()) << Errors();
    // The title's new game, tapped: the story begins and its first page waits.
    ASSERT_TRUE(ClickMenuButton(x, window, progtest::kNewGameRow, kDeadline, 0ms)) << Errors();
    ASSERT_TRUE(AwaitGame([&] { return PageWaits(); })) << "the tap on new game was lost";

    // The close question, answered by Return tapped: its default, No, and the game goes on.
    x.RequestClose(window);
    ASSERT_TRUE(AwaitGame([&] { return BoxShown(); })) << "no question";
    x.Tap({progtest::kKeyReturn});
    ASSERT_TRUE(AwaitGame([&] { return BoxGone(); })) << "the tapped Return was lost";
    ASSERT_TRUE(AwaitGame([&] { return PageWaits(); }));

    // Return tapped at each page wait turns exactly that page.
    TurnPages(3);

    // The question again, and a tap on its Yes: the game ends in order.
    x.RequestClose(window);
    Box yes;
    ASSERT_TRUE(AwaitGame([&] { return BoxShown() && (yes = LeftButton()).width > 0; })) << "no buttons";
    x.MovePointer(yes.x + yes.width / 2, yes.y + yes.height / 2);
    ASSERT_TRUE(AwaitGame([&] {
        int lit = 0;
        for (const std::uint32_t p : x.Grab(yes).rgb) lit += Near(p, kButtonHovered);
        return lit > yes.width * yes.height / 2;
    })) << "Yes does not light under the pointer";
    x.TapPointer();
    EXPECT_EQ(game->Wait(kDeadline), 0) << "the tap on Yes was lost\n" << Errors();
}

// The message window's five buttons (48 x 24 at x 752, from y 440 down), less the rows the page
// cursor below them blinks over.
Box WindowButton(int k) { return Box{752, 440 + 24 * k, 48, 18}; }

TEST_F(InputProgram, ThePageWaitsButtonsLightUnderThePointerAndDimWhenItLeaves) {
    ASSERT_TRUE(StartGame()) << Errors();
    ASSERT_TRUE(ClickMenuButton(x, window, progtest::kNewGameRow, kDeadline, 0ms)) << Errors();
    ASSERT_TRUE(AwaitGame([&] { return PageWaits(); })) << Errors();
    const Box frame = x.Geometry(window);
    const auto move_to = [&](int gx, int gy) {
        x.MovePointer(frame.x + gx, frame.y + frame.height - progtest::kGameHeight + gy);
    };
    move_to(400, 200);
    ASSERT_TRUE(AwaitGame([&] { return PageWaits(); }));
    std::vector<Pixels> dim;
    for (int k = 0; k < 5; ++k) dim.push_back(Game(WindowButton(k)));
    const auto all_dim = [&] {
        for (int k = 0; k < 5; ++k)
            if (Game(WindowButton(k)).rgb != dim[static_cast<std::size_t>(k)].rgb) return false;
        return true;
    };
    // スキップ (1) is hidden on a page not yet read.
    for (const int k : {0, 2, 3, 4}) {
        SCOPED_TRACE("button " + std::to_string(k));
        move_to(776, 452 + 24 * k);
        EXPECT_TRUE(AwaitGame([&] { return Game(WindowButton(k)).rgb != dim[static_cast<std::size_t>(k)].rgb; }))
            << "not lit under the pointer";
        move_to(400, 200);
        EXPECT_TRUE(AwaitGame(all_dim)) << "still lit after the pointer left";
    }
    // A tap on 履歴 and the pointer away at once, within a frame: the backlog opens (the page does
    // not turn); once it is closed, 履歴 is dim again.
    move_to(776, 452);
    ASSERT_TRUE(AwaitGame([&] { return Game(WindowButton(0)).rgb != dim[0].rgb; }));
    const Pixels first_page = Text();
    x.TapPointer();
    move_to(400, 300);
    ASSERT_TRUE(AwaitGame([&] { return !PageWaits(); })) << "no backlog";
    x.Tap({progtest::kKeyEscape});
    ASSERT_TRUE(AwaitGame([&] { return PageWaits(); })) << Errors();
    EXPECT_EQ(Text().rgb, first_page.rgb) << "the tap on 履歴 turned the page";
    EXPECT_TRUE(AwaitGame(all_dim)) << "履歴 stays lit after its backlog";
    x.Tap({progtest::kKeyF12});
    EXPECT_EQ(game->Wait(kDeadline), 0) << Errors();
}

// Up and Down tapped in the backlog, each quicker than a frame and a while after the last: every
// tap scrolls one line, however the taps fall between the frames and the repeat clock's steps.
TEST_F(InputProgram, EachUpOrDownTappedInTheBacklogScrollsOneLine) {
    ASSERT_TRUE(StartGame()) << Errors();
    ASSERT_TRUE(ClickMenuButton(x, window, progtest::kNewGameRow, kDeadline, 0ms)) << Errors();
    ASSERT_TRUE(AwaitGame([&] { return PageWaits(); })) << Errors();
    // Twelve messages: 41 lines, 16 more than the backlog's 25 rows.
    TurnPages(11);
    if (HasFatalFailure()) return;
    const Box frame = x.Geometry(window);
    x.MovePointer(frame.x + 776, frame.y + frame.height - progtest::kGameHeight + 452);
    x.TapPointer();
    // The backlog's text column, once it stands still.
    const auto text = [&] { return Game(Box{124, 0, 560, 600}); };
    const auto settled = [&] {
        Pixels last = text();
        progtest::WaitUntil([&] {
            std::this_thread::sleep_for(100ms);
            return std::exchange(last, text()).rgb == last.rgb;
        });
        return last;
    };
    ASSERT_TRUE(AwaitGame([&] { return !PageWaits(); })) << "no backlog";
    Pixels shown = settled();
    const Pixels opened = shown;
    // Opened at its end: eight lines up, then eight down again, a tap each, at uneven times.
    for (int tap = 0; tap < 16; ++tap) {
        const bool up = tap < 8;
        SCOPED_TRACE((up ? "up " : "down ") + std::to_string(tap % 8 + 1));
        std::this_thread::sleep_for(std::chrono::milliseconds(200 + 13 * tap));
        x.Tap({up ? progtest::kKeyUp : progtest::kKeyDown});
        EXPECT_TRUE(progtest::WaitUntil([&] { return text().rgb != shown.rgb; }, 3s)) << "the tap was lost";
        shown = settled();
    }
    EXPECT_EQ(shown.rgb, opened.rgb) << "a tap scrolled more than one line";
    x.Tap({progtest::kKeyEscape});
    ASSERT_TRUE(AwaitGame([&] { return PageWaits(); })) << Errors();
    x.Tap({progtest::kKeyF12});
    EXPECT_EQ(game->Wait(kDeadline), 0) << Errors();
}

TEST_F(InputProgram, F12TappedOnTheTitleQuits) {
    ASSERT_TRUE(StartGame()) << Errors();
    ASSERT_TRUE(AwaitGame([&] { return TitleWaits(); })) << Errors();
    x.Tap({progtest::kKeyF12});
    EXPECT_EQ(game->Wait(kDeadline), 0) << "the tapped F12 was lost\n" << Errors();
}

// A signal ends the game in order whatever modal is open: the close question on the title, or
// the display driver's choice (--SELDRIVER) before the game has begun.
TEST_F(InputProgram, SigtermEndsTheGameWhileABoxOrADialogIsOpen) {
    for (const bool dialog : {false, true}) {
        SCOPED_TRACE(dialog ? "the driver choice" : "the close question");
        std::filesystem::remove(settings / "quibel.ini");
        ASSERT_TRUE(StartGame(dialog ? std::vector<std::string>{"--SELDRIVER"} : std::vector<std::string>{}))
            << Errors();
        if (!dialog) {
            ASSERT_TRUE(AwaitGame([&] { return TitleWaits(); })) << Errors();
            x.RequestClose(window);
        }
        ASSERT_TRUE(AwaitGame([&] { return BoxShown(); })) << "nothing open\n" << Errors();
        game->Signal(SIGTERM);
        EXPECT_EQ(game->Wait(kDeadline), 0) << Errors();
        EXPECT_NE(progtest::ReadText(settings / "quibel.ini").find("[quibel]"), std::string::npos)
            << "the settings written back";
    }
}

}  // namespace
