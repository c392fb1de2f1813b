#include "dxdraw/dxsprite.h"

#include "dxdraw/dirty_rect_list.h"

namespace DxDraw {
namespace {

constexpr std::uint32_t kSpriteLevel = 32;

TEXANIM WholeSurface(const DxSurface& surface) {
    TEXANIM t;
    t.width = static_cast<std::uint16_t>(surface.GetWidth());
    t.height = static_cast<std::uint16_t>(surface.GetHeight() < 0 ? -surface.GetHeight() : surface.GetHeight());
    t.source = RECT{0, 0, t.width, t.height};
    return t;
}

}  // namespace

DxSprite::DxSprite(DxSurface* surface, const TEXANIM* source, std::uint32_t flags) : surface_(surface) {
    SetPosition(0, 0);
    if (source)
        source_ = *source;
    else if (surface)
        source_ = WholeSurface(*surface);
    blend_.flags = flags;
    blend_.level = kSpriteLevel;
    blend_.maskImage = nullptr;
}

DxSprite::~DxSprite() {
    if (ownsSurface_ && surface_) surface_->Release();
}

void DxSprite::SetSurface(DxSurface* surface) {
    if (surface != surface_) {
        if (ownsSurface_ && surface_) surface_->Release();
        surface_ = surface;
        ownsSurface_ = 0;
    }
    Invalidate(kDirtyContents);
}

void DxSprite::SetSource(const TEXANIM* source) {
    if (source) {
        source_ = *source;
    } else {
        if (!surface_) return;
        const TEXANIM whole = WholeSurface(*surface_);
        source_.width = whole.width;
        source_.height = whole.height;
        source_.hotX = 0;
        source_.hotY = 0;
        source_.source = whole.source;
    }
    HandleMessage(kMsgInvalidate, kDirtyContents, 0);
}

void DxSprite::SetLevel(std::uint32_t level) {
    BlendParams blend = blend_;
    blend.level = level;
    SetBlend(blend);
}

void DxSprite::SetBlendFlags(std::uint32_t flags) {
    BlendParams blend = blend_;
    blend.flags = flags;
    SetBlend(blend);
}

void DxSprite::SetBlend(const BlendParams& blend) {
    if (blend == blend_) return;
    blend_ = blend;
    Invalidate(kDirtyContents);
}

void DxSprite::GetSource(TEXANIM* out) const {
    if (out) *out = source_;
}

void DxSprite::GetBounds(std::uintptr_t, RECT* out) {
    if (!out || !IsVisible()) return;
    const ScreenPoint p = TransformPoint(*matrix_, GetPosition());
    const auto left = static_cast<std::int16_t>(p.x - source_.hotX);
    const auto top = static_cast<std::int16_t>(p.y - source_.hotY);
    *out = RECT{left, top, left + source_.width, top + source_.height};
}

void DxSprite::AddDirtyPart(DirtyRectList* list, const RECT& rect) const {
    if (!list || dirtyFlags_ == 0 || IsRectEmpty(rect)) return;
    if (dirtyFlags_ != kDirtySurfacePart || !surface_) {
        list->Add(rect);
        return;
    }
    const RECT part = IntersectRect(source_.source, surface_->GetDirtyRect());
    if (IsRectEmpty(part)) return;
    const std::int32_t left = rect.left - source_.source.left + part.left;
    const std::int32_t top = rect.top - source_.source.top + part.top;
    list->Add(RECT{left, top, left + part.Width(), top + part.Height()});
}

std::uint32_t DxSprite::HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) {
    switch (msg) {
        case kMsgDirtyPass:
            // A change the surface recorded makes the sprite dirty for that part alone.
            if (surface_ && !IsRectEmpty(surface_->GetDirtyRect())) dirtyFlags_ |= kDirtySurfacePart;
            return DxDrawView::HandleMessage(msg, a, b);
        case kMsgCommit:
            if (surface_) surface_->ClearDirtyRect();
            return DxDrawView::HandleMessage(msg, a, b);
        case kMsgHitTest: {
            // The drawn rectangle lies at the position less the hot spot, so the point is
            // taken relative to that corner.
            if (!a || !b || !IsVisible()) return 1;
            auto* point = reinterpret_cast<POINT*>(a);
            const POINT relative{point->x - static_cast<std::int32_t>(GetPosition().x) + source_.hotX,
                                 point->y - static_cast<std::int32_t>(GetPosition().y) + source_.hotY};
            if (relative.x < 0 || relative.y < 0 || relative.x >= source_.width || relative.y >= source_.height)
                return 1;
            *point = relative;
            *reinterpret_cast<ssView**>(b) = this;
            return 0;
        }
        default: return DxDrawView::HandleMessage(msg, a, b);
    }
}

void DxSprite::Render(DrawRequest* request) {
    if (!request || !request->target || !IsVisible() || !surface_) return;
    const RECT clip = IntersectRect(newRect_, request->clip);
    if (IsRectEmpty(clip)) return;
    request->target->Blit(newRect_.left, newRect_.top, surface_, &source_.source, &clip, &blend_);
}

DxSurfaceSprite32::DxSurfaceSprite32(int width, int height) : DxSprite(nullptr, nullptr, 0) {
    SetSize(width, height);
    FillRect(nullptr, 0x000000, 0);
    source_ = TEXANIM{};
    source_.width = static_cast<std::uint16_t>(width);
    source_.height = static_cast<std::uint16_t>(height);
    source_.source = RECT{0, 0, width, height};
    surface_ = this;
    AddDirtyRect(nullptr);
}

DxSurfaceSprite32::~DxSurfaceSprite32() {
    // The surface part is this object: it is never released through the sprite part.
    surface_ = nullptr;
    ownsSurface_ = 0;
}

std::uint32_t DxSurfaceSprite32::Destroy() { return Release(); }

ULONG DxSurfaceSprite32::Release() {
    ownsSurface_ = 0;
    if (ReferenceCount() < 2) {
        ssView::Destroy();
        return 0;
    }
    Detach();
    return DxSurface32::Release();
}

}  // namespace DxDraw
