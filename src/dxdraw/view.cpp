#include "dxdraw/view.h"

ssView::~ssView() { Unlink(); }

void ssView::Unlink() {
    ssGroup* parent = parent_;
    if (!parent) return;
    if (parent->focus_ == this) parent->SetFocus(next_ != this ? next_ : nullptr);
    parent->Remove(this);
}

void ssView::Detach() {
    HandleMessage(kMsgDetaching, 0, 0);
    Hide();
    Unlink();
}

std::uint32_t ssView::Destroy() {
    Detach();
    delete this;
    return 0;
}

std::uint32_t ssView::HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t) {
    if (msg == kMsgCount && a) ++*reinterpret_cast<std::uint32_t*>(a);
    return 1;
}

std::uintptr_t ssView::Dispatch(std::uint32_t kind, std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) {
    switch (kind) {
        case kDispatchSelf:
        case kDispatchFocusChain:
        case kDispatchFirstChildChain:
        case kDispatchBroadcast: return HandleMessage(msg, a, b);
        case kDispatchHitSearch: return HandleMessage(msg, a, b) == 0 ? reinterpret_cast<std::uintptr_t>(this) : 0;
        default: return 1;
    }
}

void ssView::SetFlags(std::uint16_t mask, bool on) {
    flags_ = on ? static_cast<std::uint16_t>(flags_ | mask) : static_cast<std::uint16_t>(flags_ & ~mask);
}

void ssView::Show() {
    if (!IsVisible()) SetFlags(kFlagVisible, true);
}

void ssView::Hide() {
    if (IsVisible()) SetFlags(kFlagVisible, false);
}

ssView* ssView::GetNextSibling() const {
    if (!parent_ || parent_->last_ == this) return nullptr;
    return next_;
}

ssView* ssView::GetPrevSibling() const {
    if (!parent_ || parent_->GetFirstChild() == this) return nullptr;
    ssView* v = parent_->last_;
    while (v->next_ != this) v = v->next_;
    return v;
}

ssGroup::~ssGroup() {
    while (last_) Remove(last_);
    focus_ = nullptr;
}

void ssGroup::Detach() {
    // Hide all first, so that no child repaints over a sibling that is about to go.
    if (last_) {
        ssView* child = last_;
        do {
            child->Hide();
            child = child->GetPrevSibling();
        } while (child);
    }
    while (last_) last_->Destroy();
    focus_ = nullptr;
    ssView::Detach();
}

std::uint32_t ssGroup::HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) {
    if (msg == kMsgCount) {
        ssView::HandleMessage(msg, a, b);
        ForEachChild([&](ssView* child) { child->HandleMessage(msg, a, b); });
        return 1;
    }
    return ssView::HandleMessage(msg, a, b);
}

std::uintptr_t ssGroup::Dispatch(std::uint32_t kind, std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) {
    switch (kind) {
        case kDispatchSelf: return HandleMessage(msg, a, b);
        case kDispatchFocusChain: return focus_ ? focus_->Dispatch(kind, msg, a, b) : 1;
        case kDispatchFirstChildChain: return last_ ? GetFirstChild()->Dispatch(kind, msg, a, b) : 1;
        case kDispatchBroadcast:
            HandleMessage(msg, a, b);
            ForEachChild([&](ssView* child) { child->Dispatch(kind, msg, a, b); });
            return 1;
        case kDispatchHitSearch: {
            if (HandleMessage(msg, a, b) == 0) return reinterpret_cast<std::uintptr_t>(static_cast<ssView*>(this));
            std::uintptr_t found = 0;
            ForEachChild([&](ssView* child) {
                if (!found) found = child->Dispatch(kind, msg, a, b);
            });
            return found;
        }
        default: return 1;
    }
}

void ssGroup::Update() {
    ForEachChild([](ssView* child) { child->Update(); });
}

void ssGroup::Render(DrawRequest* request) {
    ForEachChild([&](ssView* child) { child->Render(request); });
}

bool ssGroup::Add(ssView* child) {
    if (!child) return false;
    for (const ssView* v = this; v; v = v->parent_)
        if (v == child) return false;
    if (child->parent_) {
        child->HandleMessage(kMsgDetaching, 0, 0);
        child->Unlink();
    }
    child->parent_ = this;
    if (last_) {
        child->next_ = last_->next_;
        last_->next_ = child;
    } else {
        child->next_ = child;
    }
    last_ = child;
    child->HandleMessage(kMsgAttached, 0, 0);
    return true;
}

void ssGroup::Remove(ssView* child) {
    if (!child || child->parent_ != this) return;
    if (child->next_ == child) {
        last_ = nullptr;
    } else {
        ssView* prev = last_;
        while (prev->next_ != child) prev = prev->next_;
        prev->next_ = child->next_;
        if (last_ == child) last_ = prev;
    }
    if (focus_ == child) focus_ = nullptr;
    child->parent_ = nullptr;
    child->next_ = nullptr;
}

void ssGroup::SetFocus(ssView* child) {
    if (child == focus_) return;
    if (focus_) focus_->SetFlags(kFlagFocused, false);
    if (child) child->SetFlags(kFlagFocused, true);
    focus_ = child;
}
