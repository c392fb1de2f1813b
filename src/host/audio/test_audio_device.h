// An audio device that a test advances by hand: time stands still until Advance, which mixes
// the elapsed output into a capture and runs the periodic tick after every 10 ms.
#pragma once

#include <cstdint>
#include <vector>

#include "host/audio/audio_device.h"

namespace host {

class TestAudioDevice final : public AudioDevice {
public:
    explicit TestAudioDevice(std::uint32_t rate = 44100) : mixer_(rate) {}

    Mixer& GetMixer() override { return mixer_; }
    std::uint32_t NowMilliseconds() override;
    bool SetPeriodicTick(std::function<void()> tick) override;

    // Advances the device by `milliseconds`, in 10 ms steps.
    void Advance(std::uint32_t milliseconds);
    std::uint64_t elapsed_frames() const { return frames_; }

    // Every frame mixed so far (interleaved 16-bit stereo), when capturing.
    const std::vector<std::int16_t>& captured() const { return captured_; }
    void set_capturing(bool on) { capturing_ = on; }
    void ClearCapture() { captured_.clear(); }

private:
    Mixer mixer_;
    std::function<void()> tick_;
    std::uint64_t steps_ = 0;   // 10 ms steps taken
    std::uint64_t frames_ = 0;  // frames mixed
    bool capturing_ = true;
    std::vector<std::int16_t> captured_;
    std::vector<std::int16_t> scratch_;
};

}  // namespace host
