#include "host/video/sdl_window.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "host/video/picture_scaler.h"
#include "host/video/scancodes.h"
#include "host/video/window_icon.h"
#include "lib/text.h"

namespace host {
namespace {

constexpr auto kFramePeriod = std::chrono::microseconds(16667);
// Beyond this many pending rectangles one covering them all is cheaper to show.
constexpr std::size_t kMostPending = 32;

// Keys that also arrive as characters (control characters): the game's text input relies on them.
std::uint16_t ControlCharacter(SDL_Keycode key) {
    switch (key) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return 0x0D;
        case SDLK_BACKSPACE: return 0x08;
        case SDLK_ESCAPE: return 0x1B;
        case SDLK_TAB: return 0x09;
        default: return 0;
    }
}

// The game's number of an SDL mouse button: 0 left, 1 right, 2 middle; -1 for the others.
int ButtonIndex(Uint8 button) {
    switch (button) {
        case SDL_BUTTON_LEFT: return 0;
        case SDL_BUTTON_RIGHT: return 1;
        case SDL_BUTTON_MIDDLE: return 2;
        default: return -1;
    }
}

// Whether SDL_VIDEODRIVER (a comma-separated list) names `driver`.
bool NamedInVideoDriverHint(const char* driver) {
    const char* hint = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (!hint || !driver) return false;
    std::string_view names = hint;
    while (!names.empty()) {
        const std::size_t comma = names.find(',');
        const std::string_view name = names.substr(0, comma);
        if (name.size() == std::strlen(driver) && ::strncasecmp(name.data(), driver, name.size()) == 0) return true;
        if (comma == std::string_view::npos) break;
        names.remove_prefix(comma + 1);
    }
    return false;
}

// SDL falls back to a driver that shows nothing when no display can be reached. A game running
// unseen would hold the one-instance lock while the player waits for a window that never comes.
void RequireADisplay() {
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool stand_in = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (stand_in && !NamedInVideoDriverHint(driver)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
        throw std::runtime_error(std::string("SDL video: no display (only the ") + driver + " driver started)");
    }
}

void SetIcon(SDL_Window* window) {
    std::vector<std::uint32_t> pixels = DrawWindowIcon();
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), kWindowIconSize, kWindowIconSize, 32,
                                                           kWindowIconSize * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!icon) return;                // a window without its icon still plays
    SDL_SetWindowIcon(window, icon);  // copied by SDL
    SDL_FreeSurface(icon);
}

// Floor division, so that positions left of or above the picture stay negative.
int FloorDiv(long long a, long long b) {
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return static_cast<int>(q);
}

// A surface's pixels for the scaler (32-bit surfaces only).
PixelPlane PlaneOf(SDL_Surface* surface) {
    return PixelPlane{static_cast<std::uint32_t*>(surface->pixels), surface->pitch, surface->w, surface->h};
}

// Largest 4:3 rectangle that fits under `top` in a w x h window, centred.
SDL_Rect FitPicture(int w, int h, int top) {
    int area_h = std::max(1, h - top);
    w = std::max(1, w);
    int pw = w, ph = static_cast<int>(static_cast<long long>(w) * kGameHeight / kGameWidth);
    if (ph > area_h) {
        ph = area_h;
        pw = static_cast<int>(static_cast<long long>(area_h) * kGameWidth / kGameHeight);
    }
    return SDL_Rect{(w - pw) / 2, top + (area_h - ph) / 2, pw, ph};
}

}  // namespace

SdlWindow::SdlWindow(const std::string& title_utf8, bool hidden) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
        throw std::runtime_error(std::string("SDL video: ") + SDL_GetError());
    RequireADisplay();
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // The window's pixels are our own buffer sent to the display server as they change, not a
    // texture redrawn by a GPU renderer behind SDL's back.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Made hidden and shown once it has its icon, so that the desktop never shows it without one.
    window_ = SDL_CreateWindow(title_utf8.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kGameWidth,
                               kGameHeight, SDL_WINDOW_HIDDEN);
    if (window_) SetIcon(window_);
    if (window_ && !hidden) SDL_ShowWindow(window_);
    if (window_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_) picture_ = SDL_CreateRGBSurfaceWithFormat(0, kGameWidth, kGameHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!picture_) {
        std::string error = SDL_GetError();
        Close();
        throw std::runtime_error("SDL window: " + error);
    }
    // The picture starts black, like a cleared screen, until the game presents its first frame.
    SDL_FillRect(picture_, nullptr, 0xFF000000u);
    changed_.reserve(kMostPending + 1);
    shown_.reserve(kMostPending + 1);
    // Typed text is asked for only while an edit box of a dialog has focus (the modal layer
    // turns it on); otherwise the input method would take Return and Space from the game.
    SDL_StopTextInput();
    deadline_ = std::chrono::steady_clock::now();
}

SdlWindow::~SdlWindow() { Close(); }

void SdlWindow::Close() {
    if (closed_) return;
    closed_ = true;
    if (staging_) SDL_FreeSurface(staging_);
    if (picture_) SDL_FreeSurface(picture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    staging_ = picture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

void SdlWindow::SetOverlay(Overlay* overlay) {
    overlay_ = overlay;
    overlay_unseen_downs_.reset();
    overlay_later_.clear();
    FitWindowToPicture();
}

int SdlWindow::TopInset() const {
    // In full screen the menu bar lies over the picture's top edge instead of above it.
    if (full_screen_ || !menu_bar_shown_ || !overlay_) return 0;
    return overlay_->MenuBarHeight();
}

void SdlWindow::FitWindowToPicture() {
    if (!full_screen_) SDL_SetWindowSize(window_, kGameWidth, kGameHeight + TopInset());
    needs_redraw_ = true;
}

SDL_Rect SdlWindow::PictureRect() const {
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    return FitPicture(w, h, TopInset());
}

void SdlWindow::Present(const std::uint32_t* pixels, int pitch, std::span<const Rect> rects) {
    const Rect whole{0, 0, kGameWidth, kGameHeight};
    for (const Rect& rect : rects) {
        // A one-to-one copy into our own picture (clipped to it; any row order).
        const Rect r = scaler_.Scale(pixels, pitch, PlaneOf(picture_), whole, rect);
        if (r.empty()) continue;
        if (changed_.size() >= kMostPending) {
            Rect all = r;
            for (const Rect& c : changed_) all = Bounds(all, c);
            changed_.assign(1, all);
        } else {
            changed_.push_back(r);
        }
    }
}

Rect SdlWindow::DrawPicture(SDL_Surface* target, const Rect& changed) {
    const SDL_Rect fit = FitPicture(target->w, target->h, TopInset());
    const Rect area{fit.x, fit.y, fit.x + fit.w, fit.y + fit.h};
    const auto* picture = static_cast<const std::uint32_t*>(picture_->pixels);
    const Uint32 format = target->format->format;
    if (format == SDL_PIXELFORMAT_ARGB8888 || format == SDL_PIXELFORMAT_RGB888) {  // the usual window
        if (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0) return Rect{};
        Rect written = scaler_.Scale(picture, picture_->pitch, PlaneOf(target), area, changed);
        if (SDL_MUSTLOCK(target)) SDL_UnlockSurface(target);
        return written;
    }
    // Any other window format: scaled into 32-bit pixels first, then converted by SDL.
    if (!staging_ || staging_->w != target->w || staging_->h != target->h) {
        if (staging_) SDL_FreeSurface(staging_);
        staging_ = SDL_CreateRGBSurfaceWithFormat(0, target->w, target->h, 32, SDL_PIXELFORMAT_ARGB8888);
        if (!staging_) return Rect{};
        SDL_SetSurfaceBlendMode(staging_, SDL_BLENDMODE_NONE);
    }
    Rect written = scaler_.Scale(picture, picture_->pitch, PlaneOf(staging_), area, changed);
    SDL_Rect r{written.left, written.top, written.width(), written.height()};
    if (!written.empty()) SDL_BlitSurface(staging_, &r, target, &r);
    return written;
}

void SdlWindow::Redraw() {
    SDL_Surface* target = SDL_GetWindowSurface(window_);
    if (!target) return;
    SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
    DrawPicture(target, Rect{0, 0, kGameWidth, kGameHeight});
    // Cleared before the overlay runs: what its actions present belongs to the next frame.
    changed_.clear();
    needs_redraw_ = false;
    if (overlay_) {
        overlay_->Draw();
        SDL_RenderFlush(renderer_);
        // The overlay has drawn its frame with the tapped keys down: now they may go up.
        overlay_unseen_downs_.reset();
        std::vector<SDL_Event> later;
        later.swap(overlay_later_);
        for (const SDL_Event& event : later) overlay_->HandleEvent(event);
        if (!later.empty()) needs_redraw_ = true;
    }
    SDL_UpdateWindowSurface(window_);
}

void SdlWindow::ShowPending() {
    if (needs_redraw_ || (overlay_ && overlay_->Animating())) {
        Redraw();
        return;
    }
    if (changed_.empty()) return;
    SDL_Surface* target = SDL_GetWindowSurface(window_);
    if (!target) return;
    // The menu bar shown over the top of the full screen must stay above what changed under it.
    const int covered_bottom = overlay_ && full_screen_ && menu_bar_shown_ ? overlay_->MenuBarHeight() : 0;
    bool under_menu_bar = false;
    shown_.clear();
    for (const Rect& rect : changed_) {
        Rect r = DrawPicture(target, rect);
        if (r.empty()) continue;
        under_menu_bar |= r.top < covered_bottom;
        shown_.push_back(SDL_Rect{r.left, r.top, r.width(), r.height()});
    }
    changed_.clear();
    if (under_menu_bar)
        Redraw();
    else if (!shown_.empty())
        SDL_UpdateWindowSurfaceRects(window_, shown_.data(), static_cast<int>(shown_.size()));
}

bool SdlWindow::SetFullScreen(bool on) {
    if (on == full_screen_) return true;
    // Back from the full screen the window stands where it stood before: not every desktop
    // gives the place back, and the window is taller with its menu bar than when it was placed,
    // so centring it again would move it.
    if (on) SDL_GetWindowPosition(window_, &windowed_at_.x, &windowed_at_.y);
    if (SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) return false;
    full_screen_ = on;
    if (!on) {
        FitWindowToPicture();
        SDL_SetWindowPosition(window_, windowed_at_.x, windowed_at_.y);
    }
    needs_redraw_ = true;
    return true;
}

std::vector<DisplayMode> SdlWindow::DisplayModes() const {
    std::vector<DisplayMode> modes;
    int display = std::max(0, SDL_GetWindowDisplayIndex(window_));
    int count = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(display, i, &mode) != 0) continue;
        modes.push_back({mode.w, mode.h, static_cast<int>(SDL_BITSPERPIXEL(mode.format)), mode.refresh_rate});
    }
    // Full screen is the desktop with the picture scaled to fit, so the game size can always be
    // shown at the desktop's depth and rate, whether or not the display lists such a mode.
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(display, &desktop) == 0) {
        DisplayMode game{kGameWidth, kGameHeight, static_cast<int>(SDL_BITSPERPIXEL(desktop.format)),
                         desktop.refresh_rate};
        if (std::find(modes.begin(), modes.end(), game) == modes.end()) modes.push_back(game);
    }
    return modes;
}

int SdlWindow::RefreshRate() const {
    SDL_DisplayMode mode;
    int display = std::max(0, SDL_GetWindowDisplayIndex(window_));
    if (SDL_GetCurrentDisplayMode(display, &mode) != 0) return 0;
    return mode.refresh_rate;
}

void SdlWindow::ShowMenuBar(bool shown) {
    if (shown == menu_bar_shown_) return;
    menu_bar_shown_ = shown;
    FitWindowToPicture();
}

void SdlWindow::PumpEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) HandleEvent(event);
}

void SdlWindow::HandleEvent(const SDL_Event& event) {
    // Tracked state follows every event, whoever it belongs to, so no key is left stuck down.
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (std::uint8_t code = ScanCodeFromSdl(event.key.keysym.scancode))
                keys_[code] = event.type == SDL_KEYDOWN ? 0x80 : 0;
            break;
        case SDL_MOUSEMOTION:
            mouse_x_ = event.motion.x;
            mouse_y_ = event.motion.y;
            dx_ += event.motion.xrel;
            dy_ += event.motion.yrel;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const int index = ButtonIndex(event.button.button);
            if (index >= 0) buttons_[index] = event.type == SDL_MOUSEBUTTONDOWN;
            mouse_x_ = event.button.x;
            mouse_y_ = event.button.y;
            break;
        }
        default: break;
    }
    bool overlay_only = false;
    if (overlay_) {
        const bool key = event.type == SDL_KEYDOWN || event.type == SDL_KEYUP;
        const std::size_t scancode = key ? static_cast<std::size_t>(event.key.keysym.scancode) : 0;
        const bool tracked = key && scancode < overlay_unseen_downs_.size();
        if (tracked && event.type == SDL_KEYUP && overlay_unseen_downs_.test(scancode))
            overlay_later_.push_back(event);
        else
            overlay_only = overlay_->HandleEvent(event);
        if (tracked && event.type == SDL_KEYDOWN) overlay_unseen_downs_.set(scancode);
    }
    if (overlay_) needs_redraw_ |= event.type != SDL_WINDOWEVENT || overlay_->Animating();
    // A key that went down for the overlay (the Return that answers a box, the Return of an
    // Alt+Return accelerator) stays the overlay's until it is let go: still held when the box has
    // closed, the game would read it as a press of its own and turn the page.
    if ((event.type == SDL_KEYDOWN && !event.key.repeat) || event.type == SDL_KEYUP)
        if (std::uint8_t code = ScanCodeFromSdl(event.key.keysym.scancode)) {
            overlay_keys_[code] = event.type == SDL_KEYDOWN && overlay_only;
            if (event.type == SDL_KEYUP)
                key_latch_.WentUp(code);
            else if (!overlay_only)
                key_latch_.WentDown(code);
        }
    if (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP)
        if (const int index = ButtonIndex(event.button.button); index >= 0) {
            if (event.type == SDL_MOUSEBUTTONUP) {
                button_latch_.WentUp(static_cast<std::size_t>(index));
            } else if (!overlay_only) {
                button_latch_.WentDown(static_cast<std::size_t>(index));
                if (!press_since_read_) press_since_read_ = SDL_Point{event.button.x, event.button.y};
            }
        }

    switch (event.type) {
        case SDL_WINDOWEVENT:
            switch (event.window.event) {
                case SDL_WINDOWEVENT_FOCUS_GAINED:
                    focused_ = true;
                    queue_.push_back({kMsgActivateApp, 1, 0, {}});
                    queue_.push_back({kMsgActivate, 1, 0, {}});
                    break;
                case SDL_WINDOWEVENT_FOCUS_LOST:
                    focused_ = false;
                    std::fill(std::begin(keys_), std::end(keys_), 0);
                    std::fill(std::begin(overlay_keys_), std::end(overlay_keys_), false);
                    std::fill(std::begin(buttons_), std::end(buttons_), false);
                    key_latch_.Clear();
                    button_latch_.Clear();
                    queue_.push_back({kMsgActivate, 0, 0, {}});
                    queue_.push_back({kMsgActivateApp, 0, 0, {}});
                    break;
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    needs_redraw_ = true;
                    queue_.push_back({kMsgPaint, 0, 0, Rect{0, 0, kGameWidth, kGameHeight}});
                    break;
                case SDL_WINDOWEVENT_CLOSE:
                    if (!overlay_only) queue_.push_back({kMsgClose, 0, 0, {}});
                    break;
                default: break;
            }
            break;
        case SDL_QUIT:
            // A signal or the session asking the program to end: not the close box, and not
            // the overlay's alone either (it answers its open box or dialog and lets this pass).
            if (queue_.empty() || queue_.back().message != kMsgQuit) queue_.push_back({kMsgQuit, 0, 0, {}});
            break;
        case SDL_TEXTINPUT: {
            if (overlay_only) break;
            for (char16_t unit : Utf8ToUtf16(event.text.text)) queue_.push_back({kMsgChar, unit, 1, {}});
            break;
        }
        case SDL_KEYDOWN:
            if (!overlay_only) {
                if (std::uint16_t c = ControlCharacter(event.key.keysym.sym))
                    if (!(event.key.keysym.mod & (KMOD_ALT | KMOD_CTRL))) queue_.push_back({kMsgChar, c, 1, {}});
            }
            break;
        case SDL_MOUSEMOTION: {
            // Over the menu bar shown at the top of the full screen the pointer is off the
            // picture, as over a window's menu bar: the game hears nothing of it.
            bool over_menu = full_screen_ && menu_bar_shown_ && overlay_ &&
                             (event.motion.y < overlay_->MenuBarHeight() || overlay_->CapturesMouse());
            if (!overlay_only && !over_menu)
                queue_.push_back(
                    {kMsgMouseMove,
                     0,
                     static_cast<std::intptr_t>((event.motion.x & 0xFFFF) | ((event.motion.y & 0xFFFF) << 16)),
                     {}});
            break;
        }
        case SDL_MOUSEWHEEL:
            if (!overlay_only) {
                int delta = event.wheel.y * 120;
                if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
                dz_ += delta;
                queue_.push_back({kMsgMouseWheel, static_cast<std::uintptr_t>((delta & 0xFFFF) << 16), 0, {}});
            }
            break;
        default: break;
    }
}

bool SdlWindow::PeekMessage(WindowMessage& out) {
    if (queue_.empty()) PumpEvents();
    if (queue_.empty()) return false;
    out = queue_.front();
    queue_.pop_front();
    return true;
}

void SdlWindow::WaitMessage() {
    if (!queue_.empty()) return;
    // Shows what is pending first, so the inactive window still looks right while it sleeps.
    ShowPending();
    SDL_WaitEventTimeout(nullptr, 500);
}

bool SdlWindow::ReadKeyboard(std::uint8_t (&keys)[256]) {
    if (!focused_) return false;
    if (overlay_ && overlay_->CapturesKeyboard()) {
        std::fill(std::begin(keys), std::end(keys), 0);
        key_latch_.Clear();
        return true;
    }
    for (std::size_t i = 0; i < std::size(keys); ++i)
        keys[i] = key_latch_.Read(i, keys_[i] && !overlay_keys_[i]) ? 0x80 : 0;
    return true;
}

bool SdlWindow::ReadMouse(MouseReading& out) {
    if (!focused_) return false;
    bool captured = overlay_ && overlay_->CapturesMouse();
    if (captured) button_latch_.Clear();
    for (std::size_t i = 0; i < 3; ++i) out.buttons[i] = !captured && button_latch_.Read(i, buttons_[i]);
    // The press this read reports is placed where it happened, not where the pointer went after.
    press_read_ = captured ? std::nullopt : press_since_read_;
    press_since_read_.reset();
    out.dx = dx_;
    out.dy = dy_;
    out.dz = captured ? 0 : dz_;
    dx_ = dy_ = dz_ = 0;
    return true;
}

void SdlWindow::CursorPosition(int& x, int& y) const {
    SDL_Rect r = PictureRect();
    const SDL_Point at = press_read_.value_or(SDL_Point{mouse_x_, mouse_y_});
    x = FloorDiv(static_cast<long long>(at.x - r.x) * kGameWidth, std::max(1, r.w));
    y = FloorDiv(static_cast<long long>(at.y - r.y) * kGameHeight, std::max(1, r.h));
}

void SdlWindow::SleepToDeadline() {
    auto now = std::chrono::steady_clock::now();
    deadline_ += kFramePeriod;
    // After a long stall (a modal dialog, a slow load) start afresh instead of racing to catch up.
    if (deadline_ < now - kFramePeriod) deadline_ = now;
    if (deadline_ > now) std::this_thread::sleep_until(deadline_);
}

void SdlWindow::PaceFrame() {
    ShowPending();
    SleepToDeadline();
}

}  // namespace host
