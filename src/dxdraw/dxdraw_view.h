// The drawable layer of the view tree: dirty flags and the rectangles a view covered at the
// last commit and covers now, so that each frame only the changed areas are redrawn.
//
// A frame: flags gathered by moves and changes -> kMsgDirtyPass (rectangles into the list, new
// rectangle computed) -> Render -> kMsgCommit (new becomes previous, flags cleared).
#pragma once

#include <cstdint>

#include "dxdraw/draw_view.h"

class DirtyRectList;

namespace DxDraw {

// Dirty flags; they accumulate until the commit.
enum : std::uint32_t {
    kDirtyPosition = 1,
    kDirtySurfacePart = 8,  // only the part of the surface that the surface recorded changed
    kDirtyContents = 16,
};

class DxDrawView : public DrawView {
public:
    explicit DxDrawView(std::uint32_t userValue = 0) : DrawView(userValue) {}
    // A view still on screen reports its area before it goes.
    ~DxDrawView() override;

    std::uint32_t HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) override;
    // A change of visibility makes the view dirty with kDirtyContents.
    void SetFlags(std::uint16_t mask, bool on) override;

    void SetPositionPt(const POINT* point) override;
    void SetPosition(int x, int y) override;
    void SetPositionF(float x, float y) override;

    // The empty rectangle at the position.
    virtual void GetPositionRect(RECT* out);
    // The rectangle the view covers on screen; a plain view covers nothing (out untouched).
    virtual void GetBounds(std::uintptr_t context, RECT* out);
    virtual void Invalidate(std::uint32_t flags) { dirtyFlags_ |= flags; }

    std::uint32_t GetDirtyFlags() const { return dirtyFlags_; }
    const RECT& GetPreviousRect() const { return previousRect_; }
    const RECT& GetNewRect() const { return newRect_; }

protected:
    void TransformChanged() override { Invalidate(kDirtyPosition); }
    // The dirty pass adds the previous and the new rectangle through this: the rectangle when it
    // is not empty and the view is dirty (a sprite narrows it to the changed part of its surface).
    virtual void AddDirtyPart(DirtyRectList* list, const RECT& rect) const;
    void ReportUncovered();

    std::uint32_t dirtyFlags_ = 0;
    RECT previousRect_;
    RECT newRect_;
};

class DxDrawGroup : public DrawGroup {
public:
    DxDrawGroup() = default;

    std::uint32_t HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) override;
    // A change of visibility makes every child dirty with kDirtyContents.
    void SetFlags(std::uint16_t mask, bool on) override;
    void SetPosition(int x, int y) override;
    void SetPositionF(float x, float y) override;
    void SetPositionPt(const POINT* point) override;

protected:
    // The group's transform places every child.
    void TransformChanged() override { HandleMessage(kMsgInvalidate, kDirtyPosition, 0); }
};

}  // namespace DxDraw
