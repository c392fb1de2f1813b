#include "app/runtime.h"

#include "app/frame_step.h"
#include "app/game_cycle.h"
#include "app/game_data.h"
#include "app/picture_commands.h"
#include "app/scene_views.h"
#include "app/scheduler.h"
#include "app/sound_commands.h"
#include "app/system_image.h"
#include "dxdraw/dxinput.h"
#include "dxdraw/dxsurface.h"
#include "dxdraw/frame_window.h"
#include "dxdraw/matrix.h"
#include "dxdraw/screen_surface.h"
#include "dxdraw/span_engine.h"
#include "host/video/clock.h"
#include "lib/act.h"

namespace {

constexpr std::uint32_t kMatrixStackDepth = 128;
constexpr int kScreenDepth = 24;
constexpr float kRepeatInterval = 0.016666668f;  // one auto-repeat step a 60th of a second

void ResetRecords() {
    ResetGameCycle();
    ResetSceneViews();
    ResetGameData();
    ResetPictureCommands();
    ResetSoundCommands();
    ResetFrameState();
    ResetThreadSlots();
    DxDraw::SurfacesLostWhileInactive = 0;
    SystemImage.Reset();
}

}  // namespace

ScopedRuntime::ScopedRuntime(host::Host& host, const RuntimeOptions& options) {
    host::Window& window = host.window();
    DxDraw::CreateMatrixStack(kMatrixStackDepth);
    cleanups_.Push(DxDraw::FreeMatrixStack);
    ResetRecords();
    cleanups_.Push([] {
        // The draw speed is also a setting: the write-back after the teardown must see the
        // player's last choice.
        const std::int32_t draw_speed = DrawSpeed;
        ResetRecords();
        DrawSpeed = draw_speed;
    });
    DrawSpeed = options.draw_speed;

    StartDisplay(window, options);
    if (InitDirectInput({&window, &host::CurrentClock(), kRepeatInterval}) == 0)
        throw DeviceStartError(DeviceStartError::Device::kInput, "the input devices could not start");
    cleanups_.Push(ReleaseDirectInput);
    // Started here so that it stops right after the screen surface and before the devices.
    InitACTPool();
    cleanups_.Push(FreeAllACTRoots);
    StartScreen(window, options.draw_speed);
    WireProcedure(window, options);
}

void ScopedRuntime::StartDisplay(host::Window& window, const RuntimeOptions& options) {
    if (InitDirectDraw(device_, &window, host::kGameWidth, host::kGameHeight, kScreenDepth, options.full_screen,
                       options.driver_chooser ? *options.driver_chooser : DisplayDriverChooser(),
                       options.refresh_rate) != 0)
        throw DeviceStartError(DeviceStartError::Device::kDisplay, "the display could not start");
    cleanups_.Push([this] { ReleaseDirectDraw(device_); });
    if (!device_.windowed) window.ShowMenuBar(false);
    ClearBackBuffer(device_, 0x000000);
    DxDraw::InitDxDraw();
    if (options.plain_spans) DxDraw::EnableMmx(0);
}

void ScopedRuntime::StartScreen(host::Window& window, std::int32_t draw_speed) {
    screen_ = new DxDraw::DxScreenSurface32();
    root_.Add(screen_);
    cleanups_.Push([this] {
        screen_->Destroy();
        screen_ = nullptr;
    });
    screen_->SetSize(host::kGameWidth, host::kGameHeight);
    screen_->SetWindow(&window);
    // The automatic speed starts by drawing every other frame until the first draw is measured.
    const std::int32_t speed = DrawSpeedInUse(draw_speed);
    const std::int32_t skip = speed == 0 ? 1 : speed - 1;
    screen_->SetFrameSkipValue(skip);
    screen_->SetFrameSkipCounter(skip);
    RootViewGroup = &root_;
    ScreenSurface = screen_;
}

void ScopedRuntime::WireProcedure(host::Window& window, const RuntimeOptions& options) {
    MainWindowHandle = &window;
    MainWindowProcedure = options.procedure ? options.procedure : options.frame;
    if (DxDraw::DxFrame* frame = options.frame) {
        frame->Create(&window);
        frame->SetDevice(&device_);
        frame->SetScreenView(screen_);
        frame->SetHasMenu(true);
        cleanups_.Push([frame] {
            frame->SetScreenView(nullptr);
            frame->SetDevice(nullptr);
        });
    }
}
