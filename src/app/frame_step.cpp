#include "app/frame_step.h"

#include <algorithm>
#include <iterator>

#include "app/game_events.h"
#include "app/scheduler.h"
#include "dxdraw/draw_view.h"
#include "dxdraw/dxinput.h"
#include "dxdraw/screen_surface.h"
#include "host/video/clock.h"
#include "lib/act.h"
#include "lib/error.h"

const InputKey InputKeyTable[kInputKeyCount] = {
    {0x100, kInputMouseLeft}, {0x101, kInputMouseRight}, {0x102, kInputMouseMiddle}, {0xC8, kInputUp},
    {0xD0, kInputDown},       {0xCB, kInputLeft},        {0xCD, kInputRight},        {0x48, kInputUp},
    {0x50, kInputDown},       {0x4B, kInputLeft},        {0x4D, kInputRight},        {0x9C, kInputReturn},
    {0x1C, kInputReturn},     {0x01, kInputEscape},      {0x52, kInputEscape},       {0x4F, kInputPad1},
    {0x51, kInputPad3},       {0x47, kInputLeftShift},   {0x2A, kInputLeftShift},    {0x49, kInputRightShift},
    {0x36, kInputRightShift}, {0x58, kInputF12},         {0x1D, kInputLeftControl},  {0x9D, kInputRightControl},
};

InputStateRecord InputState;
std::int32_t PendingRequest = kRequestNone;
std::int32_t QuitRequested = 0;
std::int32_t AppActive = 1;
std::int32_t CharReceived = 0;
std::uint32_t ChangeMask = 0;
std::int32_t DrawSpeed = 1;
std::int32_t ClientWidth = host::kGameWidth;
std::int32_t ClientHeight = host::kGameHeight;
host::Window* MainWindowHandle = nullptr;
host::WindowProcedure* MainWindowProcedure = nullptr;
DrawGroup* RootViewGroup = nullptr;
DxDraw::DxScreenSurface* ScreenSurface = nullptr;

void ResetFrameState() {
    InputState = {};
    PendingRequest = kRequestNone;
    QuitRequested = 0;
    AppActive = 1;
    CharReceived = 0;
    ChangeMask = 0;
    DrawSpeed = 1;
    ClientWidth = host::kGameWidth;
    ClientHeight = host::kGameHeight;
    MainWindowHandle = nullptr;
    MainWindowProcedure = nullptr;
    RootViewGroup = nullptr;
    ScreenSurface = nullptr;
}

std::int32_t DrawSpeedInUse(std::int32_t draw_speed) {
    static constexpr std::int32_t kOffered[] = {0, 1, 2, 4, 8, 16};
    return std::find(std::begin(kOffered), std::end(kOffered), draw_speed) != std::end(kOffered) ? draw_speed : 1;
}

namespace {

[[noreturn]] void ThrowQuit() { ThrowError(u"main", __LINE__, 1, 0, u"Quit"); }

std::uint32_t Now() { return host::CurrentClock().Milliseconds(); }

// Every wait widens the pressed word to what was pressed during the whole wait.
class PressAccumulator {
public:
    void Add() { pressed_ |= InputState.pressed; }
    std::uint32_t Finish() {
        Add();
        InputState.pressed = pressed_;
        return pressed_;
    }

private:
    std::uint32_t pressed_ = 0;
};

}  // namespace

void PumpMessages() {
    if (QuitRequested) ThrowQuit();
    if (!MainWindowHandle) return;
    for (;;) {
        host::WindowMessage message;
        while (MainWindowHandle->PeekMessage(message)) {
            if (MainWindowProcedure) MainWindowProcedure->WindowProc(message);
            if (QuitRequested) ThrowQuit();
        }
        if (AppActive) return;
        // Inactive: no frame goes on until the application is active again, and the process
        // sleeps in the window system meanwhile.
        MainWindowHandle->WaitMessage();
    }
}

void PollInput(InputStateRecord& record) {
    UpdateInput();
    record.held = record.pressed = record.released = record.repeat = 0;
    for (const InputKey& key : InputKeyTable) {
        if (IsInputHeld(key.code)) record.held |= key.bit;
        if (IsInputPressed(key.code)) record.pressed |= key.bit;
        if (IsInputReleased(key.code)) record.released |= key.bit;
        if (IsInputRepeat(key.code)) record.repeat |= key.bit;
    }
    int x = -1, y = -1;
    if (MainWindowHandle) MainWindowHandle->CursorPosition(x, y);
    bool inside = x >= 0 && x < ClientWidth && y >= 0 && y < ClientHeight;
    if (inside) {
        record.mouse_x = x;
        record.mouse_y = y;
    }
    MouseDelta delta;
    GetMouseDelta(delta);
    record.wheel = delta.dz;
    if (!inside) {
        // A button let go outside the window still counts as released.
        record.held &= ~kInputMouseButtons;
        record.pressed &= ~kInputMouseButtons;
        record.repeat &= ~kInputMouseButtons;
    }
    if (CharReceived) {
        record.held |= kInputCharacter;
        CharReceived = 0;
    }
}

void FrameUpdate() {
    PumpMessages();
    if (PendingRequest >= kRequestTitle && PendingRequest <= kRequestGoBack) {
        std::int32_t code = PendingRequest - 1;
        PendingRequest = kRequestNone;
        PostGameEvent("request", {FormatString(u"%d", code)});
        throw ScriptException{code};
    }
    PollInput(InputState);
    if (InputState.held & kInputF12) ThrowQuit();
    WalkACTRoots(0, 0);
    WalkACTRoots(1, 1);
    if (RootViewGroup) RootViewGroup->Update();
    WalkACTRoots(2, 2);
    std::uint32_t t0 = Now();
    if (RootViewGroup) {
        DrawRequest request;  // the screen surface aims it at its back image
        RootViewGroup->Render(&request);
    }
    if (ScreenSurface && DrawSpeed == 0 && ScreenSurface->GetFrameSkipCounter() == ScreenSurface->GetFrameSkipValue()) {
        std::int32_t skip = static_cast<std::int32_t>((Now() - t0) >> 4);  // modulo 2^32: the clock's wrap is harmless
        ScreenSurface->SetFrameSkipValue(skip);
        ScreenSurface->SetFrameSkipCounter(skip);
    }
    WalkACTRoots(3, 3);
    WalkACTRoots(4, 4);
    WalkACTRoots(5, 14);
    WalkACTRoots(15, 15);
    if (MainWindowHandle) MainWindowHandle->PaceFrame();
}

void StepFrame() {
    if (ScheduleThreads() == 0) {
        host::CurrentClock().SleepMs(0);
        return;
    }
    FrameUpdate();
}

namespace {
// One frame of a wait: the input word that ends it (decide pressed, or skip held), or 0.
std::uint32_t StepWaitFrame(PressAccumulator& accumulated, bool on_decide, bool on_skip) {
    StepFrame();
    accumulated.Add();
    if (on_decide && (InputState.pressed & kDecideMask)) return InputState.pressed;
    if (on_skip && (InputState.held & kSkipMask)) return InputState.held;
    return 0;
}
}  // namespace

std::uint32_t WaitFrames(std::int32_t count, std::uint32_t flags) {
    PressAccumulator accumulated;
    std::uint32_t result = 0;
    if (count <= 0) {
        while (!(result = StepWaitFrame(accumulated, flags == 0 || (flags & 1), flags & 2))) {}
        if (flags & 1) {
            while (InputState.held & kDecideMask) {
                StepFrame();
                accumulated.Add();
            }
        }
    } else {
        for (std::int32_t i = 0; i < count && !result; ++i) result = StepWaitFrame(accumulated, flags & 1, flags & 2);
    }
    accumulated.Finish();
    return result;
}

std::uint32_t WaitMs(std::uint32_t milliseconds, std::uint32_t flags) {
    if (milliseconds == 0) return WaitFrames(0, flags);
    PressAccumulator accumulated;
    std::uint32_t result = 0;
    const std::uint32_t t0 = Now();
    while (!(result = StepWaitFrame(accumulated, flags & 1, flags & 2)) && Now() - t0 < milliseconds) {}
    accumulated.Finish();
    return result;
}

std::uint32_t WaitClick() {
    PressAccumulator accumulated;
    std::uint32_t result = 0;
    do {
        StepFrame();
        accumulated.Add();
        result = InputState.pressed;
    } while (!(result & kDecideMask));
    while (InputState.held & kDecideMask) {
        StepFrame();
        accumulated.Add();
    }
    accumulated.Finish();
    while (InputState.held != 0) StepFrame();
    return result;
}

std::uint32_t StartTimer(std::uint32_t& timer) {
    timer = Now();
    return timer;
}

bool TimerElapsed(std::uint32_t timer, std::uint32_t milliseconds) { return Now() - timer >= milliseconds; }

void ThrowIfInterrupted() {
    if (ChangeMask & kChangeRebuildViews) throw ScriptException{ScriptException::kRebuildViews};
}
