#include "x_client.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <thread>

namespace progtest {
namespace {

// The watched program may end, and its window go, between two requests about it: such an error
// must not end the watcher (Xlib's own handler exits). Each request reports its failure instead.
int IgnoreError(Display*, XErrorEvent*) { return 0; }

// One property of a window as bytes; empty when the window or the property is not there.
std::vector<unsigned char> Property(Display* display, Window window, Atom name, Atom type) {
    Atom actual_type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, name, 0, 1024, False, type, &actual_type, &format, &count, &after, &data) !=
            Success ||
        !data)
        return {};
    std::vector<unsigned char> bytes;
    // Format 32 comes as longs whatever the size of a long; only the first one is read from it.
    if (actual_type == type && format == 8) bytes.assign(data, data + count);
    if (actual_type == type && format == 32 && count >= 1) {
        const unsigned long first = *reinterpret_cast<unsigned long*>(data);
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(first >> (8 * i)));
    }
    XFree(data);
    return bytes;
}

// The mapped top-level window that `match` accepts, the one on top when several do; 0 for none.
WindowId FindMapped(Display* display, const std::function<bool(Window)>& match) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return 0;
    WindowId found = 0;
    // Children come bottom to top: the last match is the one on top.
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes) || attributes.map_state != IsViewable) continue;
        if (match(children[i])) found = children[i];
    }
    if (children) XFree(children);
    return found;
}

// The X server resets itself when its last client goes (xvfb-run starts it so) and refuses
// connections while it does: right after one test's client and program have gone, the next test's
// first try can fail, the more often the more loaded the machine. A server that is not there at
// all still fails within seconds.
Display* OpenDisplay() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        if (Display* display = XOpenDisplay(nullptr)) return display;
        if (std::chrono::steady_clock::now() >= deadline) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace

struct XClient::Connection {
    Connection() : display(OpenDisplay()), previous(XSetErrorHandler(IgnoreError)) {}
    ~Connection() {
        if (display) XCloseDisplay(display);
        XSetErrorHandler(previous);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Display* display;
    XErrorHandler previous;
};

XClient::XClient() : connection_(std::make_unique<Connection>()), display_(connection_->display) {
    if (!display_) throw std::runtime_error("no X server (DISPLAY is not set or cannot be reached)");
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event_base, &error_base, &major, &minor))
        throw std::runtime_error("the X server has no XTEST extension");
}

XClient::~XClient() = default;

Box XClient::Screen() const {
    const int screen = DefaultScreen(display_);
    return Box{0, 0, DisplayWidth(display_, screen), DisplayHeight(display_, screen)};
}

WindowId XClient::FindWindow(pid_t pid) const {
    const Atom pid_atom = XInternAtom(display_, "_NET_WM_PID", False);
    return FindMapped(display_, [&](Window window) {
        const std::vector<unsigned char> owner = Property(display_, window, pid_atom, XA_CARDINAL);
        return owner.size() == 4 &&
               static_cast<pid_t>(owner[0] | owner[1] << 8 | owner[2] << 16 | owner[3] << 24) == pid;
    });
}

WindowId XClient::FindWindowTitled(const std::string& title) const {
    return FindMapped(display_, [&](Window window) { return Title(window) == title; });
}

Icon XClient::WindowIcon(WindowId window) const {
    Atom actual_type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Icon icon;
    if (XGetWindowProperty(display_, window, XInternAtom(display_, "_NET_WM_ICON", False), 0, 1 << 20, False,
                           XA_CARDINAL, &actual_type, &format, &count, &after, &data) != Success ||
        !data)
        return icon;
    // Width, height and the pixels, each in a long of its own whatever the size of a long.
    const auto* values = reinterpret_cast<const unsigned long*>(data);
    if (actual_type == XA_CARDINAL && format == 32 && count >= 2 && values[0] * values[1] <= count - 2) {
        icon.width = static_cast<int>(values[0]);
        icon.height = static_cast<int>(values[1]);
        for (unsigned long i = 0; i < values[0] * values[1]; ++i)
            icon.argb.push_back(static_cast<std::uint32_t>(values[2 + i]));
    }
    XFree(data);
    return icon;
}

std::string XClient::Title(WindowId window) const {
    const std::vector<unsigned char> title = Property(display_, window, XInternAtom(display_, "_NET_WM_NAME", False),
                                                      XInternAtom(display_, "UTF8_STRING", False));
    return std::string(title.begin(), title.end());
}

Box XClient::Geometry(WindowId window) const {
    XWindowAttributes attributes;
    XSync(display_, False);
    if (!XGetWindowAttributes(display_, window, &attributes)) return {};
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child)) return {};
    return Box{x, y, attributes.width, attributes.height};
}

Pixels XClient::Grab(const Box& box) const {
    // The root window is always there and always viewable, so reading it never fails the way
    // reading a window that is going away does.
    const Box screen = Screen();
    const int left = std::max(box.x, 0), top = std::max(box.y, 0);
    const int right = std::min(box.x + box.width, screen.width), bottom = std::min(box.y + box.height, screen.height);
    if (right <= left || bottom <= top) return {};
    XSync(display_, False);
    XImage* image = XGetImage(display_, DefaultRootWindow(display_), left, top, static_cast<unsigned>(right - left),
                              static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
    if (!image) return {};
    Pixels pixels{right - left, bottom - top, {}};
    pixels.rgb.reserve(static_cast<std::size_t>(pixels.width) * pixels.height);
    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x)
            pixels.rgb.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF));
    XDestroyImage(image);
    return pixels;
}

void XClient::Focus(WindowId window) {
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
}

void XClient::SendKey(unsigned long keysym, bool down) {
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    if (code == 0) throw std::runtime_error("the X server's keyboard has no key for keysym " + std::to_string(keysym));
    XTestFakeKeyEvent(display_, code, down ? True : False, CurrentTime);
    XSync(display_, False);
}

void XClient::Press(std::initializer_list<unsigned long> keysyms) {
    for (unsigned long keysym : keysyms) SendKey(keysym, true);
}

void XClient::Release(std::initializer_list<unsigned long> keysyms) {
    for (auto it = std::rbegin(keysyms); it != std::rend(keysyms); ++it) SendKey(*it, false);
}

void XClient::Tap(std::initializer_list<unsigned long> keysyms) {
    Press(keysyms);
    Release(keysyms);
}

void XClient::MovePointer(int x, int y) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    XSync(display_, False);
}

void XClient::PressButton(Button button) {
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    XSync(display_, False);
}

void XClient::ReleaseButton(Button button) {
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    XSync(display_, False);
}

void XClient::PressPointer(bool down) {
    if (down)
        PressButton(kButtonLeft);
    else
        ReleaseButton(kButtonLeft);
}

void XClient::Click(int x, int y) {
    MovePointer(x, y);
    PressPointer(true);
    // Down over a frame of the program or two before it comes up.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    PressPointer(false);
}

void XClient::TapPointer() {
    PressPointer(true);
    PressPointer(false);
}

void XClient::RequestClose(WindowId window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    XSync(display_, False);
}

struct StandInWindowManager::Loop {
    Loop() : display(OpenDisplay()), previous(XSetErrorHandler(IgnoreError)) {
        if (!display) {
            XSetErrorHandler(previous);
            throw std::runtime_error("no X server (DISPLAY is not set or cannot be reached)");
        }
        state = XInternAtom(display, "_NET_WM_STATE", False);
        full_screen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
        // Map and configure requests of the top-level windows come to us from now on.
        XSelectInput(display, DefaultRootWindow(display), SubstructureRedirectMask | SubstructureNotifyMask);
        XSync(display, False);
        thread = std::thread([this] { Run(); });
    }
    ~Loop() {
        stop = true;
        thread.join();
        XCloseDisplay(display);
        XSetErrorHandler(previous);
    }
    Loop(const Loop&) = delete;
    Loop& operator=(const Loop&) = delete;

    void Run() {
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        while (!stop) {
            while (XPending(display)) {
                XEvent event;
                XNextEvent(display, &event);
                Handle(event);
            }
            XFlush(display);
            ::poll(&connection, 1, 20);
        }
    }

    void Handle(const XEvent& event) {
        switch (event.type) {
            case MapRequest: XMapWindow(display, event.xmaprequest.window); break;
            case ConfigureRequest: {
                const XConfigureRequestEvent& request = event.xconfigurerequest;
                XWindowChanges changes{
                    request.x,     request.y,     request.width, request.height, request.border_width,
                    request.above, request.detail};
                XConfigureWindow(display, request.window, static_cast<unsigned>(request.value_mask), &changes);
                break;
            }
            case ClientMessage: {
                const XClientMessageEvent& message = event.xclient;
                if (message.message_type != state || message.format != 32) break;
                if (static_cast<Atom>(message.data.l[1]) != full_screen &&
                    static_cast<Atom>(message.data.l[2]) != full_screen)
                    break;
                // 0 removes the state, 1 adds it, 2 toggles it (EWMH).
                const bool on = message.data.l[0] == 1 || (message.data.l[0] == 2 && !saved);
                SetFullScreen(message.window, on);
                break;
            }
            default: break;
        }
    }

    void SetFullScreen(Window window, bool on) {
        if (on && !saved) {
            XWindowAttributes attributes;
            if (!XGetWindowAttributes(display, window, &attributes)) return;
            saved = Box{attributes.x, attributes.y, attributes.width, attributes.height};
            const int screen = DefaultScreen(display);
            XMoveResizeWindow(display, window, 0, 0, static_cast<unsigned>(DisplayWidth(display, screen)),
                              static_cast<unsigned>(DisplayHeight(display, screen)));
            XChangeProperty(display, window, state, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&full_screen), 1);
        } else if (!on && saved) {
            XMoveResizeWindow(display, window, saved->x, saved->y, static_cast<unsigned>(saved->width),
                              static_cast<unsigned>(saved->height));
            XDeleteProperty(display, window, state);
            saved.reset();
        }
    }

    Display* display;
    XErrorHandler previous;
    Atom state = 0, full_screen = 0;
    std::optional<Box> saved;  // where the full-screen window was before
    std::atomic<bool> stop{false};
    std::thread thread;
};

StandInWindowManager::StandInWindowManager() : loop_(std::make_unique<Loop>()) {}

StandInWindowManager::~StandInWindowManager() = default;

}  // namespace progtest
