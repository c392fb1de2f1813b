#include "host/testhost/test_host.h"

#include <algorithm>
#include <stdexcept>

#include "lib/error.h"
#include "lib/report_hook.h"

namespace testhost {

TestWindow::TestWindow(TestClock& clock)
    : clock_(clock), frame_(static_cast<std::size_t>(host::kGameWidth) * host::kGameHeight, 0xFF000000u) {}

void TestWindow::Present(const std::uint32_t* pixels, int pitch, std::span<const host::Rect> rects) {
    const host::Rect screen{0, 0, host::kGameWidth, host::kGameHeight};
    std::vector<host::Rect> shown;
    for (const host::Rect& rect : rects) {
        host::Rect r = host::Intersect(rect, screen);
        if (r.empty()) continue;
        for (int y = r.top; y < r.bottom; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(pixels) +
                                                                     static_cast<std::ptrdiff_t>(y) * pitch);
            std::copy(row + r.left, row + r.right,
                      frame_.begin() + static_cast<std::ptrdiff_t>(y) * host::kGameWidth + r.left);
        }
        shown.push_back(r);
    }
    presents_.push_back(std::move(shown));
}

void TestWindow::Smudge(const host::Rect& rect) {
    const host::Rect r = host::Intersect(rect, host::Rect{0, 0, host::kGameWidth, host::kGameHeight});
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) frame_[static_cast<std::size_t>(y) * host::kGameWidth + x] ^= 0xFFFFFF;
}

bool TestWindow::SetFullScreen(bool on) {
    if (on ? !full_screen_works : !window_mode_works) return false;
    full_screen_ = on;
    return true;
}

bool TestWindow::PeekMessage(host::WindowMessage& out) {
    if (queue_.empty()) return false;
    out = queue_.front();
    queue_.pop_front();
    return true;
}

void TestWindow::WaitMessage() {
    ++waits_;
    if (!queue_.empty()) return;
    if (!on_wait) throw std::logic_error("test window: waiting for a message that nothing will send");
    on_wait();
}

bool TestWindow::ReadKeyboard(std::uint8_t (&keys)[256]) {
    if (keyboard_fails) return false;
    std::copy(std::begin(keys_), std::end(keys_), std::begin(keys));
    return true;
}

bool TestWindow::ReadMouse(host::MouseReading& out) {
    if (mouse_fails) return false;
    std::copy(std::begin(buttons_), std::end(buttons_), std::begin(out.buttons));
    out.dx = dx_;
    out.dy = dy_;
    out.dz = wheel_;
    dx_ = dy_ = wheel_ = 0;
    return true;
}

void TestWindow::CursorPosition(int& x, int& y) const {
    x = cursor_x_;
    y = cursor_y_;
}

void TestWindow::PaceFrame() {
    // Exactly 60 frames a second: 16,666.67 microseconds, the remainder carried.
    frame_remainder_ += 1'000'000;
    clock_.AdvanceMicros(frame_remainder_ / 60);
    frame_remainder_ %= 60;
    ++frames_;
    if (on_frame) on_frame(frames_);
}

int ScriptedModal::MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) {
    // Raised once: the boxes that report it are answered as any other.
    if (boxes.size() == kMaxBoxes) {
        boxes.push_back({std::u16string(caption), std::u16string(text), style});
        ThrowError(u"test host", 0, 0, 0, u"%d message boxes answered: a loop that asks again without end\n",
                   static_cast<int>(kMaxBoxes));
    }
    return stack_.MessageBox(caption, text, style, [this](host::OpenModal& box) {
        boxes.push_back({box.caption, box.text, box.style});
        box_depths.push_back(stack_.depth());
        if (!answers_.empty()) {
            box.answer = answers_.front();
            answers_.pop_front();
        } else if (box.answer == 0) {
            box.answer = host::BoxAnswers(box.style).front();
        }
        return box.answer;
    });
}

std::intptr_t ScriptedModal::RunDialog(host::Dialog& dialog) {
    dialogs_run.push_back(dialog.caption());
    // The script is taken when the dialog opens, before its OnInit: a dialog opened from its
    // OnInit or its commands takes the script after it.
    std::function<void(host::Dialog&)> script;
    if (!dialogs_.empty()) {
        script = std::move(dialogs_.front());
        dialogs_.pop_front();
    }
    return stack_.RunDialog(dialog, [&](host::OpenModal&) {
        if (script) script(dialog);
        if (dialog.ended()) return;
        dialog.Cancel();
        if (!dialog.ended()) dialog.End(kIdCancel);
    });
}

}  // namespace testhost
