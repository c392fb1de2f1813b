// Set-up shared by the tests of the story's stage: the test host at 60 Hz under a runtime, a
// script of actions by frame, input by scan code or button, the view count, a synthetic system
// sheet and raw pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>

#include "app/frame_step.h"
#include "app/runtime.h"
#include "app/system_image.h"
#include "dxdraw/screen_surface.h"
#include "host/testhost/test_host.h"
#include "lib/error.h"
#include "lib/text.h"
#include "support/capture_reports.h"
#include "support/temp_folder.h"

namespace stagetest {

constexpr int kReturnKey = 0x1C, kLeftButton = 0x100, kRightButton = 0x101;

// Bytes B, G, R and inverted alpha of a pixel.
inline std::uint32_t RawPixel(DxDraw::DxImage& image, int x, int y) {
    std::uint32_t pixel;
    std::memcpy(&pixel, image.GetPixelAddress(x, y), sizeof pixel);
    return pixel;
}

// The cursor frame k of row r of the synthetic sheet is filled with this colour.
inline std::uint32_t CursorColour(int row, int k) {
    return 0x400000u | static_cast<std::uint32_t>((row * 4 + k + 1) * 0x18);
}

class StageTest : public ::testing::Test {
protected:
    StageTest() {
        window().on_frame = [this](int frame) {
            for (auto [it, end] = script.equal_range(frame); it != end; ++it) it->second();
            if (each_frame) each_frame(frame);
        };
    }

    testhost::TestWindow& window() { return host.test_window(); }
    int Frames() { return window().frames(); }
    // The action runs `frame` frames from now; the frame step reads its input in the next.
    void At(int frame, std::function<void()> action) { script.emplace(Frames() + frame, std::move(action)); }
    // A key's scan code, or kLeftButton / kRightButton; 0 is nothing.
    void Input(int code, bool down) {
        if (code >= kLeftButton)
            return down ? window().PressButton(code - 0x100) : window().ReleaseButton(code - 0x100);
        if (code)
            down ? window().Press(static_cast<std::uint8_t>(code)) : window().Release(static_cast<std::uint8_t>(code));
    }
    void Click(int frame, int x, int y) {
        At(frame, [=, this] { window().MoveCursor(x, y), Input(kLeftButton, true); });
        At(frame + 1, [this] { Input(kLeftButton, false); });
    }
    std::uint32_t ViewCount() {
        std::uint32_t count = 0;
        runtime.root().HandleMessage(kMsgCount, reinterpret_cast<std::uintptr_t>(&count), 0);
        return count;
    }
    // A black 800x600 sheet with the two rows of four page-cursor frames at y 16.
    static void MakeSystemImage() {
        SystemImage = DxDraw::CreateSurface(32);
        SystemImage->SetSize(800, 600);
        SystemImage->FillRect(nullptr, 0x000000, 255);
        for (int n = 0; n < 8; ++n) {
            const RECT frame{n * 16, 16, n * 16 + 16, 32};
            SystemImage->FillRect(&frame, CursorColour(n / 4, n % 4), 255);
        }
    }

    testhost::TestHost host;
    ScopedRuntime runtime{host};
    std::multimap<int, std::function<void()>> script;
    std::function<void(int)> each_frame;
};

}  // namespace stagetest
