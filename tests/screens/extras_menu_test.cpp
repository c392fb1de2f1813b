// The extras menu over the sample game's title sheet and background: its buttons by pixels, the
// album and the replay reached from it, the music after them, and requests.
#include "screens/extras_menu.h"

#include "app/picture_commands.h"
#include "extras_fixture.h"
#include "screens/screen_sprite.h"

namespace {

using extrastest::ExtrasTest;
using extrastest::Steps;

constexpr int kX = 520, kY = 300;  // the sample's title menu
constexpr int kRows[] = {0, 1, 5};
constexpr POINT kNothing{400, 300};  // outside the menu, the album's and the replay's items

RECT SheetButton(int row, bool hover) {
    const int top = 608 + 48 * row + (hover ? 288 : 0);
    return RECT{512, top, 760, top + 40};
}

class ExtrasMenu : public ExtrasTest {
protected:
    ExtrasMenu() {
        TEXANIM whole;
        whole.width = 800, whole.height = 600, whole.source = RECT{0, 0, 800, 600};
        background = AddScreenSprite(sheet.Get(), &whole);
    }
    void Run() { RunExtras(*sheet, *background); }
    // Button i with its normal or hover image, or the title background where it stands.
    ::testing::AssertionResult ButtonShows(int i, bool hover) {
        return Shows(*sheet, SheetButton(kRows[i], hover), {kX, kY + 48 * kRows[i]});
    }
    ::testing::AssertionResult AllNormal() {
        for (int i = 0; i < 3; ++i)
            if (auto shown = ButtonShows(i, false); !shown) return shown;
        return Shows(*sheet, RECT{0, 0, kX, 600}, {0, 0});  // the background beside them
    }
    std::function<void()> Over(int i) { return Move(kX + 247, kY + 48 * kRows[i] + 39); }
    std::function<void()> ClickOn(int i) { return Click(kX, kY + 48 * kRows[i]); }
    // Only the title's background is left, and shown.
    bool OnlyBackground() {
        return ScreenSurface->GetFirstChild() == background.get() &&
               ScreenSurface->GetLastChild() == background.get() && background->IsVisible();
    }

    ComPtr<DxDraw::DxSurface> sheet = Picture(u"title/title");
    OwnedView<DxDraw::DxSprite> background;
};

TEST_F(ExtrasMenu, TheButtonsStandInTheTitleColumnAndShowTheirHoverImageUnderThePointer) {
    const Steps steps{
        [&] {
            EXPECT_TRUE(AllNormal());
            Over(0)();
        },
        [&] {
            EXPECT_TRUE(ButtonShows(0, true));
            EXPECT_TRUE(ButtonShows(1, false));
            Over(1)();
        },
        [&] {
            EXPECT_TRUE(ButtonShows(0, false));
            EXPECT_TRUE(ButtonShows(1, true));
            Over(2)();
        },
        [&] {
            EXPECT_TRUE(ButtonShows(2, true));
            EXPECT_TRUE(ButtonShows(1, false));
            Move(kX + 248, kY)();
        },
        [&] {
            EXPECT_TRUE(AllNormal());
            Click(kX, kY + 96)();
        },
        [&] {
            EXPECT_TRUE(AllNormal()) << "a click beside the buttons does nothing";
            Click(0, 0, stagetest::kRightButton)();
        },
    };
    EXPECT_EQ(Play([this] { Run(); }, steps), "") << "the right button leaves";
    EXPECT_TRUE(OnlyBackground());
}

TEST_F(ExtrasMenu, TheAlbumAndTheReplayAreReachedAndTheTitleMusicComesBackAfterTheAlbum) {
    const auto right = Click(kNothing.x, kNothing.y, stagetest::kRightButton);
    const auto page_shown = [&](std::u16string_view picture) {
        EXPECT_FALSE(background->IsVisible());
        EXPECT_TRUE(Shows(*Picture(picture), RECT{0, 0, 800, 130}, {0, 0}));
    };
    const Steps steps{
        ClickOn(0),
        [&] {
            page_shown(u"title/cg_p1");
            right();
        },
        [&] {
            EXPECT_TRUE(AllNormal());
            EXPECT_EQ(Events("music"), (std::vector<std::string>{"music CGMODE", "music TITLE"}));
            ClickOn(1)();
        },
        [&] {
            page_shown(u"title/s_p1");
            right();
        },
        [&] {
            EXPECT_TRUE(AllNormal());
            EXPECT_EQ(Events("music").size(), 3u) << "the replay page's title music, and nothing after it";
            ClickOn(2)();
        },
    };
    EXPECT_EQ(Play([this] { Run(); }, steps), "");
    EXPECT_TRUE(OnlyBackground());
}

TEST_F(ExtrasMenu, ARequestHereOrInTheAlbumOrTheReplayLeavesOnlyTheBackground) {
    SeenCgList = {u"EV1"};
    const auto request = [] { PendingRequest = kRequestLoad; };
    const struct {
        const char* where;
        Steps steps;
    } cases[] = {
        {"menu", {request}},
        {"album", {ClickOn(0), request}},
        {"full view", {ClickOn(0), Click(200, 190), request}},
        {"replay", {ClickOn(1), request}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Play([this] { Run(); }, c.steps), "request 1") << c.where;
        EXPECT_TRUE(OnlyBackground()) << c.where;
    }
}

}  // namespace
