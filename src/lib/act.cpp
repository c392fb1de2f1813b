#include "lib/act.h"

#include <array>

#include "lib/error.h"

namespace {

// The process-wide pool. `in_pool` marks the free records, so that a record freed twice (for
// example by its own callback and again by its owner) cannot enter the free list twice.
struct ACTPool {
    std::array<ACT, kActPoolSize> records{};
    std::array<bool, kActPoolSize> in_pool{};
    ACT* free_head = nullptr;
    std::array<ACT*, kActRootSlots> roots{};
};

ACTPool g_pool;

std::size_t IndexOf(const ACT* act) { return static_cast<std::size_t>(act - g_pool.records.data()); }

bool IsPoolRecord(const ACT* act) { return act >= g_pool.records.data() && act < g_pool.records.data() + kActPoolSize; }

void ReturnToPool(ACT* act) {
    if (!IsPoolRecord(act) || g_pool.in_pool[IndexOf(act)]) return;
    *act = ACT{};
    act->next = g_pool.free_head;
    g_pool.free_head = act;
    g_pool.in_pool[IndexOf(act)] = true;
}

ACT* TakeFromPool() {
    ACT* act = g_pool.free_head;
    if (!act) ThrowError(u"act.cpp", 224, 0, 0, u"MakeACT: Empty Memory!!");
    g_pool.free_head = act->next;
    g_pool.in_pool[IndexOf(act)] = false;
    *act = ACT{};
    act->flags = 1;
    return act;
}

bool IsChildOf(const ACT* act, const ACT* parent) { return act && act->parent == parent; }

}  // namespace

void InitACTPool() {
    g_pool = ACTPool{};
    for (std::size_t i = kActPoolSize; i-- > 0;) ReturnToPool(&g_pool.records[i]);
    for (ACT*& root : g_pool.roots) root = TakeFromPool();
}

ACT* MakeACT(ACTCallback callback, std::uintptr_t value) {
    ACT* act = TakeFromPool();
    act->callback = callback;
    act->value = value;
    if (callback) SendACT(act, kActCreated, 0, 0);
    return act;
}

void AttachACT(int slot, ACT* act) {
    ACT* root = GetACTRoot(slot);
    if (!root) ThrowError(u"act.cpp", __LINE__, 0, 0, u"AttachACT: no root in slot %d", slot);
    if (ACT* newest = root->last_child) {
        act->next = newest->next;
        newest->next = act;
    } else {
        act->next = act;
    }
    root->last_child = act;
    act->parent = root;
    SendACT(act, kActAttached, 0, 0);
}

void UnlinkChildACT(ACT* parent, ACT* act) {
    ACT* newest = parent->last_child;
    if (!newest) return;
    if (newest->next == newest) {
        if (newest == act) parent->last_child = nullptr;
        return;
    }
    ACT* before = newest;
    while (before->next != act) {
        before = before->next;
        if (before == newest) return;  // went round: act is not a child
    }
    before->next = act->next;
    if (act == newest) parent->last_child = before;
}

void DetachACT(ACT* act) {
    if (!act) return;
    while (ACT* child = act->last_child) {
        DetachACT(child);
        // A callback may already have returned the child to the pool or unlinked it.
        if (act->last_child == child) UnlinkChildACT(act, child);
        ReturnToPool(child);
    }
    if (ACT* parent = act->parent) {
        SendACT(parent, kActChildDetached, reinterpret_cast<std::intptr_t>(act), 0);
        UnlinkChildACT(parent, act);
        act->parent = nullptr;
        act->next = nullptr;
    }
    SendACT(act, kActDestroyed, 0, 0);
}

int FreeACT(ACT* act) {
    if (!act || (IsPoolRecord(act) && g_pool.in_pool[IndexOf(act)])) return 0;
    DetachACT(act);
    ReturnToPool(act);
    return 0;
}

std::intptr_t SendACT(ACT* act, int message, std::intptr_t a, std::intptr_t b) {
    if (!act || !act->callback) return 0;
    return act->callback(act, message, a, b);
}

void WalkACT(ACT* act) {
    if (!act) return;
    SendACT(act, kActWalkEnter, 0, 0);
    if (ACT* newest = act->last_child) {
        // The children are noted first, oldest to newest: a callback may free or add records
        // while the ring is walked, and the walk must go on with the next sibling still in the
        // tree, neither run past the children it started with nor loop for ever.
        std::array<ACT*, kActPoolSize> children;
        std::size_t count = 0;
        ACT* child = newest;
        do {
            child = child->next;
            children[count++] = child;
        } while (child != newest && count < children.size());
        for (std::size_t i = 0; i < count; ++i) {
            if (IsChildOf(children[i], act) && (children[i]->flags & 1)) WalkACT(children[i]);
        }
    }
    SendACT(act, kActWalkLeave, 0, 0);
}

void WalkACTRoots(int first, int last) {
    if (last == -1) last = kActRootSlots - 1;
    for (int slot = first < 0 ? 0 : first; slot <= last && slot < kActRootSlots; ++slot) {
        if (ACT* root = g_pool.roots[slot]) WalkACT(root);
    }
}

void FreeAllACTRoots() {
    for (ACT*& root : g_pool.roots) {
        if (!root) continue;
        DetachACT(root);
        ReturnToPool(root);
        root = nullptr;
    }
}

ACT* GetACTRoot(int slot) {
    if (slot < 0 || slot >= kActRootSlots) return nullptr;
    return g_pool.roots[slot];
}
