#include "dxdraw/screen_surface.h"

#include "dxdraw/dxsprite.h"

namespace DxDraw {

std::int32_t UseSystemCursor = 1;

namespace {
constexpr std::uint32_t kBlendSourceAlpha = 0x10000;
}

DxScreenSurface::DxScreenSurface(DxSurface* cursor) {
    if (cursor) cursor_sprite_ = std::make_unique<DxSprite>(cursor, nullptr, kBlendSourceAlpha);
    UseSystemCursor = cursor ? 0 : 1;
    shown_.reserve(kDirtyCapacity);
}

DxScreenSurface::~DxScreenSurface() = default;

int DxScreenSurface::SetSize(int width, int height) {
    if (back_) back_->SetSize(width, height);
    screen_rect_ = RECT{0, 0, width, height};
    return 0;
}

std::uint32_t DxScreenSurface::HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) {
    if (msg == kMsgUncovered) {
        if (a) dirty_.Add(*reinterpret_cast<const RECT*>(a));
        return 1;
    }
    if (msg == kMsgPaint) {
        if (a) dirty_.Add(*reinterpret_cast<const RECT*>(a));
        PresentDirtyRects(reinterpret_cast<host::Window*>(b), false, nullptr);
        return 1;
    }
    return DxDrawGroup::HandleMessage(msg, a, b);
}

void DxScreenSurface::PresentDirtyRects(host::Window* window, bool full, DrawRequest* request) {
    if (!back_ || !back_->HasPixels()) return;
    DrawRequest local;
    local.target = static_cast<DxSurface32*>(back_.Get());
    if (!request) request = &local;
    if (full) {
        dirty_.Reset(list_mode_);
        dirty_.Add(screen_rect_);
    }
    DxDrawGroup::HandleMessage(kMsgDirtyPass, reinterpret_cast<std::uintptr_t>(this),
                               reinterpret_cast<std::uintptr_t>(&dirty_));
    shown_.clear();
    for (std::int32_t i = 0; i < dirty_.Count(); ++i) {
        RECT& entry = dirty_[i];
        entry = IntersectRect(entry, screen_rect_);
        if (IsRectEmpty(entry)) continue;
        request->clip = entry;
        back_->FillRect(&entry, 0x000000, 0);
        DrawGroup::Render(request);
        shown_.push_back(host::Rect{entry.left, entry.top, entry.right, entry.bottom});
    }
    if (window && !shown_.empty()) {
        const auto* top_row = reinterpret_cast<const std::uint32_t*>(back_->GetPixelAddress(0, 0));
        window->Present(top_row, static_cast<int>(back_->GetPitch()), shown_);
    }
}

void DxScreenSurface::ComposeWhole(DxSurface32& target) {
    target.FillRect(&screen_rect_, 0x000000, 0);
    DrawRequest request;
    request.target = &target;
    request.clip = screen_rect_;
    DrawGroup::Render(&request);
}

int DxScreenSurface32::SetSize(int width, int height) {
    back_ = CreateSurface(32);
    return DxScreenSurface::SetSize(width, height);
}

ComPtr<DxSurface> DxScreenSurface32::CopyScreen() {
    if (!back_) return nullptr;
    return back_->Clone(2, nullptr);
}

void DxScreenSurface32::Render(DrawRequest* request) {
    if (frame_skip_counter_ == 0) {
        DrawRequest copy;
        if (request) copy = *request;
        copy.target = static_cast<DxSurface32*>(back_.Get());
        PresentDirtyRects(GetWindow(), false, &copy);
        HandleMessage(kMsgCommit, 0, 0);
        GetDirtyList().Reset(GetListMode());
        if (after_frame_) after_frame_();
    }
    if (frame_skip_counter_ != 0)
        --frame_skip_counter_;
    else
        frame_skip_counter_ = frame_skip_value_;
}

}  // namespace DxDraw
