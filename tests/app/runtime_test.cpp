// The runtime's one start-up: every record starts fresh whatever an earlier run left, the screen's
// frame skip follows the draw speed, the frame window is wired and let go, and full screen hides
// the menu bar.
#include <gtest/gtest.h>

#include "app/frame_step.h"
#include "app/runtime.h"
#include "app/scheduler.h"
#include "dxdraw/frame_window.h"
#include "dxdraw/screen_surface.h"
#include "host/testhost/test_host.h"
#include "lib/act.h"

namespace {

std::intptr_t Idle(ACT*, int, std::intptr_t, std::intptr_t) { return 0; }

// What a run leaves behind in the records.
void DirtyTheRecords(void* thread) {
    InputState.held = kInputReturn;
    PendingRequest = kRequestLoad;
    QuitRequested = CharReceived = 1;
    AppActive = 0;
    ChangeMask = kChangeRebuildViews;
    CurrentThreadSlot = 2;
    ThreadSlots[4].thread = thread;
}

TEST(Runtime, ARunLeavesNothingForTheNext) {
    testhost::TestHost host;
    {
        ScopedRuntime runtime(host);
        AttachACT(3, MakeACT(Idle, 0));
        DirtyTheRecords(&host);
    }
    EXPECT_EQ(MainWindowHandle, nullptr);
    EXPECT_EQ(RootViewGroup, nullptr);
    EXPECT_EQ(ScreenSurface, nullptr);
    EXPECT_EQ(QuitRequested, 0) << "the teardown puts the records back";
    DirtyTheRecords(&host);  // between two runs: the next start-up still begins afresh
    ScopedRuntime runtime(host);
    EXPECT_EQ(GetACTRoot(3)->last_child, nullptr) << "the task of the earlier run is gone";
    EXPECT_EQ(InputState.held, 0u);
    EXPECT_EQ(PendingRequest, kRequestNone);
    EXPECT_EQ(QuitRequested + CharReceived, 0);
    EXPECT_EQ(AppActive, 1);
    EXPECT_EQ(ChangeMask, 0u);
    EXPECT_EQ(CurrentThreadSlot, 0);
    EXPECT_EQ(ThreadSlots[4].thread, nullptr);
    EXPECT_EQ(MainWindowHandle, &host.window());
    EXPECT_EQ(RootViewGroup, &runtime.root());
    EXPECT_EQ(ScreenSurface, &runtime.screen());
    StepFrame();
    EXPECT_EQ(host.test_window().frames(), 1);
}

TEST(Runtime, TheDrawSpeedSetsTheFrameSkip) {
    testhost::TestHost host;
    const struct {
        std::int32_t speed, skip;
    } cases[] = {{1, 0}, {2, 1}, {4, 3}, {16, 15}, {0, 1}, {3, 0}, {32, 0}};  // not offered: every frame
    for (const auto& c : cases) {
        ScopedRuntime runtime(host, {.draw_speed = c.speed});
        EXPECT_EQ(DrawSpeed, c.speed);
        EXPECT_EQ(runtime.screen().GetFrameSkipValue(), c.skip) << "speed " << c.speed;
        EXPECT_EQ(runtime.screen().GetFrameSkipCounter(), c.skip) << "speed " << c.speed;
    }
}

TEST(Runtime, TheFrameKeepsTheDeviceAndScreenOnlyWhileTheRuntimeLives) {
    testhost::TestHost host;
    DxDraw::DxFrame frame;
    {
        ScopedRuntime runtime(host, {.frame = &frame, .full_screen = true});
        EXPECT_EQ(MainWindowProcedure, &frame);
        EXPECT_EQ(frame.GetWindow(), &host.window());
        EXPECT_EQ(frame.GetDevice(), &runtime.device());
        EXPECT_EQ(frame.GetScreenView(), &runtime.screen());
        EXPECT_TRUE(host.window().IsFullScreen());
        EXPECT_FALSE(host.window().MenuBarShown()) << "full screen starts without the menu bar";
        EXPECT_EQ(frame.SwitchScreenMode(), 1);
        EXPECT_TRUE(host.window().MenuBarShown());
    }
    EXPECT_EQ(frame.GetDevice(), nullptr);
    EXPECT_EQ(frame.GetScreenView(), nullptr);
    EXPECT_EQ(MainWindowProcedure, nullptr);
    EXPECT_FALSE(host.window().IsFullScreen());
}

}  // namespace
