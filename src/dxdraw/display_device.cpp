#include "dxdraw/display_device.h"

#include <algorithm>

#include "lib/report.h"
#include "lib/report_hook.h"

int ScreenBitDepth = 0;
int Screen555 = 0;

namespace {

constexpr std::u16string_view kInitCaption = u"DirectDraw 初期化";

// Depths tried after the requested one, in order.
std::vector<int> FallbackDepths(int requested) {
    switch (requested) {
        case 16: return {32, 24};
        case 32: return {24, 16};
        case 24: return {32, 16};
        default: return {};
    }
}

void ShowInitMessage(bool full_screen, std::u16string_view text) {
    if (full_screen) ShowMessage(kInitCaption, text, kMbOk);
}

}  // namespace

int MatchDisplayMode(const DirectDrawDevice& device, int width, int height, int depth, int refresh) {
    bool size = false, size_depth = false, all = false;
    for (const host::DisplayMode& m : device.modes) {
        if (m.width != width || m.height != height) continue;
        size = true;
        if (m.bits != depth) continue;
        size_depth = true;
        if (m.refresh == refresh) all = true;
    }
    if (refresh != 0) {
        if (all) return 0;
        if (size_depth) return 1;
    } else if (size_depth) {
        return 0;
    }
    return size ? 2 : 3;
}

int InitDirectDraw(DirectDrawDevice& device, host::Window* window, int width, int height, int depth, bool full_screen,
                   const DisplayDriverChooser& chooser, int refresh) {
    device.window = window;
    if (!window) {
        ReleaseDirectDraw(device);
        ShowMessage(u"DirectDraw Initialize", u"DirectX 7 がインストールされていません。", kMbOk);
        return kDisplayFailed;
    }
    if (chooser) {
        // One window system, one driver: the chooser still gets its say, and -1 picks the first.
        const DisplayDriverRecord primary{u"Primary Display Driver", u"display"};
        chooser(1, &primary);
    }
    device.modes = window->DisplayModes();
    if (device.modes.size() > kMaxDisplayModes) device.modes.resize(kMaxDisplayModes);

    const int requested_depth = depth;
    std::vector<int> next_depths = FallbackDepths(requested_depth);
    std::size_t next_depth = 0;
    for (;;) {
        int result = MatchDisplayMode(device, width, height, depth, refresh);
        if (result == 0) break;
        if (result == 1) {
            refresh = 0;
            ShowInitMessage(full_screen, u"リフレッシュレートをデフォルトに変更します。");
            continue;
        }
        if (result == 2 && next_depth < next_depths.size()) {
            depth = next_depths[next_depth++];
            continue;
        }
        if (!full_screen) break;
        if (result == 2) {
            ShowInitMessage(true, requested_depth == 16   ? u"ウィンドウモードに変更します(1)。"
                                  : requested_depth == 32 ? u"ウィンドウモードに変更します(2)。"
                                                          : u"ウィンドウモードに変更します(3)。");
        } else {
            ShowInitMessage(true, u"ウィンドウモードに変更します(4)。");
        }
        full_screen = false;
        break;
    }
    device.width = width;
    device.height = height;
    device.depth = depth;
    device.refresh = refresh;

    int result = CreateDisplaySurfaces(device, full_screen);
    if (result != 0 && !device.surfaces_ready) {
        ReleaseDirectDraw(device);
        return result;
    }
    return 0;
}

int CreateDisplaySurfaces(DirectDrawDevice& device, bool full_screen) {
    if (!device.window) return kDisplayFailed;
    device.surfaces_ready = false;
    if (full_screen) {
        if (!device.window->SetFullScreen(true)) {
            // Only the switch failed: the window stays usable as it was.
            ShowMessage(u"DirectDraw Initialize", u"フルスクリーンに設定できませんでした。", kMbOk);
            device.windowed = device.window->IsFullScreen() ? 0 : 1;
            device.surfaces_ready = true;
            return kDisplayFailed;
        }
        device.windowed = 0;
    } else {
        if (!device.window->SetFullScreen(false)) {
            ShowMessage(u"DirectDraw Initialize", u"SetCooperativeLevel FAILED", kMbOk);
            device.windowed = device.window->IsFullScreen() ? 0 : 1;
            return kDisplayFailed;
        }
        device.windowed = 1;
    }
    device.surfaces_ready = true;
    ScreenBitDepth = device.depth;
    Screen555 = 0;  // the picture is always 32-bit here; no 16-bit screen is ever made
    return 0;
}

void SetScreenMode(DirectDrawDevice& device, bool full_screen) {
    if (!device.window) return;
    if (full_screen && device.windowed) {
        if (CreateDisplaySurfaces(device, true) == 0) return;
        // The switch failed: back to a window, with what still stands.
    }
    CreateDisplaySurfaces(device, false);
}

void ReleaseDirectDraw(DirectDrawDevice& device) {
    // Give the desktop back before the window goes.
    if (device.window && device.surfaces_ready && !device.windowed) device.window->SetFullScreen(false);
    device.window = nullptr;
    device.surfaces_ready = false;
    device.modes.clear();
}

void ClearBackBuffer(DirectDrawDevice& device, std::uint32_t colour) {
    if (!device.window) return;
    // Called once at start-up: one whole picture of the colour.
    std::vector<std::uint32_t> picture(static_cast<std::size_t>(host::kGameWidth) * host::kGameHeight,
                                       0xFF000000u | (colour & 0xFFFFFF));
    const host::Rect whole{0, 0, host::kGameWidth, host::kGameHeight};
    device.window->Present(picture.data(), host::kGameWidth * 4, std::span(&whole, 1));
}

int GetMonitorFrequency(const DirectDrawDevice& device) { return device.window ? device.window->RefreshRate() : 0; }

void SetDeviceLost(DirectDrawDevice& device) { device.lost = 1; }
void ClearDeviceLost(DirectDrawDevice& device) { device.lost = 0; }
