// The sound output device: a mixer whose output reaches the speakers (or a test's hands), and
// the device's own millisecond clock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/audio/mixer.h"

namespace host {

class AudioDevice {
public:
    virtual ~AudioDevice() = default;

    virtual Mixer& GetMixer() = 0;
    // Milliseconds on the device's clock (wraps like a 32-bit tick count).
    virtual std::uint32_t NowMilliseconds() = 0;
    // A device driven by hand runs `tick` after every 10 ms of its own time, in place of a
    // worker thread that sleeps 10 ms between ticks. Returns false when the device runs in real
    // time and the caller must keep its own thread. An empty function removes the tick.
    virtual bool SetPeriodicTick(std::function<void()> tick) = 0;
};

// Opens the default output device for 16-bit stereo at `rate` frames per second and starts it.
// Null when it cannot be opened; `error` then says why.
std::unique_ptr<AudioDevice> OpenSdlAudioDevice(std::uint32_t rate, std::string* error = nullptr);

}  // namespace host
