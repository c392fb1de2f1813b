#include "dxdraw/frame_window.h"

#include "dxdraw/dxinput.h"
#include "dxdraw/screen_surface.h"
#include "dxdraw/view.h"

void TWindow::Create(host::Window* window) {
    window_ = window;
    OnCreate();
}

std::intptr_t TWindow::WindowProc(const host::WindowMessage&) { return 0; }

namespace DxDraw {

std::int32_t SurfacesLostWhileInactive = 0;

void DxFrame::ShowMenuBar(bool shown) {
    if (GetWindow()) GetWindow()->ShowMenuBar(shown);
}

int DxFrame::SwitchScreenMode() {
    if (!device_) return 0;
    if (device_->windowed) {
        ShowMenuBar(false);
        SetScreenMode(*device_, true);
        if (device_->windowed && has_menu_) ShowMenuBar(true);
    } else {
        if (has_menu_) ShowMenuBar(true);
        SetScreenMode(*device_, false);
    }
    return 1;
}

std::intptr_t DxFrame::WindowProc(const host::WindowMessage& message) {
    switch (message.message) {
        case host::kMsgActivateApp:
            // Activation can arrive before the start-up has made the display device.
            if (message.w) {
                active_ = 1;
                if (device_) ClearDeviceLost(*device_);
                if (SurfacesLostWhileInactive) {
                    SurfacesLostWhileInactive = 0;
                    AcquireInputDevices();
                }
            } else {
                if (device_) SetDeviceLost(*device_);
                active_ = 0;
            }
            AcquireInputDevices();
            return 0;
        case host::kMsgActivate:
            if (message.w) {
                AcquireInputDevices();
                return 0;
            }
            break;
        case host::kMsgPaint:
            if (device_ && screen_) {
                RECT area{message.rect.left, message.rect.top, message.rect.right, message.rect.bottom};
                screen_->HandleMessage(kMsgPaint, reinterpret_cast<std::uintptr_t>(&area),
                                       reinterpret_cast<std::uintptr_t>(GetWindow()));
                return 0;
            }
            break;
        case host::kMsgMouseMove:
            if (device_ && !device_->windowed && has_menu_ && GetWindow()) {
                unsigned y = static_cast<unsigned>((message.l >> 16) & 0xFFFF);
                if (y < 2 && !GetWindow()->MenuBarShown())
                    ShowMenuBar(true);
                else if (y >= 2 && GetWindow()->MenuBarShown())
                    ShowMenuBar(false);
                return 0;
            }
            break;
        default: break;
    }
    return TWindow::WindowProc(message);
}

}  // namespace DxDraw
