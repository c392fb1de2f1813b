// Keyboard and mouse bit sets and the auto-repeat clock, over the test host's scripted window
// (each key's held, pressed and released bits are checked through the frame step's input word).
#include <gtest/gtest.h>

#include <vector>

#include "app/runtime.h"
#include "dxdraw/dxinput.h"
#include "host/testhost/test_host.h"
#include "support/capture_reports.h"

namespace {

class InputDevicesTest : public ::testing::Test {
protected:
    testhost::TestWindow& window() { return host.test_window(); }
    // One poll a (steady) 60th of a second later, a little over the interval.
    void Step() {
        host.clock.AdvanceMicros(16700);
        UpdateInput();
    }

    testhost::TestHost host;
    ScopedRuntime runtime{host};
};

TEST_F(InputDevicesTest, AutoRepeatPulsesAtSteps1_17_21_25AndRestartsOnANewPress) {
    window().Press(0xC8);
    std::vector<int> pulses;
    for (int step = 1; step <= 30; ++step) {
        Step();
        if (IsInputRepeat(0xC8)) pulses.push_back(step);
        // A second poll within the same 60th clears the pulse and takes no repeat step.
        host.clock.AdvanceMicros(2000);
        UpdateInput();
        EXPECT_FALSE(IsInputRepeat(0xC8));
    }
    EXPECT_EQ(pulses, (std::vector<int>{1, 17, 21, 25, 29}));
    window().Release(0xC8);
    Step();
    EXPECT_FALSE(IsInputRepeat(0xC8));
    window().Press(0xC8);
    Step();
    EXPECT_TRUE(IsInputRepeat(0xC8)) << "a new press pulses at once";
}

// A press since the last read pulses in that read, however soon after the last repeat step it
// comes (a key tapped between two reads is down in that read only), and once; it starts the count
// over even when no step saw the key go up.
TEST_F(InputDevicesTest, APressPulsesInTheReadThatSeesItEvenBetweenRepeatSteps) {
    const auto soon = [this] {
        host.clock.AdvanceMicros(2000);
        UpdateInput();
    };
    std::vector<int> pulses;
    window().Press(0xC8);
    for (int step = 1; step <= 10; ++step) Step();
    window().Release(0xC8);
    soon();
    window().Press(0xC8);
    soon();
    if (IsInputRepeat(0xC8)) pulses.push_back(0);
    soon();
    if (IsInputRepeat(0xC8)) pulses.push_back(-1);
    for (int step = 1; step <= 20; ++step) {
        Step();
        if (IsInputRepeat(0xC8)) pulses.push_back(step);
    }
    EXPECT_EQ(pulses, (std::vector<int>{0, 16, 20})) << "the press counts as the first step";
}

TEST_F(InputDevicesTest, FailedReadsReleaseEverythingAndMoveNothing) {
    window().Press(0x2A);
    window().PressButton(0);
    window().TurnWheel(120);
    Step();
    MouseDelta delta;
    GetMouseDelta(delta);
    EXPECT_EQ(delta.dz, 120);
    window().keyboard_fails = true;
    window().mouse_fails = true;
    Step();
    EXPECT_TRUE(IsInputReleased(0x2A));
    EXPECT_TRUE(IsInputReleased(256));
    GetMouseDelta(delta);
    EXPECT_EQ(delta.dz, 0) << "the wheel turn of the last good read must not repeat";
    window().mouse_fails = false;
    Step();
    GetMouseDelta(delta);
    EXPECT_EQ(delta.dz, 0);
    EXPECT_FALSE(IsInputHeld(-1) || IsInputHeld(264)) << "codes outside the keys and buttons";
}

TEST(InputDevicesInit, WithoutAWindowTheStartUpIsToldWhy) {
    testsupport::CaptureReports reports;
    testhost::TestClock clock;
    EXPECT_EQ(InitDirectInput({nullptr, &clock, 0.016666668f}), 0);
    ASSERT_EQ(reports.boxes.size(), 1u);
    EXPECT_EQ(reports.boxes[0].caption, u"DirectInput Initialize");
    EXPECT_EQ(reports.boxes[0].text, u"パラメータが不正です。");
}

}  // namespace
