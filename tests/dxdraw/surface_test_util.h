// Helpers shared by the surface, four-point, sprite and view tests: whole pixels, painted
// surfaces and one frame's dirty pass.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "dxdraw/dirty_rect_list.h"
#include "dxdraw/dxdraw_view.h"
#include "dxdraw/dxsurface.h"

namespace surface_test {

// A 32-bit pixel as B | G << 8 | R << 16 | A << 24, where A is 255 - opacity.
inline std::uint32_t PixelAt(const DxDraw::DxImage& image, int x, int y) {
    std::uint32_t v = 0;
    std::memcpy(&v, image.GetPixelAddress(x, y), 4);
    return v;
}

inline std::vector<std::uint32_t> Pixels(const DxDraw::DxImage& image) {
    std::vector<std::uint32_t> out;
    const RECT r = DxDraw::ImageRect(image);
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x) out.push_back(PixelAt(image, x, y));
    return out;
}

// A 32-bit surface of w x |h| (h < 0: rows stored top-down) whose pixel (x, y) is pixel(x, y),
// filled row by row, with nothing dirty.
template <class PixelFn>
ComPtr<DxDraw::DxSurface> Painted(int w, int h, PixelFn pixel) {
    ComPtr<DxDraw::DxSurface> s = DxDraw::CreateSurface(32);
    EXPECT_EQ(s->SetSize(w, h), 1);
    for (int y = 0; y < (h < 0 ? -h : h); ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t v = pixel(x, y);
            std::memcpy(s->GetPixelAddress(x, y), &v, 4);
        }
    s->ClearDirtyRect();
    return s;
}

inline ComPtr<DxDraw::DxSurface> Plain(int w, int h, std::uint32_t value) {
    return Painted(w, h, [=](int, int) { return value; });
}

// The rectangles one dirty pass of a tree reports, committed.
inline std::vector<RECT> DirtyPass(DxDraw::DxDrawGroup& top) {
    DirtyRectList list(500);
    list.Reset(DirtyRectList::kSeparateMode);
    top.HandleMessage(kMsgDirtyPass, 0, reinterpret_cast<std::uintptr_t>(&list));
    top.HandleMessage(kMsgCommit, 0, 0);
    std::vector<RECT> rects;
    for (int i = 0; i < list.Count(); ++i) rects.push_back(list[i]);
    return rects;
}

}  // namespace surface_test
