#include "present_watch.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace framebench {
namespace {

// The watched window goes when the game ends; an error about it must not end the watcher.
int IgnoreError(Display*, XErrorEvent*) { return 0; }

}  // namespace

struct PresentWatch::Loop {
    explicit Loop(progtest::WindowId window) : display(XOpenDisplay(nullptr)) {
        if (!display) throw std::runtime_error("no X server (DISPLAY is not set or cannot be reached)");
        XSetErrorHandler(IgnoreError);
        int error_base = 0;
        if (!XDamageQueryExtension(display, &event_base, &error_base)) {
            XCloseDisplay(display);
            throw std::runtime_error("the X server has no Damage extension");
        }
        // Raw rectangles: one event for every rectangle drawn, nothing to acknowledge, so the
        // watcher never holds the server up.
        damage = XDamageCreate(display, window, XDamageReportRawRectangles);
        XSync(display, False);
        thread = std::thread([this] { Run(); });
    }
    ~Loop() {
        stop = true;
        thread.join();
        XDamageDestroy(display, damage);
        XCloseDisplay(display);
    }
    Loop(const Loop&) = delete;
    Loop& operator=(const Loop&) = delete;

    void Run() {
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        while (!stop) {
            while (XPending(display)) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type == event_base + XDamageNotify) Add(reinterpret_cast<const XDamageNotifyEvent&>(event));
            }
            ::poll(&connection, 1, 20);
        }
    }

    // Stamped when read: the events of a present come in one read, long before the next one.
    void Add(const XDamageNotifyEvent& event) {
        const Clock::time_point now = Clock::now();
        const progtest::Box box{event.area.x, event.area.y, event.area.width, event.area.height};
        const std::lock_guard lock(mutex);
        if (!presents.empty() &&
            std::chrono::duration<double, std::milli>(now - last_report).count() <= kPresentGapMs) {
            Present& p = presents.back();
            const int right = std::max(p.bounds.x + p.bounds.width, box.x + box.width);
            const int bottom = std::max(p.bounds.y + p.bounds.height, box.y + box.height);
            p.bounds.x = std::min(p.bounds.x, box.x);
            p.bounds.y = std::min(p.bounds.y, box.y);
            p.bounds.width = right - p.bounds.x;
            p.bounds.height = bottom - p.bounds.y;
            p.area += static_cast<long>(box.width) * box.height;
        } else {
            presents.push_back({now, box, static_cast<long>(box.width) * box.height});
        }
        last_report = now;
    }

    Display* display;
    int event_base = 0;
    Damage damage = 0;
    mutable std::mutex mutex;
    std::vector<Present> presents;
    Clock::time_point last_report;
    std::atomic<bool> stop{false};
    std::thread thread;
};

PresentWatch::PresentWatch(progtest::WindowId window) : loop_(std::make_unique<Loop>(window)) {}

PresentWatch::~PresentWatch() = default;

std::vector<Present> PresentWatch::Presents() const {
    const std::lock_guard lock(loop_->mutex);
    return loop_->presents;
}

std::vector<Present> PresentWatch::PresentsSince(Clock::time_point since) const {
    const std::lock_guard lock(loop_->mutex);
    const auto first = std::find_if(loop_->presents.begin(), loop_->presents.end(),
                                    [since](const Present& p) { return p.at >= since; });
    return std::vector<Present>(first, loop_->presents.end());
}

}  // namespace framebench
