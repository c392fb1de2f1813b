#include "host/video/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace host {
namespace {

class SteadyClock final : public Clock {
public:
    std::uint32_t Milliseconds() override {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Now().time_since_epoch()).count();
        return static_cast<std::uint32_t>(ms);
    }
    std::uint64_t Counter() override {
        return static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(Now().time_since_epoch()).count());
    }
    std::uint64_t CounterFrequency() override { return 1'000'000'000; }
    void SleepMs(std::uint32_t ms) override {
        if (ms == 0)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

private:
    static std::chrono::steady_clock::time_point Now() { return std::chrono::steady_clock::now(); }
};

std::atomic<Clock*> g_clock{nullptr};

}  // namespace

Clock& SystemClock() {
    static SteadyClock clock;
    return clock;
}

Clock* SetClock(Clock* clock) { return g_clock.exchange(clock); }

Clock& CurrentClock() {
    Clock* clock = g_clock.load();
    return clock ? *clock : SystemClock();
}

}  // namespace host
