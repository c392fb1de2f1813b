#include "dxdraw/dxinput.h"

#include <algorithm>

#include "lib/report.h"

namespace {

struct RepeatCounter {
    std::uint8_t delay = 16;
    std::uint8_t interval = 0;
};

// The process-wide input state: one keyboard and one mouse for the one game window.
struct InputState {
    host::Window* window = nullptr;
    host::Clock* clock = nullptr;
    InputBits held{}, pressed{}, released{}, repeat{};
    std::uint8_t keyboard[256] = {};
    MouseDelta mouse;
    std::array<RepeatCounter, kInputCodeCount> counters{};
    float repeat_interval = 0.016666668f;
    std::uint64_t frequency = 1;
    std::uint64_t last_step = 0;
};

InputState g_input;

bool TestBit(const InputBits& bits, int code) {
    if (code < 0 || code >= kInputCodeCount) return false;
    return (bits[static_cast<std::size_t>(code >> 3)] & (0x80 >> (code & 7))) != 0;
}

void SetBit(InputBits& bits, int code, bool on) {
    std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (code & 7));
    if (on)
        bits[static_cast<std::size_t>(code >> 3)] |= mask;
    else
        bits[static_cast<std::size_t>(code >> 3)] &= static_cast<std::uint8_t>(~mask);
}

void ReadInputDevices() {
    InputBits now{};
    host::Window* window = g_input.window;
    if (window && window->ReadKeyboard(g_input.keyboard)) {
        for (int k = 0; k < 256; ++k) SetBit(now, k, (g_input.keyboard[k] & 0x80) != 0);
    }
    host::MouseReading mouse;
    if (window && window->ReadMouse(mouse)) {
        now[32] = static_cast<std::uint8_t>((mouse.buttons[0] ? 0x80 : 0) | (mouse.buttons[1] ? 0x40 : 0) |
                                            (mouse.buttons[2] ? 0x20 : 0));
        g_input.mouse = {mouse.dx, mouse.dy, mouse.dz};
    } else {
        // A failed read moved nothing: keeping the last delta would repeat its wheel turn every frame.
        g_input.mouse = {};
    }
    for (std::size_t i = 0; i < now.size(); ++i) {
        g_input.pressed[i] = static_cast<std::uint8_t>((g_input.held[i] ^ now[i]) & now[i]);
        g_input.released[i] = static_cast<std::uint8_t>((now[i] ^ g_input.held[i]) & g_input.held[i]);
        g_input.held[i] = now[i];
    }
}

// One repeat step of a code: a held code pulses on the first step, then after 16 steps, then
// every 4 steps; a code not held starts over.
bool RepeatStep(RepeatCounter& c, bool held) {
    if (!held) {
        c = RepeatCounter{};
        return false;
    }
    if (c.delay > 0) return c.delay-- == 16;
    const bool pulse = c.interval == 0;
    if (pulse) c.interval = 4;
    --c.interval;
    return pulse;
}

}  // namespace

int InitDirectInput(const InputParams& params) {
    g_input.repeat_interval = params.repeat_interval;
    if (!params.window || !params.clock) {
        MessageBoxPrintf(u"DirectInput Initialize", u"パラメータが不正です。");
        return 0;
    }
    g_input.window = params.window;
    g_input.clock = params.clock;
    ResetInput();
    return 1;
}

void ReleaseDirectInput() {
    g_input.window = nullptr;
    g_input.clock = nullptr;
}

void ResetInput() {
    g_input.held.fill(0);
    g_input.pressed.fill(0);
    g_input.released.fill(0);
    g_input.repeat.fill(0);
    std::fill(std::begin(g_input.keyboard), std::end(g_input.keyboard), 0);
    g_input.counters.fill(RepeatCounter{});
    if (g_input.clock) {
        g_input.frequency = std::max<std::uint64_t>(1, g_input.clock->CounterFrequency());
        g_input.last_step = g_input.clock->Counter();
    }
}

void UpdateInput() {
    ReadInputDevices();
    bool step_due = false;
    std::uint64_t now = 0;
    if (g_input.clock) {
        now = g_input.clock->Counter();
        const double elapsed = static_cast<double>(now - g_input.last_step) / static_cast<double>(g_input.frequency);
        step_due = static_cast<double>(g_input.repeat_interval) <= elapsed;
    }
    for (int k = 0; k < kInputCodeCount; ++k) {
        RepeatCounter& c = g_input.counters[static_cast<std::size_t>(k)];
        // A press since the last read pulses in this read, step or not: a key tapped between two
        // reads is down in one read only, and a read sooner than the interval after the last step
        // would otherwise drop its only pulse. It starts over even when no step saw the release.
        const bool fresh = TestBit(g_input.pressed, k);
        if (fresh) c = RepeatCounter{};
        SetBit(g_input.repeat, k, (step_due || fresh) && RepeatStep(c, TestBit(g_input.held, k)));
    }
    if (step_due) g_input.last_step = now;
}

bool IsInputHeld(int code) { return TestBit(g_input.held, code); }
bool IsInputPressed(int code) { return TestBit(g_input.pressed, code); }
bool IsInputReleased(int code) { return TestBit(g_input.released, code); }
bool IsInputRepeat(int code) { return TestBit(g_input.repeat, code); }

void GetMouseDelta(MouseDelta& out) { out = g_input.mouse; }

void AcquireInputDevices() {}
