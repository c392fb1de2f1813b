#include "dxdraw/dxdraw_view.h"

#include "dxdraw/dirty_rect_list.h"

namespace DxDraw {

DxDrawView::~DxDrawView() {
    if (GetParent()) ReportUncovered();
}

void DxDrawView::ReportUncovered() {
    if (ssGroup* parent = GetParent(); parent && !IsRectEmpty(previousRect_))
        parent->HandleMessage(kMsgUncovered, reinterpret_cast<std::uintptr_t>(&previousRect_), 0);
}

void DxDrawView::AddDirtyPart(DirtyRectList* list, const RECT& rect) const {
    if (list && dirtyFlags_ != 0 && !IsRectEmpty(rect)) list->Add(rect);
}

std::uint32_t DxDrawView::HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) {
    switch (msg) {
        case kMsgAttached: Invalidate(kDirtyContents); return 1;
        case kMsgDetaching: ReportUncovered(); return 1;
        case kMsgDirtyPass: {
            auto* list = reinterpret_cast<DirtyRectList*>(b);
            AddDirtyPart(list, previousRect_);
            ResetAccumulated();
            newRect_ = RECT{};
            GetBounds(a, &newRect_);
            AddDirtyPart(list, newRect_);
            return 1;
        }
        case kMsgCommit:
            previousRect_ = newRect_;
            dirtyFlags_ = 0;
            return 1;
        case kMsgInvalidate: Invalidate(static_cast<std::uint32_t>(a)); return 1;
        default: return DrawView::HandleMessage(msg, a, b);
    }
}

void DxDrawView::SetFlags(std::uint16_t mask, bool on) {
    ssView::SetFlags(mask, on);
    if (mask == kFlagVisible) Invalidate(kDirtyContents);
}

void DxDrawView::SetPositionPt(const POINT* point) {
    if (point) SetPositionF(static_cast<float>(point->x), static_cast<float>(point->y));
}

void DxDrawView::SetPosition(int x, int y) {
    DrawView::SetPosition(x, y);
    Invalidate(kDirtyPosition);
}

void DxDrawView::SetPositionF(float x, float y) {
    DrawView::SetPositionF(x, y);
    Invalidate(kDirtyPosition);
}

void DxDrawView::GetPositionRect(RECT* out) {
    if (!out) return;
    const auto x = static_cast<std::int32_t>(GetPosition().x);
    const auto y = static_cast<std::int32_t>(GetPosition().y);
    *out = RECT{x, y, x, y};
}

void DxDrawView::GetBounds(std::uintptr_t, RECT*) {}

std::uint32_t DxDrawGroup::HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) {
    switch (msg) {
        case kMsgDirtyPass:
            WithChildTransform([&] { ForEachChild([&](ssView* child) { child->HandleMessage(msg, a, b); }); });
            return 1;
        case kMsgCommit: ForEachChild([&](ssView* child) { child->HandleMessage(msg, a, b); }); return 1;
        case kMsgInvalidate: ForEachChild([&](ssView* child) { child->HandleMessage(msg, a, 0); }); return 1;
        case kMsgUncovered:
            if (ssGroup* parent = GetParent()) parent->HandleMessage(msg, a, b);
            return 1;
        default: return DrawGroup::HandleMessage(msg, a, b);
    }
}

void DxDrawGroup::SetFlags(std::uint16_t mask, bool on) {
    ssView::SetFlags(mask, on);
    if (mask == kFlagVisible) HandleMessage(kMsgInvalidate, kDirtyContents, 0);
}

void DxDrawGroup::SetPosition(int x, int y) {
    DrawView::SetPosition(x, y);
    HandleMessage(kMsgInvalidate, kDirtyPosition, 0);
}

void DxDrawGroup::SetPositionF(float x, float y) {
    DrawView::SetPositionF(x, y);
    HandleMessage(kMsgInvalidate, kDirtyPosition, 0);
}

void DxDrawGroup::SetPositionPt(const POINT* point) {
    if (point) SetPositionF(static_cast<float>(point->x), static_cast<float>(point->y));
}

}  // namespace DxDraw
