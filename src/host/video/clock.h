// The program's clocks: a millisecond clock (wrapping at 2^32) and a high-resolution counter.
// The test host installs a clock of its own so that waits and auto-repeat run deterministically.
#pragma once

#include <cstdint>

#include "lib/scope_guard.h"

namespace host {

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t Milliseconds() = 0;
    virtual std::uint64_t Counter() = 0;
    virtual std::uint64_t CounterFrequency() = 0;
    // Sleeps for at least the given time (0: give up the processor).
    virtual void SleepMs(std::uint32_t ms) = 0;
};

// The steady system clock.
Clock& SystemClock();
// Installs a clock (null restores the system clock) and returns the previous one.
Clock* SetClock(Clock* clock);
Clock& CurrentClock();

// Installs a clock for the life of a scope.
using ScopedClock = ScopedInstall<Clock, SetClock>;

}  // namespace host
