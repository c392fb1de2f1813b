// The yes/no prompt, the notice and the text background on the test host: the frame
// script moves the pointer, presses keys and buttons or raises a request, and reads the screen.
#include "app/prompts.h"

#include "app/message_window.h"
#include "app/scene_views.h"
#include "app/script_helpers.h"
#include "app/settings.h"
#include "lib/text_field.h"
#include "stage_fixture.h"

namespace {

using namespace stagetest;

class PromptsTest : public StageTest {
protected:
    PromptsTest() { MakeSystemImage(); }
    ~PromptsTest() override { SystemImage.Reset(), SettingsBlock = {}, ChangeMask = 0; }

    // 'R' when the screen area holds bright red text and no white, 'W' the other way, else '-'.
    char TextColour(RECT area) {
        int red = 0, white = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                const std::uint32_t p = window().Pixel(x, y) & 0xC0C0C0;
                red += p == 0xC00000;
                white += p == 0xC0C0C0;
            }
        return red && !white ? 'R' : (white && !red ? 'W' : '-');
    }
};

TEST_F(PromptsTest, TheLabelUnderThePointerIsRedAndOnlyALeftClickOnOneAnswers) {
    // Pointer positions around "はい" (4 columns of 16 pixels) and "いいえ" (6), then inputs that must
    // not answer: Return and the right button on "はい", left clicks beside the labels.
    const POINT moves[] = {{304, 190}, {367, 229}, {368, 200}, {303, 200}, {304, 230}, {304, 189},
                           {400, 190}, {495, 229}, {496, 210}, {399, 210}, {450, 200}, {320, 200},
                           {320, 200}, {320, 200}, {10, 10},   {380, 210}};
    const int presses[std::size(moves)] = {
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, kReturnKey, kRightButton, kLeftButton, kLeftButton};
    std::string seen;
    std::uint32_t mask_during = 1;
    std::vector<std::uint32_t> before, after;  // a row through the question
    const auto row = [this](std::vector<std::uint32_t>& out) {
        for (int x = 40; x < 760; ++x) out.push_back(window().Pixel(x, 170));
    };
    At(1, [&] {  // the font changes: the prompt draws anew, and the change is passed on at the end
        row(before), CopyField16(SettingsBlock.font_name, u"ＭＳ ゴシック"), ChangeMask |= kChangeRebuildViews;
    });
    At(3, [&] { mask_during = ChangeMask, row(after); });
    for (int i = 0; i < int(std::size(moves)); ++i) {
        const POINT at = moves[i];
        const int press = presses[i];
        At(1 + 3 * i, [=, this] { window().MoveCursor(at.x, at.y), Input(press, true); });
        At(3 + 3 * i, [=, this, &seen] {
            seen += {TextColour({304, 194, 368, 226}), TextColour({400, 194, 496, 226}), ' '};
            Input(press, false);
        });
    }
    const int end = 1 + 3 * int(std::size(moves)), start = window().frames();
    Click(end, 410, 200);
    EXPECT_FALSE(ConfirmYesNo(u"セーブしますか？"));
    EXPECT_EQ(window().frames() - start, end + 1);
    EXPECT_EQ(seen, "RW RW WW WW WW WW WR WR WW WW WR RW RW RW WW WW ");
    EXPECT_EQ(mask_during, 0u);
    EXPECT_NE(before, after);
    EXPECT_EQ(ChangeMask, kChangeRebuildViews);
    Click(2, 330, 210);
    EXPECT_TRUE(ConfirmYesNo(u"終了しますか？"));
}

TEST_F(PromptsTest, TheNoticeIsCentredAndWaitsForReleaseThenItsMillisecondsAndARequestLeavesNoView) {
    struct Case {
        int hold;     // held when the notice starts
        int release;  // the frame it is let go, or without a hold a click comes (-1: a request)
        std::uint32_t ms;
        int frames;
    } cases[] = {{0, 0, 500, 30},   {kRightButton, 10, 500, 11 + 30}, {kReturnKey, 20, 1000, 21 + 60},
                 {0, 10, 1000, 11}, {kRightButton, -1, 500, 5},       {0, -1, 500, 5}};
    for (const Case& c : cases) {
        if (c.hold) Input(c.hold, true), StepFrame(), At(c.release, [this, c] { Input(c.hold, false); });
        if (!c.hold && c.release > 0) Click(c.release, 0, 0);
        if (c.release < 0) At(5, [] { PendingRequest = kRequestTitle; });
        std::string colours;  // left of, within and right of ten columns from x 40 + (720 - 160) / 2
        At(1, [&] {
            colours = {TextColour({0, 344, 316, 386}), TextColour({320, 344, 480, 386}),
                       TextColour({484, 344, 800, 386})};
        });
        const std::uint32_t views = ViewCount();
        const int start = window().frames();
        if (c.release < 0)
            EXPECT_THROW(ShowNotice(u"セーブ完了", c.ms), ScriptException);
        else
            ShowNotice(u"セーブ完了", c.ms);
        EXPECT_EQ(window().frames() - start, c.frames) << c.hold;
        EXPECT_EQ(colours, "-W-");
        EXPECT_EQ(ViewCount(), views);
        Input(c.hold, false), StepFrame();
    }
    At(5, [] { PendingRequest = kRequestTitle; });
    const std::uint32_t views = ViewCount();
    EXPECT_THROW(ConfirmYesNo(u"はい？"), ScriptException);
    EXPECT_EQ(ViewCount(), views) << "nor does one during the prompt";
}

TEST_F(PromptsTest, TheTextBackgroundIsTheSheetsPartMaskedByTheBaseColour) {
    ApplyTextBackground(SettingsBlock);  // no window: nothing happens
    const RECT parts[] = {{0, 40, 400, 140}, {400, 40, 800, 140}, {0, 140, 800, 240}};
    const std::uint32_t colours[] = {0xC3A5F0, 0x3C5A0F, 0xFFFFFF}, opacity[] = {255, 255, 100};
    for (int i = 0; i < 3; ++i) SystemImage->FillRect(&parts[i], colours[i], opacity[i]);
    GameMessageWindow = new MessageWindow(800, 200, 8, 24, 44, 16);
    DxDraw::DxSurfaceSprite32& background = GameMessageWindow->Background();
    const std::uint8_t bases[][4] = {{0, 0, 128, 128}, {255, 255, 255, 255}, {15, 240, 129, 7}};
    for (const auto& base : bases) {
        std::memcpy(SettingsBlock.base_color, base, 4);
        ApplyTextBackground(SettingsBlock);
        EXPECT_EQ(background.Blend().flags, 0x10002u);
        EXPECT_EQ(background.Blend().level, base[3]);
        const std::uint32_t mask = 0xFF000000u | base[0] << 16 | base[1] << 8 | base[2];
        for (const POINT p : {POINT{10, 50}, POINT{799, 139}, POINT{410, 40}, POINT{0, 239}})
            EXPECT_EQ(RawPixel(background, p.x, p.y - 40), RawPixel(*SystemImage, p.x, p.y) & mask) << int(base[0]);
    }
    SystemImage.Reset();
    ApplyTextBackground(SettingsBlock);
    EXPECT_EQ(RawPixel(background, 5, 5), 0u) << "opaque black without a sheet";
    GameMessageWindow->Destroy();
    GameMessageWindow = nullptr;
}

}  // namespace
