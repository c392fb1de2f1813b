// The frame step that every wait of the program turns, the input record it fills, and the waits
// and timer built on it.
//
// A frame: messages of the window are dispatched to its procedure (from this loop only, never
// from inside a platform callback), a pending menu request becomes a ScriptException, the
// keyboard and mouse are polled into InputState, F12 quits, the task roots are walked around
// the update and draw of the views, the automatic draw speed adapts the frame skip, and the
// window paces the frame to the display.
#pragma once

#include <cstdint>

#include "host/video/window.h"
#include "script/script_error.h"

struct InputStateRecord {
    std::uint32_t held = 0;
    std::uint32_t pressed = 0;
    std::uint32_t released = 0;
    std::uint32_t repeat = 0;
    std::uint16_t character = 0;
    std::uint32_t character_param = 0;
    std::int32_t mouse_x = 0;
    std::int32_t mouse_y = 0;
    std::int32_t wheel = 0;
};

// Input bits of the record.
enum : std::uint32_t {
    kInputUp = 0x1,
    kInputDown = 0x2,
    kInputLeft = 0x4,
    kInputRight = 0x8,
    kInputReturn = 0x10,
    kInputEscape = 0x20,
    kInputPad1 = 0x40,
    kInputPad3 = 0x80,
    kInputMouseLeft = 0x1000,
    kInputMouseRight = 0x2000,
    kInputMouseMiddle = 0x4000,
    kInputMouseButtons = 0x7000,
    kInputLeftShift = 0x10000,
    kInputRightShift = 0x20000,
    kInputLeftControl = 0x40000,
    kInputRightControl = 0x80000,
    kInputF12 = 0x10000000,
    kInputCharacter = 0x40000000,
    kDecideMask = 0x3030,  // Return or pad Enter, Escape or pad 0, left and right mouse button
    kSkipMask = 0x32000,   // left Shift or pad 7, right Shift or pad 9, right mouse button
};

// One entry of the key table: an input code (scan code, or 256 + mouse button) and its bit.
struct InputKey {
    int code;
    std::uint32_t bit;
};
inline constexpr int kInputKeyCount = 24;
extern const InputKey InputKeyTable[kInputKeyCount];

extern InputStateRecord InputState;

// Requests and words the window procedure and the settings set.
enum : std::int32_t { kRequestNone = 0, kRequestTitle = 1, kRequestLoad = 2, kRequestGoBack = 3 };
extern std::int32_t PendingRequest;
extern std::int32_t QuitRequested;
extern std::int32_t AppActive;
extern std::int32_t CharReceived;
extern std::uint32_t ChangeMask;
extern std::int32_t DrawSpeed;  // 1, 2, 4, 8, 16 (draw one frame in that many), 0 automatic
// The draw speed the screen takes: DrawSpeed when the menu offers it, else 1. DrawSpeed itself keeps
// any other number the settings file holds, so that the file is written back as it was.
std::int32_t DrawSpeedInUse(std::int32_t draw_speed);
extern std::int32_t ClientWidth;
extern std::int32_t ClientHeight;
// ChangeMask bits: the settings dialogs set them, the story's waits read and clear them.
inline constexpr std::uint32_t kChangeDisplaySpeed = 0x2;
inline constexpr std::uint32_t kChangeSkipUnread = 0x4;  // the stop-at-unread setting
inline constexpr std::uint32_t kChangeSkipChoice = 0x8;
inline constexpr std::uint32_t kChangeRebuildViews = 0x10;

class DrawGroup;
namespace DxDraw {
class DxScreenSurface;
}

// The main window and the procedure its messages go to, set by the start-up.
extern host::Window* MainWindowHandle;
extern host::WindowProcedure* MainWindowProcedure;
// What the frame step draws: the root view group, and the screen surface below it whose frame
// skip the automatic draw speed adapts. Set by the start-up; without them a frame draws nothing.
extern DrawGroup* RootViewGroup;
extern DxDraw::DxScreenSurface* ScreenSurface;

// Puts every record above at its start value: an empty input record, no request, active, the
// draw speed 1, the game's client size, and nothing wired. The runtime's start-up and teardown
// (app/runtime.h) call it; nothing else should.
void ResetFrameState();

// One frame unless the caller runs in a script thread (then it only yields).
void StepFrame();
// One frame on the main thread. Throws ScriptException 0, 1 or 2 for a pending request, or the
// error exception of type 1 "Quit" for F12 or a confirmed close.
void FrameUpdate();
// Dispatches every waiting message; keeps waiting while the application is inactive.
void PumpMessages();
void PollInput(InputStateRecord& record);

// The waits. flags: 1 end on a press of the decide mask, 2 end while a skip key is held.
// Result: the input word that ended the wait, or 0 when the count or time ran out.
std::uint32_t WaitFrames(std::int32_t count, std::uint32_t flags);
std::uint32_t WaitMs(std::uint32_t milliseconds, std::uint32_t flags);
std::uint32_t WaitClick();

std::uint32_t StartTimer(std::uint32_t& timer);
bool TimerElapsed(std::uint32_t timer, std::uint32_t milliseconds);
// Throws ScriptException 3 when the views must be rebuilt.
void ThrowIfInterrupted();
