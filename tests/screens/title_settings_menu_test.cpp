// The title's settings menu on the test host with a sheet whose button pictures are plain
// colours: the screen shows which button is hovered, clicks open the dialogs on the scripted
// modal, and every way out takes the buttons off the screen.
#include "screens/title_settings_menu.h"

#include <gtest/gtest.h>

#include "app/stage_fixture.h"
#include "app/system_config.h"
#include "dxdraw/dxsurface.h"
#include "screens/settings_dialogs.h"

namespace {

constexpr int kX = 520, kY = 120;
constexpr int kRows[] = {0, 1, 2, 5};

// The colour of button k's normal and hover pictures on the sheet.
std::uint32_t Normal(int k) { return 0x102030u + 0x200000u * static_cast<std::uint32_t>(k); }
std::uint32_t Hover(int k) { return 0x30C0F0u - 0x000020u * static_cast<std::uint32_t>(k); }

class TitleSettingsMenuTest : public stagetest::StageTest {
protected:
    TitleSettingsMenuTest() {
        SystemConfig.TitleMenuPos[0] = kX, SystemConfig.TitleMenuPos[1] = kY;
        sheet = DxDraw::CreateSurface(32);
        sheet->SetSize(800, 1176);
        sheet->FillRect(nullptr, 0x000000, 255);
        const int normal_tops[] = {608, 656, 704, 848}, hover_tops[] = {896, 944, 992, 1136};
        for (int k = 0; k < 4; ++k) {
            const RECT normal{256, normal_tops[k], 504, normal_tops[k] + 40};
            const RECT hover{256, hover_tops[k], 504, hover_tops[k] + 40};
            sheet->FillRect(&normal, Normal(k), 255);
            sheet->FillRect(&hover, Hover(k), 255);
        }
    }
    ~TitleSettingsMenuTest() override {
        SystemConfig = {};
        SettingsBlock = {};
    }

    // Where button k stands on the screen: a point inside it.
    static POINT At(int k) { return {kX + 124, kY + 48 * kRows[k] + 20}; }
    // What each button shows on the screen now: 'n' normal, 'h' hover, '-' neither.
    std::string Shown() {
        std::string shown;
        for (int k = 0; k < 4; ++k) {
            const std::uint32_t p = window().Pixel(At(k).x, At(k).y) & 0xFFFFFF;
            shown += p == Normal(k) ? 'n' : p == Hover(k) ? 'h' : '-';
        }
        return shown;
    }
    void Run() { TitleSettingsMenu(host.modal(), *sheet); }

    ComPtr<DxDraw::DxSurface> sheet;
};

TEST_F(TitleSettingsMenuTest, TheButtonUnderThePointerIsHoveredAndEachOpensItsDialog) {
    const std::uint32_t views = ViewCount();
    std::vector<std::string> shown;
    std::vector<std::size_t> dialogs;  // how many dialogs had run by each frame
    testhost::ScriptedModal& modal = host.scripted_modal();
    each_frame = [&](int) {
        shown.push_back(Shown()), dialogs.push_back(modal.dialogs_run.size());
        if (shown.size() > 100) PendingRequest = kRequestTitle;  // a menu that never leaves
    };
    const auto move = [this](int frame, POINT p) {
        StageTest::At(frame, [=, this] { window().MoveCursor(p.x, p.y); });
    };
    move(2, At(1));
    move(5, POINT{kX + 124, kY + 48 * 3 + 20});  // between "names" and "back": no button
    move(8, At(0));
    Click(11, At(0).x, At(0).y);
    modal.OnNextDialog([](host::Dialog& d) { d.Click(SystemSettingsDialog::kFullScreenRadio), d.Accept(); });
    Click(20, At(1).x, At(1).y);
    Click(30, At(2).x, At(2).y);
    move(38, At(3));
    Click(40, At(3).x - 130, At(3).y);  // beside "back": nothing
    Click(45, At(3).x, At(3).y);
    const int start = Frames();
    Run();
    EXPECT_EQ(Frames() - start, 46) << "the last frame reads the click on back";
    ASSERT_EQ(shown.size(), 46u);
    const std::pair<std::size_t, const char*> expected[] = {
        {0, "nnnn"},  {3, "nhnn"}, {5, "nhnn"},
        {6, "nnnn"},  {9, "hnnn"}, {12, "nnnn"},  // the click: released before the dialog opens
        {14, "hnnn"},                             // hovered again once it has gone
        {39, "nnnh"}, {42, "nnnn"}};              // beside "back" nothing is hovered
    for (const auto& [frame, buttons] : expected) EXPECT_EQ(shown[frame], buttons) << frame;
    EXPECT_EQ(dialogs[12], 0u);
    EXPECT_EQ(dialogs[13], 1u);
    EXPECT_EQ(modal.dialogs_run, (std::vector<std::u16string>{u"システム設定", u"サウンド設定", u"主人公の名前"}));
    EXPECT_EQ(SettingsBlock.full_screen, 1) << "the first dialog's OK was applied";
    EXPECT_EQ(ViewCount(), views);
}

TEST_F(TitleSettingsMenuTest, TheRightButtonLeavesAndARequestLeavesNoButtonBehind) {
    const std::uint32_t views = ViewCount();
    int frames = 0;
    each_frame = [&frames](int) {
        if (++frames > 100) PendingRequest = kRequestTitle;  // a menu that never leaves
    };
    StageTest::At(3, [this] { Input(stagetest::kRightButton, true); });
    StageTest::At(4, [this] { Input(stagetest::kRightButton, false); });
    int start = Frames();
    Run();
    EXPECT_EQ(Frames() - start, 4);
    EXPECT_TRUE(host.scripted_modal().dialogs_run.empty());
    StageTest::At(3, [] { PendingRequest = kRequestTitle; });
    start = Frames();
    EXPECT_THROW(Run(), ScriptException);
    EXPECT_EQ(Frames() - start, 3) << "the frame after the request throws";
    EXPECT_EQ(ViewCount(), views);
    StepFrame();
    EXPECT_EQ(Shown(), "----") << "the buttons are gone from the screen";
}

}  // namespace
