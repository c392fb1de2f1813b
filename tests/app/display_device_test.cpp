// Display-mode matching, the full-screen fallbacks, and the frame window's activation and switch
// between window and full screen.
#include <gtest/gtest.h>

#include <tuple>

#include "dxdraw/display_device.h"
#include "dxdraw/frame_window.h"
#include "host/testhost/test_host.h"
#include "support/capture_reports.h"

namespace {

class DisplayDeviceTest : public ::testing::Test {
protected:
    DisplayDeviceTest() { frame.Create(&window()); }
    testhost::TestWindow& window() { return host.test_window(); }
    int Init(bool full, int depth = 24, int refresh = 0) {
        return InitDirectDraw(device, &window(), 800, 600, depth, full, nullptr, refresh);
    }

    testhost::TestHost host;
    testsupport::CaptureReports reports;
    DirectDrawDevice device;
    DxDraw::DxFrame frame;  // the frame window, given the device once it has started
};

TEST_F(DisplayDeviceTest, MatchingTellsWhatIsMissing) {
    device.modes = {{800, 600, 32, 60}, {800, 600, 16, 75}, {1024, 768, 24, 60}, {800, 480, 24, 60}};
    // {width, height, depth, refresh, result}: 0 found (any rate for 0), 1 not at that rate, 2 not
    // at that depth, 3 not that size.
    const std::tuple<int, int, int, int, int> cases[] = {{800, 600, 32, 60, 0}, {800, 600, 32, 0, 0},
                                                         {800, 600, 32, 75, 1}, {800, 600, 24, 60, 2},
                                                         {800, 600, 24, 0, 2},  {640, 480, 32, 0, 3}};
    for (auto [w, h, depth, refresh, result] : cases)
        EXPECT_EQ(MatchDisplayMode(device, w, h, depth, refresh), result)
            << w << "x" << h << "x" << depth << "@" << refresh;
}

// The full-screen start-up matches the display's modes and falls back to what it offers (the
// rate, then the depth, then the window), saying so when the player would notice; a window never
// asks for a mode.
TEST_F(DisplayDeviceTest, StartUpFallsBackToWhatTheDisplayOffers) {
    const struct {
        std::vector<host::DisplayMode> modes;
        bool full;
        int depth, refresh;
        std::u16string message;
        unsigned windowed;
        int depth_used, refresh_used;
    } cases[] = {
        {{{800, 600, 32, 60}, {1920, 1080, 32, 60}}, true, 24, 0, u"", 0, 32, 0},
        {{{800, 600, 24, 60}}, true, 24, 85, u"リフレッシュレートをデフォルトに変更します。", 0, 24, 0},
        {{{1024, 768, 32, 60}}, true, 24, 0, u"ウィンドウモードに変更します(4)。", 1, 24, 0},
        {{}, true, 24, 0, u"ウィンドウモードに変更します(4)。", 1, 24, 0},
        {{{800, 600, 8, 60}}, true, 32, 0, u"ウィンドウモードに変更します(2)。", 1, 16, 0},
        {{}, false, 24, 85, u"", 1, 24, 85},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.modes.size() << " modes, depth " << c.depth);
        window().modes = c.modes;
        reports.boxes.clear();
        ASSERT_EQ(Init(c.full, c.depth, c.refresh), 0);
        ASSERT_EQ(reports.boxes.size(), c.message.empty() ? 0u : 1u);
        for (const auto& box : reports.boxes) {
            EXPECT_EQ(box.caption, u"DirectDraw 初期化");
            EXPECT_EQ(box.text, c.message);
        }
        EXPECT_EQ(device.windowed, c.windowed);
        EXPECT_EQ(window().IsFullScreen(), c.windowed == 0);
        EXPECT_EQ(device.refresh, c.refresh_used);
        EXPECT_EQ(device.depth, c.depth_used);
        EXPECT_EQ(ScreenBitDepth, c.depth_used);
        ReleaseDirectDraw(device);
        EXPECT_FALSE(window().IsFullScreen()) << "the release gives the desktop back";
        EXPECT_EQ(device.window, nullptr);
    }
}

TEST_F(DisplayDeviceTest, AFailedSwitchToFullScreenStaysInTheWindowWithItsMenuBar) {
    ASSERT_EQ(Init(false), 0);
    EXPECT_EQ(frame.SwitchScreenMode(), 0) << "no device, no switch";
    frame.SetDevice(&device);
    frame.SetHasMenu(true);
    window().full_screen_works = false;
    EXPECT_EQ(frame.SwitchScreenMode(), 1);
    EXPECT_EQ(device.windowed, 1u);
    EXPECT_TRUE(window().MenuBarShown()) << "the menu bar is back";
    EXPECT_NE(device.window, nullptr) << "the device was not released";
    ASSERT_EQ(reports.boxes.size(), 1u);
    EXPECT_EQ(reports.boxes[0].text, u"フルスクリーンに設定できませんでした。");

    // Once the display can, the same device still switches both ways.
    window().full_screen_works = true;
    EXPECT_EQ(frame.SwitchScreenMode(), 1);
    EXPECT_EQ(device.windowed, 0u);
    EXPECT_FALSE(window().MenuBarShown());
    EXPECT_EQ(frame.SwitchScreenMode(), 1);
    EXPECT_EQ(device.windowed, 1u);
    EXPECT_TRUE(window().MenuBarShown());
    EXPECT_FALSE(window().IsFullScreen());
}

TEST_F(DisplayDeviceTest, ActivationBeforeTheDeviceExistsIsSafeAndFollowedLater) {
    frame.WindowProc({host::kMsgActivateApp, 0, 0, {}});
    EXPECT_EQ(frame.IsActive(), 0u);
    frame.WindowProc({host::kMsgActivateApp, 1, 0, {}});
    EXPECT_EQ(frame.IsActive(), 1u);
    ASSERT_EQ(Init(false), 0);
    frame.SetDevice(&device);
    frame.WindowProc({host::kMsgActivateApp, 0, 0, {}});
    EXPECT_EQ(device.lost, 1u);
    frame.WindowProc({host::kMsgActivateApp, 1, 0, {}});
    EXPECT_EQ(device.lost, 0u);
}

TEST_F(DisplayDeviceTest, InFullScreenTheTopEdgeShowsTheMenuBar) {
    window().modes = {{800, 600, 24, 60}};
    ASSERT_EQ(Init(true), 0);
    frame.SetDevice(&device);
    frame.SetHasMenu(true);
    window().ShowMenuBar(false);
    auto shown_after_move_to = [&](int y) {
        frame.WindowProc({host::kMsgMouseMove, 0, static_cast<std::intptr_t>(10 | (y << 16)), {}});
        return window().MenuBarShown();
    };
    EXPECT_FALSE(shown_after_move_to(300));
    EXPECT_TRUE(shown_after_move_to(1));
    EXPECT_FALSE(shown_after_move_to(2));
    ASSERT_EQ(frame.SwitchScreenMode(), 1);  // to the window: the bar stays
    shown_after_move_to(1);
    EXPECT_TRUE(shown_after_move_to(300)) << "in a window the menu bar is always there";
}

TEST_F(DisplayDeviceTest, ClearBackBufferShowsOneColourEverywhere) {
    ASSERT_EQ(Init(false), 0);
    ClearBackBuffer(device, 0x123456);
    EXPECT_EQ(window().Pixel(0, 0) & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(window().Pixel(799, 599) & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(GetMonitorFrequency(device), 60);
}

}  // namespace
