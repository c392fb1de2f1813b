// The node layer of the view tree: views, groups whose children form a ring, visibility and
// focus flags, and message dispatch.
//
// Everything on the screen is a node of one tree. A group's children are kept in a ring
// through each child's next link (the last child's next is the first child); the group holds
// the last child. Views are heap objects: Destroy detaches and deletes.
#pragma once

#include <cstdint>

#include "dxdraw/rect.h"

namespace DxDraw {
class DxSurface32;
}

// What every Render of one frame receives.
struct DrawRequest {
    DxDraw::DxSurface32* target = nullptr;  // the surface the views draw into
    RECT clip;                              // in target pixels
};

// View messages (msg, a, b). a and b carry integers or pointers.
enum ViewMessage : std::uint32_t {
    kMsgCount = 0,      // a: u32* counter; every node adds 1
    kMsgAttached = 1,   // sent by ssGroup::Add to the new child
    kMsgDetaching = 3,  // sent by a detaching view to itself
    kMsgUpdateCallback = 0x4001,
    kMsgGetMatrix = 0x4002,       // to a parent group: a = float** out, b = float[15] out or 0
    kMsgWorldTransform = 0x4003,  // to a parent group: a = float[16] in/out, b = float[15] in/out
    kMsgHitTest = 0x4004,         // a = POINT* in screen pixels, b = ssView** out
    kMsgDirtyPass = 0x4065,       // a = the screen view, b = DirtyRectList*
    kMsgCommit = 0x4066,
    kMsgInvalidate = 0x4067,  // a = dirty flags
    kMsgUncovered = 0x4068,   // a = const RECT* a detached view no longer covers
    kMsgPaint = 0x4069,       // screen view only
};

// Dispatch kinds.
enum DispatchKind : std::uint32_t {
    kDispatchSelf = 0,
    kDispatchFocusChain = 1,
    kDispatchFirstChildChain = 2,
    kDispatchBroadcast = 3,
    kDispatchHitSearch = 4,
};

class ssGroup;

class ssView {
public:
    enum : std::uint16_t { kFlagVisible = 1, kFlagFocused = 4 };

    ssView() = default;
    // A view deleted while still in a group leaves the ring first, so no link dangles.
    virtual ~ssView();
    ssView(const ssView&) = delete;
    ssView& operator=(const ssView&) = delete;

    // Sends kMsgDetaching to itself, hides, and leaves the parent's ring.
    virtual void Detach();
    // Detach, then delete (the view must have been made with new).
    virtual std::uint32_t Destroy();
    // 1 for every message; kMsgCount counts this node.
    virtual std::uint32_t HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b);
    // Kind 4 returns the view that answered (as an integer), the others HandleMessage's result.
    virtual std::uintptr_t Dispatch(std::uint32_t kind, std::uint32_t msg, std::uintptr_t a, std::uintptr_t b);
    virtual void Update() {}
    virtual void Render(DrawRequest*) {}
    virtual void SetFlags(std::uint16_t mask, bool on);
    virtual void Show();
    virtual void Hide();

    ssGroup* GetParent() const { return parent_; }
    // Null for the last child.
    ssView* GetNextSibling() const;
    // Null for the first child.
    ssView* GetPrevSibling() const;
    std::uint16_t GetFlags() const { return flags_; }
    bool IsVisible() const { return (flags_ & kFlagVisible) != 0; }

protected:
    // Leaves the parent's ring; focus moves to the next sibling. Nothing is sent.
    void Unlink();

private:
    friend class ssGroup;

    ssGroup* parent_ = nullptr;
    ssView* next_ = nullptr;
    std::uint16_t flags_ = kFlagVisible;
};

class ssGroup : public virtual ssView {
public:
    ssGroup() = default;
    // Children left in the group are released from it (their links cleared), not deleted.
    ~ssGroup() override;

    // Hides every child, destroys every child (last first), then detaches the group itself.
    void Detach() override;
    std::uint32_t HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) override;
    std::uintptr_t Dispatch(std::uint32_t kind, std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) override;
    void Update() override;
    void Render(DrawRequest* request) override;

    // Appends the child and sends it kMsgAttached. A child that is in a group already leaves
    // that group first (reporting the area it covered); a group cannot be added below itself.
    // False when nothing was added.
    bool Add(ssView* child);
    // Unlinks the child from the ring; nothing is sent.
    void Remove(ssView* child);
    void SetFocus(ssView* child);
    ssView* GetFocus() const { return focus_; }
    ssView* GetFirstChild() const { return last_ ? last_->next_ : nullptr; }
    ssView* GetLastChild() const { return last_; }
    // Calls fn(child) for every child, first to last; fn may not change the ring.
    template <class Fn>
    void ForEachChild(Fn&& fn) const {
        if (!last_) return;
        ssView* child = last_->next_;
        for (;;) {
            ssView* next = child->next_;
            const bool last = child == last_;
            fn(child);
            if (last) break;
            child = next;
        }
    }

private:
    friend class ssView;

    ssView* last_ = nullptr;
    ssView* focus_ = nullptr;
};
