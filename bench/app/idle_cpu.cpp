// Processor time of the whole process while the game waits on a page: a static picture with a
// blinking cursor, in the real window, at 60 frames a second, for 10 seconds. Arguments: the
// seconds, and the frames between two blinks (15; 0 for a still picture). Prints the share of one core. Needs a display (measure_idle_cpu.sh runs it
// under Xvfb). Target: under 3 %.
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/frame_step.h"
#include "dxdraw/draw_view.h"
#include "dxdraw/dxinput.h"
#include "dxdraw/dxsprite.h"
#include "dxdraw/frame_window.h"
#include "dxdraw/matrix.h"
#include "dxdraw/screen_surface.h"
#include "host/ui/host.h"
#include "host/video/clock.h"
#include "lib/act.h"

namespace {

double ProcessSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double WallSeconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

DxDraw::DxSprite* g_cursor = nullptr;
unsigned g_blink_frames = 15;

// The page-wait cursor blinks twice a second.
std::intptr_t BlinkTask(ACT* act, int message, std::intptr_t, std::intptr_t) {
    if (message == kActWalkEnter && g_blink_frames && ++act->user % g_blink_frames == 0) {
        if (g_cursor->IsVisible())
            g_cursor->Hide();
        else
            g_cursor->Show();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned seconds = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 10;
    // Frames between two changes of the cursor (0: a picture that never changes).
    if (argc > 2) g_blink_frames = static_cast<unsigned>(std::atoi(argv[2]));
    std::unique_ptr<host::Host> platform = host::OpenSdlHost(u"idle", false);
    host::MenuItem& system = platform->menu().AddPopup(u"システム");
    host::MenuModel::AddItem(system, 40000, u"終了(&X)");

    DxDraw::CreateMatrixStack(128);
    InitACTPool();
    DirectDrawDevice device;
    if (InitDirectDraw(device, &platform->window(), 800, 600, 24, false, nullptr, 0) != 0) return 1;
    InitDirectInput({&platform->window(), &host::CurrentClock(), 0.016666668f});
    DxDraw::DxFrame frame;
    frame.Create(&platform->window());
    frame.SetDevice(&device);
    frame.SetHasMenu(true);
    MainWindowHandle = &platform->window();
    MainWindowProcedure = &frame;

    DrawGroup root;
    auto* screen = new DxDraw::DxScreenSurface32();
    screen->SetSize(800, 600);
    screen->SetWindow(&platform->window());
    root.Add(screen);
    frame.SetScreenView(screen);
    RootViewGroup = &root;
    ScreenSurface = screen;

    // The page: a full-screen picture and a message cursor.
    ComPtr<DxDraw::DxSurface> page = DxDraw::CreateSurface(32);
    page->SetSize(800, 600);
    page->FillRect(nullptr, 0x405080, 255);
    screen->Add(new DxDraw::DxSprite(page.Get()));
    ComPtr<DxDraw::DxSurface> cursor = DxDraw::CreateSurface(32);
    cursor->SetSize(16, 16);
    cursor->FillRect(nullptr, 0xFFFFFF, 255);
    g_cursor = new DxDraw::DxSprite(cursor.Get());
    g_cursor->SetPosition(700, 540);
    screen->Add(g_cursor);
    AttachACT(3, MakeACT(BlinkTask, 0));

    WaitFrames(30, 0);  // settle: the first full picture, the window mapped
    const double cpu0 = ProcessSeconds(), wall0 = WallSeconds();
    WaitMs(seconds * 1000, 0);
    const double cpu = ProcessSeconds() - cpu0, wall = WallSeconds() - wall0;
    std::printf("page wait: %.2f s of wall time, %.3f s of processor time: %.2f %% of one core (target < 3 %%)\n",
                wall, cpu, 100.0 * cpu / wall);

    RootViewGroup = nullptr;
    ScreenSurface = nullptr;
    FreeAllACTRoots();
    screen->Destroy();
    ReleaseDirectInput();
    ReleaseDirectDraw(device);
    DxDraw::FreeMatrixStack();
    return 100.0 * cpu / wall < 3.0 ? 0 : 2;
}
