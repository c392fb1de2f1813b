// Window objects: a window procedure object bound to the game window, and the frame window of
// the game, which keeps the display device, the input devices and the screen view in step with
// the window's activation and painting, shows the menu bar on demand in full screen, and
// switches between full screen and the window. The application's procedure derives from it.
#pragma once

#include <cstdint>

#include "dxdraw/display_device.h"
#include "host/video/window.h"

namespace DxDraw {
class DxScreenSurface;
}

class TWindow : public host::WindowProcedure {
public:
    explicit TWindow(host::Window* window = nullptr) : window_(window) {}
    ~TWindow() override = default;
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    // Binds the object to its window (the window system made it); then OnCreate.
    void Create(host::Window* window);
    virtual void OnCreate() {}
    // The default procedure: nothing to do for any message here; 0.
    std::intptr_t WindowProc(const host::WindowMessage& message) override;

    host::Window* GetWindow() const { return window_; }

private:
    host::Window* window_;
};

namespace DxDraw {

// Set when the display was found lost while the application was inactive.
extern std::int32_t SurfacesLostWhileInactive;

class DxFrame : public TWindow {
public:
    DxFrame() = default;

    // 0 without a device; else switches and returns 1. A failed switch to full screen leaves
    // the window with its menu bar.
    int SwitchScreenMode();
    std::intptr_t WindowProc(const host::WindowMessage& message) override;

    void SetDevice(DirectDrawDevice* device) { device_ = device; }
    DirectDrawDevice* GetDevice() const { return device_; }
    void SetScreenView(DxScreenSurface* screen) { screen_ = screen; }
    DxScreenSurface* GetScreenView() const { return screen_; }
    // Whether the window has a menu bar to show (set by the application).
    void SetHasMenu(bool has_menu) { has_menu_ = has_menu; }
    bool HasMenu() const { return has_menu_; }
    std::uint32_t IsActive() const { return active_; }

private:
    void ShowMenuBar(bool shown);

    DirectDrawDevice* device_ = nullptr;
    DxScreenSurface* screen_ = nullptr;
    std::uint32_t active_ = 1;
    bool has_menu_ = false;
};

}  // namespace DxDraw
