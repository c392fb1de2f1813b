// The extras menu over the sample game's title sheet and background: its buttons by pixels, the
// album and the replay reached from it, the music after them, and requests.
#include "screens/extras_menu.h"

#include "app/picture_commands.h"
#include "app/screen_sprite.h"
#include "extras_fixture.h"

namespace {

using namespace extrastest;

constexpr int kX = 520, kY = 300;  // the sample's title menu
constexpr int kRows[] = {0, 1, 5};
constexpr POINT kNothing{400, 300};  // outside the menu, the album's and the replay's items

class ExtrasMenu : public ExtrasTest {
protected:
    ExtrasMenu() {
        TEXANIM whole;
        whole.width = 800, whole.height = 600, whole.source = RECT{0, 0, 800, 600};
        background = NewScreenSprite(sheet.Get(), 0, &whole);
    }
    void Run() { RunExtras(*sheet, *background); }
    POINT Button(int i) { return {kX, kY + 48 * kRows[i]}; }
    // Button `hovered` with its hover image, the others with their normal one, the title background
    // beside them.
    std::function<void()> Shown(int hovered) {
        return [=, this] {
            for (int i = 0; i < 3; ++i) {
                const int top = 608 + 48 * kRows[i] + (i == hovered ? 288 : 0);
                EXPECT_TRUE(Shows(*sheet, RECT{512, top, 760, top + 40}, Button(i))) << i;
            }
            EXPECT_TRUE(Shows(*sheet, RECT{0, 0, kX, 600}, {0, 0}));
        };
    }
    // A page of the album or the replay over the hidden background.
    std::function<void()> Page(std::u16string_view picture) {
        return [=, this] {
            EXPECT_TRUE(PageShown(picture));
            EXPECT_FALSE(background->IsVisible());
        };
    }
    // Only the title's background is left, and shown.
    bool OnlyBackground() {
        return ScreenSurface->GetFirstChild() == background.get() &&
               ScreenSurface->GetLastChild() == background.get() && background->IsVisible();
    }

    ComPtr<DxDraw::DxSurface> sheet = Picture(u"title/title");
    OwnedView<DxDraw::DxSprite> background;
};

TEST_F(ExtrasMenu, TheButtonsStandInTheTitleColumnAndShowTheirHoverImageUnderThePointer) {
    const std::vector<Step> steps{
        {Move(kNothing), Shown(-1)},
        {Move(Button(0)), Shown(0)},
        {Move(Button(1)), Shown(1)},
        {Move({kX + 247, kY + 279}), Shown(2)},
        {Move({kX + 248, kY + 279}), Shown(-1)},
        {Click({kX, kY + 96}), Shown(-1)},  // between the buttons: nothing
        {Click({0, 0}, kRightButton)},
    };
    EXPECT_EQ(Play([this] { Run(); }, steps), "") << "the right button leaves";
    EXPECT_TRUE(OnlyBackground());
}

TEST_F(ExtrasMenu, TheAlbumAndTheReplayAreReachedAndTheTitleMusicComesBackAfterTheAlbum) {
    const std::vector<Step> steps{
        {Click(Button(0)), Page(u"title/cg_p1")},
        {Click(kNothing, kRightButton),
         [&] {
             Shown(-1)();
             EXPECT_EQ(Events("music"), (std::vector<std::string>{"music CGMODE", "music TITLE"}));
         }},
        {Click(Button(1)), Page(u"title/s_p1")},
        {Click(kNothing, kRightButton),
         [&] {
             Shown(-1)();
             EXPECT_EQ(Events("music").size(), 3u) << "the replay page's title music, and nothing after it";
         }},
        {Click(Button(2))},
    };
    EXPECT_EQ(Play([this] { Run(); }, steps), "");
    EXPECT_TRUE(OnlyBackground());
}

TEST_F(ExtrasMenu, ARequestHereOrInTheAlbumOrTheReplayLeavesOnlyTheBackground) {
    SeenCgList = {u"EV1"};
    const std::vector<Step> cases[] = {
        {{Request(kRequestLoad)}},
        {{Click(Button(0))}, {Request(kRequestLoad)}},
        {{Click(Button(0))}, {Click({200, 190})}, {Request(kRequestLoad)}},  // in the full view
        {{Click(Button(1))}, {Request(kRequestLoad)}},
    };
    for (const auto& steps : cases) {
        EXPECT_EQ(Play([this] { Run(); }, steps), "request 1") << steps.size();
        EXPECT_TRUE(OnlyBackground()) << steps.size();
    }
}

}  // namespace
