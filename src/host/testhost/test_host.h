// The test host: a deterministic clock, a scripted window (keyboard, mouse, messages, captured
// frames, display modes, full-screen success or failure) and scripted answers for message boxes
// and dialogs, behind the interfaces the real host implements. Every PaceFrame advances the
// clock by one 60 Hz frame and calls the test's per-frame hook.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "host/ui/host.h"
#include "host/ui/modal_stack.h"
#include "host/ui/report_sink.h"
#include "host/video/clock.h"

namespace testhost {

class TestClock final : public host::Clock {
public:
    std::uint32_t Milliseconds() override { return static_cast<std::uint32_t>(base_ms_ + micros_ / 1000); }
    std::uint64_t Counter() override { return micros_; }
    std::uint64_t CounterFrequency() override { return 1'000'000; }
    void SleepMs(std::uint32_t ms) override { micros_ += std::uint64_t{ms} * 1000; }

    void AdvanceMicros(std::uint64_t us) { micros_ += us; }
    void AdvanceMs(std::uint32_t ms) { micros_ += std::uint64_t{ms} * 1000; }
    // Puts the millisecond clock at a value (to test its wrap at 2^32).
    void SetMilliseconds(std::uint32_t ms) { base_ms_ = ms - static_cast<std::uint32_t>(micros_ / 1000); }

private:
    std::uint64_t micros_ = 0;
    std::uint32_t base_ms_ = 0;
};

class TestWindow final : public host::Window {
public:
    explicit TestWindow(TestClock& clock);

    // host::Window
    void Present(const std::uint32_t* pixels, int pitch, std::span<const host::Rect> rects) override;
    bool SetFullScreen(bool on) override;
    bool IsFullScreen() const override { return full_screen_; }
    std::vector<host::DisplayMode> DisplayModes() const override { return modes; }
    int RefreshRate() const override { return refresh_rate; }
    void ShowMenuBar(bool shown) override { menu_bar_shown_ = shown; }
    bool MenuBarShown() const override { return menu_bar_shown_; }
    bool PeekMessage(host::WindowMessage& out) override;
    void WaitMessage() override;
    void PostMessage(const host::WindowMessage& message) override { queue_.push_back(message); }
    bool ReadKeyboard(std::uint8_t (&keys)[256]) override;
    bool ReadMouse(host::MouseReading& out) override;
    void CursorPosition(int& x, int& y) const override;
    void PaceFrame() override;

    // Scripting.
    void Press(std::uint8_t code) { keys_[code] = 0x80; }
    void Release(std::uint8_t code) { keys_[code] = 0; }
    void PressButton(int button) { buttons_[button] = true; }
    void ReleaseButton(int button) { buttons_[button] = false; }
    void MoveCursor(int x, int y) {
        cursor_x_ = x;
        cursor_y_ = y;
    }
    void TurnWheel(int delta) { wheel_ += delta; }
    void MoveMouse(int dx, int dy) {
        dx_ += dx;
        dy_ += dy;
    }
    // While set, reads fail as they do for a window without focus.
    bool keyboard_fails = false;
    bool mouse_fails = false;
    // Whether a switch to full screen succeeds, and one to (or a start in) a window.
    bool full_screen_works = true;
    bool window_mode_works = true;
    std::vector<host::DisplayMode> modes{{800, 600, 32, 60}, {1024, 768, 32, 60}};
    int refresh_rate = 60;
    // Called after every PaceFrame with the number of frames paced so far (1 for the first).
    std::function<void(int frame)> on_frame;
    // Called when WaitMessage finds the queue empty; it must post a message (or throw).
    std::function<void()> on_wait;

    // Turns over the colours of what was shown in `rect` (clipped to the picture) without a
    // present: a difference between the views and the window that only the frame check of the
    // playthrough tool can find, planted by the test that the check runs.
    void Smudge(const host::Rect& rect);
    // What was shown.
    std::uint32_t Pixel(int x, int y) const { return frame_[static_cast<std::size_t>(y) * host::kGameWidth + x]; }
    // Rows of host::kGameWidth pixels.
    std::span<const std::uint32_t> ShownPixels() const { return frame_; }
    const std::vector<std::vector<host::Rect>>& presents() const { return presents_; }
    void ClearPresents() { presents_.clear(); }
    int frames() const { return frames_; }
    int waits() const { return waits_; }
    std::size_t pending_messages() const { return queue_.size(); }

private:
    TestClock& clock_;
    std::deque<host::WindowMessage> queue_;
    std::uint8_t keys_[256] = {};
    bool buttons_[3] = {};
    int cursor_x_ = 0, cursor_y_ = 0;
    int dx_ = 0, dy_ = 0, wheel_ = 0;
    bool full_screen_ = false;
    bool menu_bar_shown_ = true;
    std::vector<std::uint32_t> frame_;
    std::vector<std::vector<host::Rect>> presents_;
    int frames_ = 0;
    int waits_ = 0;
    std::uint64_t frame_remainder_ = 0;
};

struct ShownBox {
    std::u16string caption, text;
    unsigned style;
};

// Boxes and dialogs run on the same modal stack as in the window: a box asked while a dialog
// runs, or a dialog opened from a dialog's command, is stacked over it and answered from the
// script in the order the modals open.
class ScriptedModal final : public host::ModalUi {
public:
    int MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) override;
    std::intptr_t RunDialog(host::Dialog& dialog) override;

    // Answers for the next message boxes (when none is left: the box's first button).
    void AnswerNext(int answer) { answers_.push_back(answer); }
    // No run meets this many boxes. A loop that asks again without end (a retry that never
    // succeeds, an answer that is not acted on) meets them in a moment: the box after the last
    // of them raises the error exception instead of answering, so the run fails at once.
    static constexpr std::size_t kMaxBoxes = 100;
    // What the player does in the next dialog, after its OnInit; a dialog the script leaves
    // open is cancelled as by the close box.
    void OnNextDialog(std::function<void(host::Dialog&)> script) { dialogs_.push_back(std::move(script)); }

    std::vector<ShownBox> boxes;
    std::vector<std::u16string> dialogs_run;
    // How deep the stack was when each box was asked (1: over nothing).
    std::vector<std::size_t> box_depths;
    const host::ModalStack& stack() const { return stack_; }

private:
    std::deque<int> answers_;
    std::deque<std::function<void(host::Dialog&)>> dialogs_;
    host::ModalStack stack_;
};

class TestHost final : public host::Host {
public:
    TestHost() : clock_scope_(&clock), window_(clock) {}
    host::Window& window() override { return window_; }
    host::ModalUi& modal() override { return modal_; }
    host::MenuModel& menu() override { return menu_; }

    TestClock clock;
    TestWindow& test_window() { return window_; }
    ScriptedModal& scripted_modal() { return modal_; }

private:
    host::ScopedClock clock_scope_;
    TestWindow window_;
    ScriptedModal modal_;
    host::MenuModel menu_;
    // As with the real host, the program's message boxes go to the modal layer (its scripted
    // answers) while the host lives.
    host::ModalReportSink sink_{modal_};
    ScopedReportSink sink_scope_{&sink_};
};

// A test host handed to what opens its own window (the program's shell) while the caller keeps
// it, so that what it recorded outlives the run.
class BorrowedHost final : public host::Host {
public:
    explicit BorrowedHost(TestHost& host) : host_(host) {}
    host::Window& window() override { return host_.window(); }
    host::ModalUi& modal() override { return host_.modal(); }
    host::MenuModel& menu() override { return host_.menu(); }

private:
    TestHost& host_;
};

}  // namespace testhost
