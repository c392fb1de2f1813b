// The frame step in the real window (run under xvfb-run): a view tree drawn by the screen
// surface reaches the X server, the display device takes the desktop full screen and gives it
// back, and closing the window asks in a real message box before the frame step quits.
#include <SDL.h>
#include <gtest/gtest.h>

#include "../host/sdl_key_event.h"
#include "../host/ui/x11_pixels.h"
#include "app/frame_step.h"
#include "app/runtime.h"
#include "dxdraw/display_device.h"
#include "dxdraw/draw_view.h"
#include "dxdraw/dxinput.h"
#include "dxdraw/dxsprite.h"
#include "dxdraw/frame_window.h"
#include "dxdraw/matrix.h"
#include "dxdraw/screen_surface.h"
#include "host/ui/host.h"
#include "host/video/clock.h"
#include "host/video/sdl_window.h"
#include "lib/act.h"
#include "lib/error.h"
#include "lib/report.h"
#include "lib/report_hook.h"

namespace {

// The part of the application's procedure that the frame step's quit relies on.
class ClosingFrame : public DxDraw::DxFrame {
public:
    std::intptr_t WindowProc(const host::WindowMessage& m) override {
        if (m.message == host::kMsgClose) {
            if (ShowMessage(u"終了", u"終了してもよろしいですか？", kMbYesNo | kMbIconQuestion) == kIdYes)
                QuitRequested = 1;
            return 0;
        }
        std::intptr_t result = DxFrame::WindowProc(m);
        if (m.message == host::kMsgActivateApp) AppActive = static_cast<std::int32_t>(IsActive());
        return result;
    }
};

TEST(GameWindow, FramesReachTheScreenAndCloseAsksBeforeQuitting) {
    std::unique_ptr<host::Host> platform = host::OpenSdlHost(u"Saffronwake 体験版");
    host::MenuItem& system = platform->menu().AddPopup(u"システム");
    host::MenuModel::AddItem(system, 40000, u"終了(&X)");
    auto& sdl = static_cast<host::SdlWindow&>(platform->window());

    ClosingFrame frame;
    ScopedRuntime runtime(*platform, {.frame = &frame});
    DirectDrawDevice& device = runtime.device();
    {
        DxDraw::DxScreenSurface* screen = &runtime.screen();
        ComPtr<DxDraw::DxSurface> box = DxDraw::CreateSurface(32);
        box->SetSize(40, 30);
        box->FillRect(nullptr, 0x20C040, 255);
        auto* sprite = new DxDraw::DxSprite(box.Get());
        sprite->SetPosition(500, 400);
        screen->Add(sprite);

        WaitFrames(10, 0);
        SDL_Rect picture = sdl.PictureRect();
        EXPECT_EQ(ReadServerPixel(sdl.sdl_window(), picture.x + 510, picture.y + 410), 0x20C040u);
        EXPECT_EQ(ReadServerPixel(sdl.sdl_window(), picture.x + 100, picture.y + 100), 0x000000u);

        // Full screen through the device, and back with the menu bar.
        ASSERT_EQ(frame.SwitchScreenMode(), 1);
        EXPECT_EQ(device.windowed, 0u);
        WaitFrames(10, 0);
        ASSERT_EQ(frame.SwitchScreenMode(), 1);
        EXPECT_EQ(device.windowed, 1u);
        EXPECT_TRUE(platform->window().MenuBarShown());
        WaitFrames(10, 0);

        // Close: the box appears inside the frame step; Return answers its default, Yes.
        SDL_Event close{};
        close.type = SDL_WINDOWEVENT;
        close.window.event = SDL_WINDOWEVENT_CLOSE;
        close.window.windowID = SDL_GetWindowID(sdl.sdl_window());
        SDL_PushEvent(&close);
        SDL_Event key = KeyEvent(SDL_SCANCODE_RETURN, true);
        SDL_PushEvent(&key);
        try {
            WaitClick();
            ADD_FAILURE() << "the frame step did not quit";
        } catch (const ExceptionHandle& e) {
            EXPECT_EQ(e.type, 1u);
            EXPECT_EQ(std::u16string(e.message), u"Quit");
        }
    }
}

}  // namespace
