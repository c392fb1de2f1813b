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

DxSprite::DxSprite(DxSurface* surface, const TEXANIM* source, std::uint32_t flags) : m_pSurface(surface) {
    SetPosition(0, 0);
    if (source)
        m_Source = *source;
    else if (surface)
        m_Source = WholeSurface(*surface);
    m_Blend.flags = flags;
    m_Blend.level = kSpriteLevel;
    m_Blend.maskImage = nullptr;
}

DxSprite::~DxSprite() {
    if (m_OwnsSurface && m_pSurface) m_pSurface->Release();
}

void DxSprite::SetSurface(DxSurface* surface) {
    if (surface != m_pSurface) {
        if (m_OwnsSurface && m_pSurface) m_pSurface->Release();
        m_pSurface = surface;
        m_OwnsSurface = 0;
    }
    Invalidate(kDirtyContents);
}

void DxSprite::SetSource(const TEXANIM* source) {
    if (source) {
        m_Source = *source;
    } else {
        if (!m_pSurface) return;
        const TEXANIM whole = WholeSurface(*m_pSurface);
        m_Source.width = whole.width;
        m_Source.height = whole.height;
        m_Source.hotX = 0;
        m_Source.hotY = 0;
        m_Source.source = whole.source;
    }
    HandleMessage(kMsgInvalidate, kDirtyContents, 0);
}

void DxSprite::GetSource(TEXANIM* out) const {
    if (out) *out = m_Source;
}

void DxSprite::GetBounds(std::uintptr_t, RECT* out) {
    if (!out || !IsVisible()) return;
    const ScreenPoint p = TransformPoint(*m_pMatrix, GetPosition());
    const auto left = static_cast<std::int16_t>(p.x - m_Source.hotX);
    const auto top = static_cast<std::int16_t>(p.y - m_Source.hotY);
    *out = RECT{left, top, left + m_Source.width, top + m_Source.height};
}

void DxSprite::AddDirtyPart(DirtyRectList* list, const RECT& rect) const {
    if (!list || m_DirtyFlags == 0 || IsRectEmpty(rect)) return;
    if (m_DirtyFlags != kDirtySurfacePart || !m_pSurface) {
        list->Add(rect);
        return;
    }
    const RECT part = IntersectRect(m_Source.source, m_pSurface->GetDirtyRect());
    if (IsRectEmpty(part)) return;
    const std::int32_t left = rect.left - m_Source.source.left + part.left;
    const std::int32_t top = rect.top - m_Source.source.top + part.top;
    list->Add(RECT{left, top, left + part.Width(), top + part.Height()});
}

std::uint32_t DxSprite::HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) {
    switch (msg) {
        case kMsgDirtyPass: {
            auto* list = reinterpret_cast<DirtyRectList*>(b);
            if (m_pSurface && !IsRectEmpty(m_pSurface->GetDirtyRect())) m_DirtyFlags |= kDirtySurfacePart;
            AddDirtyPart(list, m_PreviousRect);
            ResetAccumulated();
            m_NewRect = RECT{};
            GetBounds(a, &m_NewRect);
            AddDirtyPart(list, m_NewRect);
            return 1;
        }
        case kMsgCommit:
            m_PreviousRect = m_NewRect;
            m_DirtyFlags = 0;
            if (m_pSurface) m_pSurface->ClearDirtyRect();
            return 1;
        case kMsgHitTest: {
            // The drawn rectangle lies at the position less the hot spot, so the point is
            // taken relative to that corner.
            if (!a || !b || !IsVisible()) return 1;
            auto* point = reinterpret_cast<POINT*>(a);
            const POINT relative{point->x - static_cast<std::int32_t>(GetPosition().x) + m_Source.hotX,
                                 point->y - static_cast<std::int32_t>(GetPosition().y) + m_Source.hotY};
            if (relative.x < 0 || relative.y < 0 || relative.x >= m_Source.width || relative.y >= m_Source.height)
                return 1;
            *point = relative;
            *reinterpret_cast<ssView**>(b) = this;
            return 0;
        }
        default: return DxDrawView::HandleMessage(msg, a, b);
    }
}

void DxSprite::Render(DrawRequest* request) {
    if (!request || !request->target || !IsVisible() || !m_pSurface) return;
    const RECT clip = IntersectRect(m_NewRect, request->clip);
    if (IsRectEmpty(clip)) return;
    request->target->Blit(m_NewRect.left, m_NewRect.top, m_pSurface, &m_Source.source, &clip, &m_Blend);
}

DxSurfaceSprite32::DxSurfaceSprite32(int width, int height) : DxSprite(nullptr, nullptr, 0) {
    SetSize(width, height);
    FillRect(nullptr, 0x000000, 0);
    m_Source = TEXANIM{};
    m_Source.width = static_cast<std::uint16_t>(width);
    m_Source.height = static_cast<std::uint16_t>(height);
    m_Source.source = RECT{0, 0, width, height};
    m_pSurface = this;
    AddDirtyRect(nullptr);
}

DxSurfaceSprite32::~DxSurfaceSprite32() {
    // The surface part is this object: it is never released through the sprite part.
    m_pSurface = nullptr;
    m_OwnsSurface = 0;
}

std::uint32_t DxSurfaceSprite32::Destroy() { return Release(); }

ULONG DxSurfaceSprite32::Release() {
    m_OwnsSurface = 0;
    if (ReferenceCount() < 2) {
        ssView::Destroy();
        return 0;
    }
    Detach();
    return DxSurface32::Release();
}

}  // namespace DxDraw
