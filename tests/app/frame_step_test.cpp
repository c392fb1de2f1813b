// The frame step and the waits over the test host: every frame is one PaceFrame of the scripted
// window (one 60th of a second on the test clock), and the test scripts keys and messages by frame.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/frame_step.h"
#include "app/runtime.h"
#include "app/scheduler.h"
#include "dxdraw/draw_view.h"
#include "dxdraw/screen_surface.h"
#include "host/testhost/test_host.h"
#include "lib/act.h"
#include "lib/error.h"
#include "lib/report_hook.h"

namespace {

// Stands in for the application's procedure: what it does with close, characters and
// activation is what the frame step relies on.
class TestProcedure : public host::WindowProcedure {
public:
    explicit TestProcedure(host::ModalUi& modal) : modal_(modal) {}
    std::intptr_t WindowProc(const host::WindowMessage& m) override {
        received.push_back(m.message);
        if (m.message == host::kMsgClose &&
            modal_.MessageBox(u"終了", u"終了してもよろしいですか？", kMbYesNo | kMbIconQuestion) == kIdYes)
            QuitRequested = 1;
        if (m.message == host::kMsgChar) {
            CharReceived = 1;
            InputState.character = static_cast<std::uint16_t>(m.w);
        }
        if (m.message == host::kMsgActivateApp) AppActive = m.w ? 1 : 0;
        return 0;
    }
    std::vector<unsigned> received;

private:
    host::ModalUi& modal_;
};

class FrameStepTest : public ::testing::Test {
protected:
    FrameStepTest() : procedure(host.modal()), runtime(host, {.procedure = &procedure}) {
        window().on_frame = [this](int frame) {
            auto it = script.find(frame);
            if (it != script.end()) it->second();
        };
    }

    testhost::TestWindow& window() { return host.test_window(); }
    // What happens after the given frame was paced (so the next frame's poll sees it).
    void At(int frame, std::function<void()> action) { script[frame] = std::move(action); }

    testhost::TestHost host;
    TestProcedure procedure;
    ScopedRuntime runtime;
    std::map<int, std::function<void()>> script;
};

TEST_F(FrameStepTest, CountedWaitRunsExactlyItsFrames) {
    EXPECT_EQ(WaitFrames(3, 0), 0u);
    EXPECT_EQ(window().frames(), 3);
}

TEST_F(FrameStepTest, EndlessWaitEndsOnADecidePressWithoutWaitingForItsRelease) {
    At(2, [&] { window().Press(0x1C); });
    std::uint32_t result = WaitFrames(0, 0);
    EXPECT_TRUE(result & kInputReturn);
    EXPECT_EQ(window().frames(), 3);
    EXPECT_TRUE(InputState.held & kInputReturn);
}

TEST_F(FrameStepTest, DecideFlagAlsoWaitsForTheRelease) {
    At(2, [&] { window().PressButton(0); });
    At(5, [&] { window().ReleaseButton(0); });
    std::uint32_t result = WaitFrames(0, 1);
    EXPECT_TRUE(result & kInputMouseLeft);
    EXPECT_EQ(window().frames(), 6);
    EXPECT_FALSE(InputState.held & kInputMouseLeft);
    EXPECT_TRUE(InputState.pressed & kInputMouseLeft) << "the press made during the wait is kept";
}

TEST_F(FrameStepTest, SkipFlagIgnoresDecidePressesAndEndsWhileASkipKeyIsHeld) {
    At(1, [&] { window().Press(0x1C); });
    At(2, [&] { window().Release(0x1C); });
    At(4, [&] { window().Press(0x49); });  // pad 9: the right-Shift bit
    std::uint32_t result = WaitMs(0, 2);
    EXPECT_EQ(window().frames(), 5);
    EXPECT_TRUE(result & kInputRightShift);
    EXPECT_TRUE(InputState.pressed & kInputReturn) << "pressed and released during the wait, still seen";
}

TEST_F(FrameStepTest, TimedWaitEndsWhenTheTimeIsUp) {
    EXPECT_EQ(WaitMs(100, 3), 0u);
    EXPECT_EQ(window().frames(), 6) << "six 60ths of a second reach 100 ms";
    At(7, [&] { window().Press(0x01); });
    EXPECT_TRUE(WaitMs(1000, 1) & kInputEscape);
    EXPECT_EQ(window().frames(), 8);
}

TEST_F(FrameStepTest, CountedWaitEndsEarlyOnlyForTheFlagsGiven) {
    At(1, [&] { window().Press(0x2A); });
    EXPECT_EQ(WaitFrames(4, 1), 0u) << "a held skip key does not end a decide-only wait";
    EXPECT_EQ(window().frames(), 4);
    EXPECT_TRUE(WaitFrames(4, 2) & kInputLeftShift);
    EXPECT_EQ(window().frames(), 5);
}

TEST_F(FrameStepTest, WaitClickWaitsUntilEveryKeyIsUp) {
    At(1, [&] { window().Press(0x2A); });
    At(2, [&] { window().PressButton(0); });
    At(3, [&] { window().ReleaseButton(0); });
    At(6, [&] { window().Release(0x2A); });
    std::uint32_t result = WaitClick();
    EXPECT_TRUE(result & kInputMouseLeft);
    EXPECT_EQ(window().frames(), 7);
    EXPECT_EQ(InputState.held, 0u);
}

TEST_F(FrameStepTest, RequestsBecomeScriptExceptionsBeforeInputIsPolled) {
    window().Press(0x1C);
    PendingRequest = kRequestLoad;
    try {
        WaitFrames(0, 0);
        FAIL() << "no exception";
    } catch (const ScriptException& e) {
        EXPECT_EQ(e.code, ScriptException::kLoadSlot);
    }
    EXPECT_EQ(PendingRequest, kRequestNone);
    EXPECT_EQ(InputState.held, 0u) << "no input of that frame is seen";
    PendingRequest = kRequestTitle;
    EXPECT_THROW(StepFrame(), ScriptException);
    PendingRequest = kRequestGoBack;
    try {
        StepFrame();
    } catch (const ScriptException& e) {
        EXPECT_EQ(e.code, ScriptException::kGoBack);
    }
}

TEST_F(FrameStepTest, F12EndsTheProgramQuietlyEvenInsideAModalWait) {
    At(3, [&] { window().Press(0x58); });
    try {
        WaitClick();
        FAIL() << "no exception";
    } catch (const ExceptionHandle& e) {
        EXPECT_EQ(e.type, 1u);
        EXPECT_EQ(std::u16string(e.message), u"Quit");
        EXPECT_EQ(std::u16string(e.file), u"main");
    }
    EXPECT_EQ(window().frames(), 3);
}

TEST_F(FrameStepTest, ClosingAsksAndQuitsOnlyOnYes) {
    host.scripted_modal().AnswerNext(kIdNo);
    window().PostMessage({host::kMsgClose, 0, 0, {}});
    StepFrame();
    EXPECT_EQ(QuitRequested, 0);
    host.scripted_modal().AnswerNext(kIdYes);
    window().PostMessage({host::kMsgClose, 0, 0, {}});
    window().PostMessage({host::kMsgChar, 'a', 1, {}});
    EXPECT_THROW(StepFrame(), ExceptionHandle);
    EXPECT_EQ(host.scripted_modal().boxes.size(), 2u);
    EXPECT_EQ(procedure.received.back(), host::kMsgClose) << "nothing is dispatched after the quit";
}

TEST_F(FrameStepTest, AnInactiveApplicationWaitsForActivation) {
    window().PostMessage({host::kMsgActivateApp, 0, 0, {}});
    int waits_answered = 0;
    window().on_wait = [&] {
        if (++waits_answered == 3) window().PostMessage({host::kMsgActivateApp, 1, 0, {}});
    };
    StepFrame();
    EXPECT_EQ(AppActive, 1);
    EXPECT_EQ(window().waits(), 3) << "blocked on the window, not spinning frames";
    EXPECT_EQ(window().frames(), 1);
}

TEST_F(FrameStepTest, CharactersSetTheirHeldBitOnce) {
    window().PostMessage({host::kMsgChar, 0x3042, 1, {}});
    StepFrame();
    EXPECT_TRUE(InputState.held & kInputCharacter);
    EXPECT_EQ(InputState.character, 0x3042);
    StepFrame();
    EXPECT_FALSE(InputState.held & kInputCharacter);
}

TEST_F(FrameStepTest, KeyTableMapsEveryCodeToItsBit) {
    for (const InputKey& key : InputKeyTable) {
        if (key.code == 0x58) continue;  // F12 quits
        if (key.code >= 0x100)
            window().PressButton(key.code - 0x100);
        else
            window().Press(static_cast<std::uint8_t>(key.code));
        StepFrame();
        EXPECT_EQ(InputState.held, key.bit) << "code " << key.code;
        EXPECT_EQ(InputState.pressed, key.bit) << "code " << key.code;
        if (key.code >= 0x100)
            window().ReleaseButton(key.code - 0x100);
        else
            window().Release(static_cast<std::uint8_t>(key.code));
        StepFrame();
        EXPECT_EQ(InputState.released, key.bit) << "code " << key.code;
    }
    EXPECT_EQ(static_cast<std::uint32_t>(kDecideMask),
              kInputReturn | kInputEscape | kInputMouseLeft | kInputMouseRight);
    EXPECT_EQ(static_cast<std::uint32_t>(kSkipMask), kInputLeftShift | kInputRightShift | kInputMouseRight);
}

TEST_F(FrameStepTest, APointerOutsideKeepsItsLastPlaceAndDropsButtonsButNotTheirRelease) {
    window().MoveCursor(100, 200);
    window().PressButton(1);
    StepFrame();
    EXPECT_EQ(InputState.mouse_x, 100);
    EXPECT_EQ(InputState.mouse_y, 200);
    EXPECT_TRUE(InputState.held & kInputMouseRight);
    window().MoveCursor(800, 50);
    StepFrame();
    EXPECT_EQ(InputState.mouse_x, 100);
    EXPECT_FALSE(InputState.held & kInputMouseRight);
    window().ReleaseButton(1);
    StepFrame();
    EXPECT_TRUE(InputState.released & kInputMouseRight);
    window().TurnWheel(-240);
    StepFrame();
    EXPECT_EQ(InputState.wheel, -240);
    StepFrame();
    EXPECT_EQ(InputState.wheel, 0);
}

TEST_F(FrameStepTest, TasksAreWalkedAroundTheUpdateAndDraw) {
    static std::vector<std::string>* log;
    std::vector<std::string> order;
    log = &order;
    for (int slot = 0; slot < kActRootSlots; ++slot) {
        ACT* act = MakeACT(
            [](ACT* self, int message, std::intptr_t, std::intptr_t) -> std::intptr_t {
                if (message == kActWalkEnter) log->push_back(std::to_string(self->value));
                return 0;
            },
            static_cast<std::uintptr_t>(slot));
        AttachACT(slot, act);
    }
    runtime.root().SetUpdateCallback([](DrawView*) { log->push_back("update"); });
    StepFrame();
    const std::vector<std::string> expected{"0", "1", "update", "2",  "3",  "4",  "5",  "6", "7",
                                            "8", "9", "10",     "11", "12", "13", "14", "15"};
    EXPECT_EQ(order, expected);
}

// A view whose drawing takes 40 ms on the test clock.
class SlowView : public DrawView {
public:
    explicit SlowView(testhost::TestClock& clock) : clock_(clock) {}
    void Render(DrawRequest*) override { clock_.AdvanceMs(40); }

private:
    testhost::TestClock& clock_;
};

TEST_F(FrameStepTest, AutomaticDrawSpeedTurns40msOfDrawingIntoTwoSkippedFrames) {
    {
        DxDraw::DxScreenSurface* screen = &runtime.screen();
        SlowView slow(host.clock);
        runtime.root().Add(&slow);
        DrawSpeed = 0;
        screen->SetFrameSkipValue(1);  // as the start-up sets it for the automatic speed
        screen->SetFrameSkipCounter(1);
        StepFrame();  // skipped: counter 1 -> 0
        EXPECT_EQ(screen->GetFrameSkipValue(), 1);
        StepFrame();  // drawn, 40 ms
        EXPECT_EQ(screen->GetFrameSkipValue(), 2);
        EXPECT_EQ(screen->GetFrameSkipCounter(), 2);
        DrawSpeed = 1;
        screen->SetFrameSkipValue(0);
        screen->SetFrameSkipCounter(0);
        StepFrame();
        EXPECT_EQ(screen->GetFrameSkipValue(), 0) << "a fixed speed is left alone";
        slow.Detach();
    }
}

TEST_F(FrameStepTest, TimerCountsAcrossTheWrapOfTheMillisecondClock) {
    host.clock.SetMilliseconds(0xFFFFFFF0u);
    std::uint32_t timer = 0;
    EXPECT_EQ(StartTimer(timer), 0xFFFFFFF0u);
    host.clock.AdvanceMs(32);
    EXPECT_TRUE(TimerElapsed(timer, 20));
    EXPECT_TRUE(TimerElapsed(timer, 32));
    EXPECT_FALSE(TimerElapsed(timer, 40));
    EXPECT_EQ(WaitMs(50, 0), 0u);
    EXPECT_EQ(window().frames(), 3);
}

TEST_F(FrameStepTest, RebuildRequestUnwindsThroughThrowIfInterrupted) {
    EXPECT_NO_THROW(ThrowIfInterrupted());
    ChangeMask = kChangeRebuildViews;
    try {
        ThrowIfInterrupted();
        FAIL();
    } catch (const ScriptException& e) {
        EXPECT_EQ(e.code, ScriptException::kRebuildViews);
    }
}

TEST_F(FrameStepTest, EmptySchedulerLetsTheMainThreadRunTheFrame) {
    EXPECT_EQ(ScheduleThreads(), 1);
    StepFrame();
    EXPECT_EQ(window().frames(), 1);
    // Called from a slot's thread the step only yields.
    CurrentThreadSlot = 3;
    EXPECT_EQ(ScheduleThreads(), 0);
    StepFrame();
    EXPECT_EQ(window().frames(), 1);
    ThreadSlots[2].thread = &ThreadSlots[2];
    ResetThreadSlots();
    EXPECT_EQ(CurrentThreadSlot, 0);
    EXPECT_EQ(ThreadSlots[2].thread, nullptr);
}

}  // namespace
