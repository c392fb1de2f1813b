// The one start-up of the game runtime, used alike by the program, the tests and the benchmarks.
//
// The runtime's records are process-wide (the frame state and input record of frame_step.h, the
// script-thread table, the task pool, the matrix stack, the display's bit depth), and every wait
// reaches them directly. So that none of them is left over from an earlier run or wired by hand,
// a ScopedRuntime sets them all to their start values, starts the devices on the host's window
// (real or test host) and wires what the frame step pumps and draws; when it goes, it takes them
// down in the reverse order and leaves every record at its start value again.
//
// Start-up order: matrix stack, task pool, frame state and thread table, display device (the
// menu bar hidden in full screen), drawing layer, root view group, input devices, screen surface
// under the root with the frame skip of the draw speed, the window procedure. Records that later
// parts of the runtime keep for the whole run (the current script, the scene state, the archives)
// are started and stopped here as well.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "dxdraw/display_device.h"
#include "dxdraw/draw_view.h"
#include "host/ui/host.h"
#include "lib/scope_guard.h"

namespace DxDraw {
class DxFrame;
class DxScreenSurface32;
}  // namespace DxDraw

struct RuntimeOptions {
    // The application's frame window: it is bound to the host's window, keeps the display device
    // and the screen surface, and receives the window's messages.
    DxDraw::DxFrame* frame = nullptr;
    // Receives the window's messages instead of the frame (a test's stand-in procedure). Without
    // either, messages are taken from the window and dropped.
    host::WindowProcedure* procedure = nullptr;
    bool full_screen = false;
    int refresh_rate = 0;         // 0: the display's default
    std::int32_t draw_speed = 1;  // DrawSpeed: draw one frame in 1, 2, 4, 8 or 16; 0 automatic
    // Asked to choose the display driver (the --SELDRIVER option); null: no choice offered.
    const DisplayDriverChooser* driver_chooser = nullptr;
    // The span engine keeps to its plain path (the -M option).
    bool plain_spans = false;
};

// The display or the input devices could not start. Any message of the device itself has been
// shown by then; what the start-up adds is the caller's to say.
class DeviceStartError : public std::runtime_error {
public:
    enum class Device { kDisplay, kInput };
    DeviceStartError(Device device, const char* what) : std::runtime_error(what), device_(device) {}
    Device device() const { return device_; }

private:
    Device device_;
};

class ScopedRuntime {
public:
    // Throws DeviceStartError when the display or the input devices cannot start; whatever had
    // started is taken down first. The host must
    // outlive the runtime, and so must the frame and procedure of the options.
    explicit ScopedRuntime(host::Host& host, const RuntimeOptions& options = {});
    ~ScopedRuntime() = default;
    ScopedRuntime(const ScopedRuntime&) = delete;
    ScopedRuntime& operator=(const ScopedRuntime&) = delete;

    DirectDrawDevice& device() { return device_; }
    // The root view group (RootViewGroup) and the screen surface under it (ScreenSurface).
    DrawGroup& root() { return root_; }
    DxDraw::DxScreenSurface32& screen() { return *screen_; }

private:
    void StartDisplay(host::Window& window, const RuntimeOptions& options);
    void StartScreen(host::Window& window, std::int32_t draw_speed);
    void WireProcedure(host::Window& window, const RuntimeOptions& options);

    // Declared before the clean-ups, so that they are still there while the clean-ups run.
    DirectDrawDevice device_;
    DrawGroup root_;
    DxDraw::DxScreenSurface32* screen_ = nullptr;  // a view of root_; views delete themselves
    CleanupStack cleanups_;
};
