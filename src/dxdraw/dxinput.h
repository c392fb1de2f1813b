// Keyboard and mouse, read once per frame into bit sets of 264 input codes: the 256 keyboard
// scan codes, then mouse buttons 0 (left), 1 (right), 2 (middle) as codes 256 to 258 (259-263
// exist and stay 0). Held, pressed, released and auto-repeat sets; auto-repeat is paced by the
// high-resolution counter at a fixed interval, independent of the frame rate, except that a press
// pulses in the read that sees it: one tap is always one pulse.
#pragma once

#include <array>
#include <cstdint>

#include "host/video/clock.h"
#include "host/video/window.h"

inline constexpr int kInputCodeCount = 264;
inline constexpr int kInputMouseButton0 = 256;

// One bit per code, the most significant bit first: code k is bit 0x80 >> (k & 7) of byte k >> 3.
using InputBits = std::array<std::uint8_t, 33>;

struct InputParams {
    host::Window* window = nullptr;        // the window whose keyboard and mouse are read
    host::Clock* clock = nullptr;          // the counter that paces auto-repeat
    float repeat_interval = 0.016666668f;  // seconds between repeat steps
};

struct MouseDelta {
    std::int32_t dx = 0, dy = 0, dz = 0;
};

// 1 on success; 0 (after a message box) when the parameters name no window or clock.
int InitDirectInput(const InputParams& params);
// Forgets the window and clock (at shutdown); reads then see nothing held.
void ReleaseDirectInput();
// Polls both devices and runs the auto-repeat step (for a code just pressed, always); once per
// frame.
void UpdateInput();
bool IsInputHeld(int code);
bool IsInputPressed(int code);
bool IsInputReleased(int code);
bool IsInputRepeat(int code);
void GetMouseDelta(MouseDelta& out);
// Called by the frame window on activation. Reads go through the window, which follows the
// input focus itself, so there is nothing to take back here.
void AcquireInputDevices();
// Clears the four sets and the keyboard buffer, resets every repeat counter and restarts the
// repeat clock.
void ResetInput();
