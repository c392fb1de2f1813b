// The real game window on SDL2: the game picture kept in a surface of its own and written into
// the window's pixels, desktop full screen with the picture scaled to fit (aspect kept), SDL
// events turned into window messages queued for the engine's own loop, and keyboard and mouse
// state tracked from those events.
//
// The window is drawn in software through its own pixel buffer: a page that waits with a blinking
// cursor then costs only the cursor's few pixels a frame, where a GPU-style present redraws and
// sends the whole window every time (and on machines without a GPU that is most of the work).
// Changed rectangles of the picture go straight to the window; the menu bar and the modal layer
// are drawn with a software renderer on the same pixels, and while they lie over the picture the
// window is drawn whole.
//
// Host-internal: includes SDL. The UI layer (host/ui) draws over the picture through Overlay.
#pragma once

#include <SDL.h>

#include <bitset>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/video/picture_scaler.h"
#include "host/video/press_latch.h"
#include "host/video/window.h"

namespace host {

class SdlWindow final : public Window {
public:
    // Drawn over the picture after it (menu bar, modal dialogs). Sees every SDL event first.
    class Overlay {
    public:
        virtual ~Overlay() = default;
        // Returns true when the event belongs to the overlay alone (the game sees no message for it).
        virtual bool HandleEvent(const SDL_Event& event) = 0;
        // Draws one frame of the overlay on the renderer (after the picture).
        virtual void Draw() = 0;
        // True while the overlay needs frames although the picture did not change.
        virtual bool Animating() const = 0;
        // True while the overlay takes the keyboard from the game (open menu, modal box).
        virtual bool CapturesKeyboard() const = 0;
        // True while it takes the mouse too (also while the pointer is over the menu bar).
        virtual bool CapturesMouse() const = 0;
        virtual int MenuBarHeight() const = 0;
    };

    // Opens the window (hidden windows serve tests) with the program's icon; throws
    // std::runtime_error on failure, and when there is no display: SDL's off-screen and dummy
    // drivers are taken only when SDL_VIDEODRIVER names them (tests do), never as a fallback.
    SdlWindow(const std::string& title_utf8, bool hidden = false);
    ~SdlWindow() override;
    SdlWindow(const SdlWindow&) = delete;
    SdlWindow& operator=(const SdlWindow&) = delete;

    void Present(const std::uint32_t* pixels, int pitch, std::span<const Rect> rects) override;
    bool SetFullScreen(bool on) override;
    bool IsFullScreen() const override { return full_screen_; }
    std::vector<DisplayMode> DisplayModes() const override;
    int RefreshRate() const override;
    void ShowMenuBar(bool shown) override;
    bool MenuBarShown() const override { return menu_bar_shown_; }
    bool PeekMessage(WindowMessage& out) override;
    void WaitMessage() override;
    void PostMessage(const WindowMessage& message) override { queue_.push_back(message); }
    bool ReadKeyboard(std::uint8_t (&keys)[256]) override;
    bool ReadMouse(MouseReading& out) override;
    void CursorPosition(int& x, int& y) const override;
    void PaceFrame() override;

    // For the UI layer and the modal loops.
    void SetOverlay(Overlay* overlay);
    SDL_Window* sdl_window() const { return window_; }
    SDL_Renderer* renderer() const { return renderer_; }
    // Reads every pending SDL event (into messages and the tracked input state).
    void PumpEvents();
    // Draws the whole window (picture, borders, overlay) and shows it now.
    void Redraw();
    // Shows what changed since the last show: only the changed parts of the picture, unless the
    // overlay is changing or lies over them (then the whole window).
    void ShowPending();
    // Sleeps to the next 60 Hz deadline.
    void SleepToDeadline();
    // Where the picture lies, in window pixels.
    SDL_Rect PictureRect() const;
    bool HasFocus() const { return focused_; }

private:
    void Close();
    void HandleEvent(const SDL_Event& event);
    void FitWindowToPicture();
    int TopInset() const;
    // Writes the `changed` part of the picture into the window's pixels; returns the window
    // pixels written.
    Rect DrawPicture(SDL_Surface* target, const Rect& changed);

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;  // software, on the window's pixels (for the overlay)
    SDL_Surface* picture_ = nullptr;    // the game picture as last presented
    SDL_Surface* staging_ = nullptr;    // window-sized 32-bit pixels, for windows of another format
    PictureScaler scaler_;
    // Kept between frames, so that presenting allocates nothing once they have grown.
    std::vector<Rect> changed_;    // parts of the picture not shown yet
    std::vector<SDL_Rect> shown_;  // window parts sent in the last show
    Overlay* overlay_ = nullptr;
    std::deque<WindowMessage> queue_;
    bool full_screen_ = false;
    SDL_Point windowed_at_{};  // where the window stood before the full screen
    bool menu_bar_shown_ = true;
    bool focused_ = true;
    bool needs_redraw_ = true;  // the whole window must be drawn again
    bool closed_ = false;
    // Input tracked from events, so that synthesised events count like real ones.
    std::uint8_t keys_[256] = {};
    bool overlay_keys_[256] = {};  // down keys that the overlay took: up for the game until released
    bool buttons_[3] = {};
    // What the game's reads must still see of presses shorter than a frame.
    PressLatch<256> key_latch_;
    PressLatch<3> button_latch_;
    // The overlay reads its keys as states once a frame too: a key that went down since its last
    // frame has its release handed on only after the next one, so that a tap is drawn as a press.
    std::bitset<SDL_NUM_SCANCODES> overlay_unseen_downs_;
    std::vector<SDL_Event> overlay_later_;
    int mouse_x_ = -1, mouse_y_ = -1;  // window pixels
    // Where a button went down since the last read of the mouse, and where the press that read
    // reported happened: a tap followed by a move within one frame is read where it was made.
    std::optional<SDL_Point> press_since_read_, press_read_;
    int dx_ = 0, dy_ = 0, dz_ = 0;
    std::chrono::steady_clock::time_point deadline_{};
};

}  // namespace host
