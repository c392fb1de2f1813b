// Processor time of the whole process while the game waits on a page: a static picture with the
// animated page cursor (four 16x16 frames, the next one every 100 ms), in the real window, at 60
// frames a second, for 10 seconds. Prints the share of one core. Needs a display
// (measure_idle_cpu.sh runs it under Xvfb). Target: under 3 %.
//
// Arguments: seconds (10); frames between two cursor changes (6; 0 for a still picture);
// "window" or "full" (desktop full screen, picture scaled); "cursor" or "whole" (the whole
// picture changes instead of the cursor: the cost of a transition).
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "app/frame_step.h"
#include "app/runtime.h"
#include "dxdraw/draw_view.h"
#include "dxdraw/dxsprite.h"
#include "dxdraw/frame_window.h"
#include "dxdraw/screen_surface.h"
#include "host/ui/host.h"
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
DxDraw::DxSprite* g_page = nullptr;
unsigned g_change_frames = 6;
bool g_whole = false;

// Steps the cursor to its next frame (or the page to its other colour) every few frames.
std::intptr_t AnimateTask(ACT* act, int message, std::intptr_t, std::intptr_t) {
    if (message != kActWalkEnter || !g_change_frames || ++act->user % g_change_frames != 0) return 0;
    const int step = static_cast<int>(act->user / g_change_frames);
    TEXANIM source;
    if (g_whole) {  // the page sheet holds two pictures side by side
        source.width = 800;
        source.height = 600;
        source.source = RECT{(step % 2) * 800, 0, (step % 2) * 800 + 800, 600};
        g_page->SetSource(&source);
    } else {  // the cursor sheet holds four frames in a row
        source.width = source.height = 16;
        source.source = RECT{(step % 4) * 16, 0, (step % 4) * 16 + 16, 16};
        g_cursor->SetSource(&source);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned seconds = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 10;
    if (argc > 2) g_change_frames = static_cast<unsigned>(std::atoi(argv[2]));
    const bool full_screen = argc > 3 && std::string_view(argv[3]) == "full";
    g_whole = argc > 4 && std::string_view(argv[4]) == "whole";
    std::unique_ptr<host::Host> platform = host::OpenSdlHost(u"idle", false);
    host::MenuItem& system = platform->menu().AddPopup(u"システム");
    host::MenuModel::AddItem(system, 40000, u"終了(&X)");

    DxDraw::DxFrame frame;
    ScopedRuntime runtime(*platform, {.frame = &frame, .full_screen = full_screen});
    if (full_screen && !platform->window().IsFullScreen()) {
        std::fprintf(stderr, "idle_cpu: the display refused full screen\n");
        return 1;
    }
    DxDraw::DxScreenSurface* screen = &runtime.screen();

    // The page: a full-screen picture and a message cursor.
    ComPtr<DxDraw::DxSurface> page = DxDraw::CreateSurface(32);
    page->SetSize(1600, 600);
    page->FillRect(nullptr, 0x405080, 255);
    const RECT second{800, 0, 1600, 600};
    page->FillRect(&second, 0x506070, 255);
    TEXANIM first_page;
    first_page.width = 800;
    first_page.height = 600;
    first_page.source = RECT{0, 0, 800, 600};
    g_page = new DxDraw::DxSprite(page.Get(), &first_page);
    screen->Add(g_page);
    ComPtr<DxDraw::DxSurface> cursor = DxDraw::CreateSurface(32);
    cursor->SetSize(64, 16);
    for (int i = 0; i < 4; ++i) {
        const RECT frame{i * 16 + i * 2, i * 2, i * 16 + 16 - i * 2, 16 - i * 2};  // shrinking squares
        cursor->FillRect(&frame, 0xFFFFFF, 255);
    }
    TEXANIM first_frame;
    first_frame.width = first_frame.height = 16;
    first_frame.source = RECT{0, 0, 16, 16};
    g_cursor = new DxDraw::DxSprite(cursor.Get(), &first_frame);
    g_cursor->SetPosition(700, 540);
    screen->Add(g_cursor);
    AttachACT(3, MakeACT(AnimateTask, 0));

    WaitFrames(30, 0);  // settle: the first full picture, the window mapped
    const double cpu0 = ProcessSeconds(), wall0 = WallSeconds();
    WaitMs(seconds * 1000, 0);
    const double cpu = ProcessSeconds() - cpu0, wall = WallSeconds() - wall0;
    std::printf("%s, %s: %.2f s of wall time, %.3f s of processor time: %.2f %% of one core%s\n",
                g_whole ? "whole picture changing" : "page wait", full_screen ? "full screen" : "window", wall, cpu,
                100.0 * cpu / wall, g_whole ? "" : " (target < 3 %)");
    return 100.0 * cpu / wall < 3.0 ? 0 : 2;
}
