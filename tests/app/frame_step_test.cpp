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

// Presses (down) or lets go of a key, or of a mouse button for codes 0x100 to 0x102.
void Key(testhost::TestWindow& window, int code, bool down) {
    if (code >= 0x100)
        down ? window.PressButton(code - 0x100) : window.ReleaseButton(code - 0x100);
    else
        down ? window.Press(static_cast<std::uint8_t>(code)) : window.Release(static_cast<std::uint8_t>(code));
}

TEST_F(FrameStepTest, WaitsEndAsTheirFlagsSayAndLeaveEveryPressOfTheWaitInPressed) {
    struct Event {
        int frame, code;
        bool down;
    };
    // A wait by frames ('f'), by milliseconds ('m') or for a click ('c'), with its two arguments.
    struct Case {
        char kind;
        int amount, flags;
        std::vector<Event> events;
        int frames;
        std::uint32_t result, pressed;
    } cases[] = {
        {'f', 3, 0, {}, 3, 0, 0},
        {'f', 0, 0, {{2, 0x1C, true}}, 3, 0x10, 0x10},
        {'f', 0, 1, {{2, 0x100, true}, {5, 0x100, false}}, 6, 0x1000, 0x1000},  // waits for the release
        {'f', 4, 1, {{1, 0x2A, true}}, 4, 0, 0x10000},                          // ignores skip keys
        {'f', 4, 2, {{1, 0x2A, true}}, 2, 0x10000, 0x10000},
        {'m', 0, 2, {{1, 0x1C, true}, {2, 0x1C, false}, {4, 0x49, true}}, 5, 0x20000, 0x20010},  // ignores decide
        {'m', 100, 3, {}, 6, 0, 0},  // six 60ths reach 100 ms
        {'m', 100, 0, {{1, 0xC8, true}, {2, 0xC8, false}}, 6, 0, 0x1},
        {'m', 1000, 1, {{1, 0x01, true}}, 2, 0x20, 0x20},
        {'m', 100, 2, {{1, 0xC8, true}, {3, 0x2A, true}}, 4, 0x10001, 0x10001},  // gives the held word
        // A click waits until every key is up, and keeps what was pressed until the release.
        {'c', 0, 0, {{1, 0x2A, true}, {2, 0x100, true}, {3, 0x100, false}, {6, 0x2A, false}}, 7, 0x1000, 0},
        {'c', 0, 0, {{1, 0x1C, true}, {2, 0xC8, true}, {3, 0xC8, false}, {4, 0x1C, false}}, 5, 0x10, 0x11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " " << c.amount << " " << c.flags);
        const int base = window().frames();
        for (const Event& e : c.events) At(base + e.frame, [this, e] { Key(window(), e.code, e.down); });
        const std::uint32_t result = c.kind == 'f'   ? WaitFrames(c.amount, c.flags)
                                     : c.kind == 'm' ? WaitMs(c.amount, c.flags)
                                                     : WaitClick();
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(window().frames() - base, c.frames);
        EXPECT_EQ(InputState.pressed, c.pressed);
        script.clear();
        while (InputState.held) {
            for (int code : {0x1C, 0x2A, 0x49, 0xC8, 0x01}) window().Release(static_cast<std::uint8_t>(code));
            window().ReleaseButton(0);
            StepFrame();
        }
    }
}

TEST_F(FrameStepTest, RequestsBecomeScriptExceptionsBeforeInputIsPolled) {
    const std::pair<std::int32_t, std::int32_t> cases[] = {{kRequestTitle, 0}, {kRequestLoad, 1}, {kRequestGoBack, 2}};
    window().Press(0x1C);
    for (auto [request, code] : cases) {
        PendingRequest = request;
        std::int32_t thrown = -1;
        try {
            StepFrame();
        } catch (const ScriptException& e) {
            thrown = e.code;
        }
        EXPECT_EQ(thrown, code) << request;
        EXPECT_EQ(PendingRequest, kRequestNone);
        EXPECT_EQ(InputState.held, 0u) << "no input of that frame is seen";
    }
    EXPECT_NO_THROW(ThrowIfInterrupted());
    ChangeMask = kChangeRebuildViews;
    EXPECT_THROW(ThrowIfInterrupted(), ScriptException);
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

TEST_F(FrameStepTest, EachKeySetsItsDocumentedBitInEveryWord) {
    const std::pair<int, std::uint32_t> keys[] = {
        {0x100, 0x1000}, {0x101, 0x2000}, {0x102, 0x4000}, {0xC8, 0x1},     {0xD0, 0x2},     {0xCB, 0x4},
        {0xCD, 0x8},     {0x48, 0x1},     {0x50, 0x2},     {0x4B, 0x4},     {0x4D, 0x8},     {0x9C, 0x10},
        {0x1C, 0x10},    {0x01, 0x20},    {0x52, 0x20},    {0x4F, 0x40},    {0x51, 0x80},    {0x47, 0x10000},
        {0x2A, 0x10000}, {0x49, 0x20000}, {0x36, 0x20000}, {0x1D, 0x40000}, {0x9D, 0x80000}, {0x39, 0},
    };
    for (auto [code, bit] : keys) {
        Key(window(), code, true);
        StepFrame();
        EXPECT_EQ(InputState.held, bit) << std::hex << code;
        EXPECT_EQ(InputState.pressed, bit) << std::hex << code;
        std::uint32_t repeat = InputState.repeat;
        for (int frame = 0; frame < 2; ++frame, repeat |= InputState.repeat) StepFrame();
        EXPECT_EQ(repeat, bit) << std::hex << code << ": a held key repeats within three frames";
        EXPECT_EQ(InputState.pressed, 0u) << std::hex << code << ": pressed only in the first frame";
        Key(window(), code, false);
        StepFrame();
        EXPECT_EQ(InputState.released, bit) << std::hex << code;
        StepFrame();
        EXPECT_EQ(InputState.released, 0u) << std::hex << code << ": released only in the frame after";
    }
    // A typed character sets its bit for one frame.
    window().PostMessage({host::kMsgChar, 0x3042, 1, {}});
    StepFrame();
    EXPECT_EQ(InputState.held, kInputCharacter);
    EXPECT_EQ(InputState.character, 0x3042);
    StepFrame();
    EXPECT_EQ(InputState.held, 0u);
}

TEST_F(FrameStepTest, APointerOutsideKeepsItsLastPlaceAndDropsButtonsButNotTheirRelease) {
    window().MoveCursor(100, 200);
    window().PressButton(1);
    StepFrame();
    EXPECT_EQ(InputState.mouse_x, 100);
    EXPECT_EQ(InputState.mouse_y, 200);
    EXPECT_TRUE(InputState.held & kInputMouseRight);
    window().MoveCursor(800, 50);
    window().PressButton(0);
    std::uint32_t seen = 0;
    for (int frame = 0; frame < 2; ++frame) {  // the repeat pulse may come in either frame
        StepFrame();
        seen |= InputState.held | InputState.pressed | InputState.repeat;
    }
    EXPECT_EQ(InputState.mouse_x, 100);
    EXPECT_EQ(seen, 0u);
    window().ReleaseButton(0);
    window().ReleaseButton(1);
    StepFrame();
    EXPECT_EQ(InputState.released, kInputMouseLeft | kInputMouseRight);
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
    struct DrawnView : DrawView {
        void Render(DrawRequest*) override { log->push_back("draw"); }
    } drawn;
    runtime.root().SetUpdateCallback([](DrawView*) { log->push_back("update"); });
    runtime.root().Add(&drawn);
    StepFrame();
    drawn.Detach();
    const std::vector<std::string> expected{"0", "1", "update", "2",  "draw", "3",  "4",  "5",  "6",
                                            "7", "8", "9",      "10", "11",   "12", "13", "14", "15"};
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
