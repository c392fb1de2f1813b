#include "dxdraw/view.h"

ssView::~ssView() { Unlink(); }

void ssView::Unlink() {
    ssGroup* parent = m_pParent;
    if (!parent) return;
    if (parent->m_pFocus == this) parent->SetFocus(m_pNext != this ? m_pNext : nullptr);
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
    m_Flags = on ? static_cast<std::uint16_t>(m_Flags | mask) : static_cast<std::uint16_t>(m_Flags & ~mask);
}

void ssView::Show() {
    if (!IsVisible()) SetFlags(kFlagVisible, true);
}

void ssView::Hide() {
    if (IsVisible()) SetFlags(kFlagVisible, false);
}

ssView* ssView::GetNextSibling() const {
    if (!m_pParent || m_pParent->m_pLast == this) return nullptr;
    return m_pNext;
}

ssView* ssView::GetPrevSibling() const {
    if (!m_pParent || m_pParent->GetFirstChild() == this) return nullptr;
    ssView* v = m_pParent->m_pLast;
    while (v->m_pNext != this) v = v->m_pNext;
    return v;
}

ssGroup::~ssGroup() {
    while (m_pLast) Remove(m_pLast);
    m_pFocus = nullptr;
}

void ssGroup::Detach() {
    // Hide all first, so that no child repaints over a sibling that is about to go.
    if (m_pLast) {
        ssView* child = m_pLast;
        do {
            child->Hide();
            child = child->GetPrevSibling();
        } while (child);
    }
    while (m_pLast) m_pLast->Destroy();
    m_pFocus = nullptr;
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
        case kDispatchFocusChain: return m_pFocus ? m_pFocus->Dispatch(kind, msg, a, b) : 1;
        case kDispatchFirstChildChain: return m_pLast ? GetFirstChild()->Dispatch(kind, msg, a, b) : 1;
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
    for (const ssView* v = this; v; v = v->m_pParent)
        if (v == child) return false;
    if (child->m_pParent) {
        child->HandleMessage(kMsgDetaching, 0, 0);
        child->Unlink();
    }
    child->m_pParent = this;
    if (m_pLast) {
        child->m_pNext = m_pLast->m_pNext;
        m_pLast->m_pNext = child;
    } else {
        child->m_pNext = child;
    }
    m_pLast = child;
    child->HandleMessage(kMsgAttached, 0, 0);
    return true;
}

void ssGroup::Remove(ssView* child) {
    if (!child || child->m_pParent != this) return;
    if (child->m_pNext == child) {
        m_pLast = nullptr;
    } else {
        ssView* prev = m_pLast;
        while (prev->m_pNext != child) prev = prev->m_pNext;
        prev->m_pNext = child->m_pNext;
        if (m_pLast == child) m_pLast = prev;
    }
    if (m_pFocus == child) m_pFocus = nullptr;
    child->m_pParent = nullptr;
    child->m_pNext = nullptr;
}

void ssGroup::SetFocus(ssView* child) {
    if (child == m_pFocus) return;
    if (m_pFocus) m_pFocus->SetFlags(kFlagFocused, false);
    if (child) child->SetFlags(kFlagFocused, true);
    m_pFocus = child;
}
