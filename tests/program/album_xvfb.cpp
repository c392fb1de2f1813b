// The CG album in the game program, watched from another X client under xvfb-run: on a first start
// the title's extras menu opens the album over the title's picture; every thumbnail of its first
// page shows the same locked image, the previous-page button is hidden and the next-page button
// shown; a right click goes back to the extras menu, whose album button lights again under the
// pointer, and F12 ends the game. Only what the X server shows is looked at and only what a mouse
// and a keyboard send goes in.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

#include "game_program.h"
#include "title_start.h"

namespace {

using namespace std::chrono_literals;
using progtest::Box;
using progtest::Pixels;

// The sample's album page (config.xml): thumbnails of 140 x 105 at these places, the previous-page
// button at (40, 540) and the next-page button at (176, 540), both 120 x 40.
constexpr int kThumbWidth = 140, kThumbHeight = 105;
constexpr int kThumbs[][2] = {{130, 140}, {330, 140}, {530, 140}, {130, 310}, {330, 310}, {530, 310}};
constexpr Box kPrevious{40, 540, 120, 40}, kNext{176, 540, 120, 40};

bool Light(std::uint32_t p) { return std::min({p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF}) > 200; }
// Most of the two grabs' pixels within a few steps of each other in every channel (the thumbnails
// stand over different parts of the page's sky, which shows through their edges).
bool Alike(const Pixels& a, const Pixels& b) {
    if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) return false;
    std::size_t near = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) {
        bool close = true;
        for (int shift : {0, 8, 16})
            close = close && std::abs(int(a.rgb[i] >> shift & 0xFF) - int(b.rgb[i] >> shift & 0xFF)) <= 8;
        near += close;
    }
    return near >= a.rgb.size() * 95 / 100;
}
int CountLight(const Pixels& pixels) {
    return static_cast<int>(std::count_if(pixels.rgb.begin(), pixels.rgb.end(), Light));
}

class AlbumProgram : public progtest::GameProgramTest {
protected:
    AlbumProgram() : GameProgramTest("album_xvfb") {}

    Pixels Thumb(int i) const { return Game(Box{kThumbs[i][0], kThumbs[i][1], kThumbWidth, kThumbHeight}); }
    // The first page of a fresh album: six thumbnails alike (all locked) and no longer the title.
    bool AlbumShown() const {
        const Pixels first = Thumb(0);
        // The locked image: its lamp and label brighter than its dark ground.
        const auto bright = std::count_if(first.rgb.begin(), first.rgb.end(), [](std::uint32_t p) {
            return std::max({p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF}) > 120;
        });
        if (bright < 200) return false;
        for (int i = 1; i < 6; ++i)
            if (!Alike(Thumb(i), first)) return false;
        return true;
    }
};

TEST_F(AlbumProgram, TheExtrasMenuOpensTheAlbumWithItsFirstPageLocked) {
    ASSERT_TRUE(StartGame()) << Errors();
    ASSERT_TRUE(ClickMenuButton(x, window, progtest::kExtrasRow, progtest::kProgramDeadline)) << Errors();
    // The title's buttons give way to the extras menu's, which has none in that row.
    ASSERT_TRUE(AwaitGame([&] { return !MenuButtonLit(x, window, progtest::kExtrasRow); })) << "the title stayed";
    ASSERT_TRUE(ClickMenuButton(x, window, progtest::kAlbumRow, progtest::kProgramDeadline)) << "no extras menu";
    ASSERT_TRUE(AwaitGame([&] { return AlbumShown(); })) << "no album page";
    std::this_thread::sleep_for(300ms);  // settled
    ASSERT_TRUE(AlbumShown());
    // The next-page button's frame and label; where the previous-page button would stand, the
    // page's dark sky.
    EXPECT_GT(CountLight(Game(kNext)), 50);
    EXPECT_EQ(CountLight(Game(kPrevious)), 0);

    // A right click leaves the album for the extras menu, whose album button lights again.
    const Box frame = x.Geometry(window);
    x.MovePointer(frame.x + 400, frame.y + frame.height - progtest::kGameHeight + 100);
    x.PressButton(progtest::kButtonRight);
    std::this_thread::sleep_for(100ms);
    x.ReleaseButton(progtest::kButtonRight);
    ASSERT_TRUE(AwaitGame([&] { return !AlbumShown(); })) << "the album stayed";
    EXPECT_TRUE(ClickMenuButton(x, window, progtest::kAlbumRow, progtest::kProgramDeadline))
        << "no extras menu after the album";
    EXPECT_TRUE(AwaitGame([&] { return AlbumShown(); })) << "the album did not open again";

    x.Press({progtest::kKeyF12});
    const std::optional<int> status = game->Wait(progtest::kProgramDeadline);
    x.Release({progtest::kKeyF12});
    EXPECT_EQ(status, 0) << Errors();
}

}  // namespace
