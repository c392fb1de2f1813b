// Display-mode matching, the full-screen fallbacks and the switch between window and full screen.
#include <gtest/gtest.h>

#include "dxdraw/display_device.h"
#include "dxdraw/frame_window.h"
#include "host/testhost/test_host.h"
#include "support/capture_reports.h"

namespace {

class DisplayDeviceTest : public ::testing::Test {
protected:
    testhost::TestWindow& window() { return host.test_window(); }
    int Init(bool full, int depth = 24, int refresh = 0) {
        return InitDirectDraw(device, &window(), 800, 600, depth, full, nullptr, refresh);
    }

    testhost::TestHost host;
    testsupport::CaptureReports reports;
    DirectDrawDevice device;
};

TEST_F(DisplayDeviceTest, MatchingTellsWhatIsMissing) {
    device.modes = {{800, 600, 32, 60}, {800, 600, 16, 75}, {1024, 768, 24, 60}};
    EXPECT_EQ(MatchDisplayMode(device, 800, 600, 32, 60), 0);
    EXPECT_EQ(MatchDisplayMode(device, 800, 600, 32, 0), 0);
    EXPECT_EQ(MatchDisplayMode(device, 800, 600, 32, 75), 1) << "size and depth, not that rate";
    EXPECT_EQ(MatchDisplayMode(device, 800, 600, 24, 60), 2);
    EXPECT_EQ(MatchDisplayMode(device, 800, 600, 24, 0), 2);
    EXPECT_EQ(MatchDisplayMode(device, 640, 480, 32, 0), 3);
    device.modes.clear();
    EXPECT_EQ(MatchDisplayMode(device, 800, 600, 32, 0), 3);
}

TEST_F(DisplayDeviceTest, FullScreenAt32BitsWithoutAMessageWhen24IsMissing) {
    window().modes = {{800, 600, 32, 60}, {1920, 1080, 32, 60}};
    EXPECT_EQ(Init(true), 0);
    EXPECT_EQ(device.depth, 32);
    EXPECT_EQ(device.windowed, 0u);
    EXPECT_TRUE(window().IsFullScreen());
    EXPECT_TRUE(reports.boxes.empty());
    EXPECT_EQ(ScreenBitDepth, 32);
}

TEST_F(DisplayDeviceTest, AnUnofferedRefreshRateFallsBackToTheDefaultWithAMessage) {
    window().modes = {{800, 600, 24, 60}};
    EXPECT_EQ(Init(true, 24, 85), 0);
    ASSERT_EQ(reports.boxes.size(), 1u);
    EXPECT_EQ(reports.boxes[0].caption, u"DirectDraw 初期化");
    EXPECT_EQ(reports.boxes[0].text, u"リフレッシュレートをデフォルトに変更します。");
    EXPECT_EQ(device.refresh, 0);
    EXPECT_EQ(device.windowed, 0u);
}

TEST_F(DisplayDeviceTest, NoModeOfTheGameSizeMeansWindowModeWithMessage4) {
    window().modes = {{1024, 768, 32, 60}};
    EXPECT_EQ(Init(true, 24), 0);
    ASSERT_EQ(reports.boxes.size(), 1u);
    EXPECT_EQ(reports.boxes[0].text, u"ウィンドウモードに変更します(4)。");
    EXPECT_EQ(device.windowed, 1u);
    EXPECT_FALSE(window().IsFullScreen());
}

TEST_F(DisplayDeviceTest, NoDepthAtAllNamesTheRequestedDepth) {
    window().modes = {{800, 600, 8, 60}};
    EXPECT_EQ(Init(true, 32), 0);
    ASSERT_EQ(reports.boxes.size(), 1u);
    EXPECT_EQ(reports.boxes[0].text, u"ウィンドウモードに変更します(2)。");
    EXPECT_EQ(device.windowed, 1u);
}

TEST_F(DisplayDeviceTest, WindowModeShowsNoMessageWhateverTheModes) {
    window().modes = {};
    EXPECT_EQ(Init(false, 24, 85), 0);
    EXPECT_TRUE(reports.boxes.empty());
    EXPECT_EQ(device.windowed, 1u);
}

TEST_F(DisplayDeviceTest, WithoutAWindowTheDisplayCannotStart) {
    EXPECT_NE(InitDirectDraw(device, nullptr, 800, 600, 24, false, nullptr, 0), 0);
    ASSERT_EQ(reports.boxes.size(), 1u);
    EXPECT_EQ(reports.boxes[0].text, u"DirectX 7 がインストールされていません。");
}

TEST_F(DisplayDeviceTest, AFailedSwitchToFullScreenStaysInTheWindowWithItsMenuBar) {
    ASSERT_EQ(Init(false), 0);
    DxDraw::DxFrame frame;
    frame.Create(&window());
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

TEST_F(DisplayDeviceTest, ReleaseGivesTheDesktopBack) {
    window().modes = {{800, 600, 24, 60}};
    ASSERT_EQ(Init(true), 0);
    ASSERT_TRUE(window().IsFullScreen());
    ReleaseDirectDraw(device);
    EXPECT_FALSE(window().IsFullScreen());
    EXPECT_EQ(device.window, nullptr);
    DxDraw::DxFrame frame;
    EXPECT_EQ(frame.SwitchScreenMode(), 0) << "no device, no switch";
}

TEST_F(DisplayDeviceTest, ClearBackBufferShowsOneColourEverywhere) {
    ASSERT_EQ(Init(false), 0);
    ClearBackBuffer(device, 0x123456);
    EXPECT_EQ(window().Pixel(0, 0) & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(window().Pixel(799, 599) & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(GetMonitorFrequency(device), 60);
}

}  // namespace
