// The screen view: the group under the root of the view tree that holds every visible view of
// the game and turns the tree into the picture in the window. Each drawn frame it gathers the
// rectangles that changed, clears each in its 32-bit back image, renders the tree clipped to
// it, and hands the rectangles to the window; then every view commits. A frame-skip counter
// lets the frame step draw only one frame in n.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "dxdraw/dirty_rect_list.h"
#include "dxdraw/dxdraw_view.h"
#include "dxdraw/dxsurface.h"
#include "host/video/window.h"
#include "lib/combase.h"

namespace DxDraw {

class DxSprite;

// 1 when the screen view was made without a cursor surface (the window's own pointer shows).
extern std::int32_t UseSystemCursor;

class DxScreenSurface : public DxDrawGroup {
public:
    static constexpr std::int32_t kDirtyCapacity = 500;

    // A cursor surface makes a cursor sprite drawn with source alpha; null in this system.
    explicit DxScreenSurface(DxSurface* cursor = nullptr);
    ~DxScreenSurface() override;

    // Sizes the existing back image; 0.
    virtual int SetSize(int width, int height);
    // kMsgUncovered (a = const RECT*) adds the rectangle; kMsgPaint (a = const RECT*, b =
    // host::Window*) adds it and presents at once, without committing the views.
    std::uint32_t HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) override;

    // Redraws the changed rectangles (all of the screen when `full`) into the back image and
    // hands them to the window (none: drawn only). Without a request one aiming at the back
    // image is used. Nothing happens before SetSize.
    void PresentDirtyRects(host::Window* window, bool full, DrawRequest* request);
    // Draws the whole tree as the views stand into `target` (the screen's size); the views'
    // rectangles and dirty flags, the back image and the window are left alone. Every drawn
    // frame places every view, dirty or not, so right after one this is what the window should
    // show.
    void ComposeWhole(DxSurface32& target);
    // Called at the end of every drawn frame, after the views committed (null: nothing).
    void SetAfterFrame(std::function<void()> after) { after_frame_ = std::move(after); }

    // The window the frames go to (set by the start-up; null: frames are drawn, not shown).
    void SetWindow(host::Window* window) { window_ = window; }
    host::Window* GetWindow() const { return window_; }

    std::int32_t GetFrameSkipValue() const { return frame_skip_value_; }
    std::int32_t GetFrameSkipCounter() const { return frame_skip_counter_; }
    void SetFrameSkipValue(std::int32_t value) { frame_skip_value_ = value; }
    void SetFrameSkipCounter(std::int32_t counter) { frame_skip_counter_ = counter; }
    std::uint32_t GetListMode() const { return list_mode_; }
    void SetListMode(std::uint32_t mode) { list_mode_ = mode; }
    DirtyRectList& GetDirtyList() { return dirty_; }
    DxSurface* GetBackImage() const { return back_.Get(); }
    const RECT& GetScreenRect() const { return screen_rect_; }

protected:
    ComPtr<DxSurface> back_;
    RECT screen_rect_;
    std::int32_t frame_skip_value_ = 0;
    std::int32_t frame_skip_counter_ = 0;
    std::function<void()> after_frame_;

private:
    std::unique_ptr<DxSprite> cursor_sprite_;
    DirtyRectList dirty_{kDirtyCapacity};
    std::uint32_t list_mode_ = DirtyRectList::kUnionMode;
    host::Window* window_ = nullptr;
    std::vector<host::Rect> shown_;  // reused every frame: no allocation per frame
};

class DxScreenSurface32 : public DxScreenSurface {
public:
    explicit DxScreenSurface32(DxSurface* cursor = nullptr) : DxScreenSurface(cursor) {}

    // Makes the 32-bit back image, then sizes it.
    int SetSize(int width, int height) override;
    // A new surface holding a copy of the current screen (for save thumbnails).
    ComPtr<DxSurface> CopyScreen();
    // Draws when the frame-skip counter is 0 (then commits every view), and counts the skip.
    void Render(DrawRequest* request) override;
};

}  // namespace DxDraw
