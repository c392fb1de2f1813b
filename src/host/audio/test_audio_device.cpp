#include "host/audio/test_audio_device.h"

namespace host {

std::uint32_t TestAudioDevice::NowMilliseconds() { return static_cast<std::uint32_t>(steps_ * 10); }

bool TestAudioDevice::SetPeriodicTick(std::function<void()> tick) {
    tick_ = std::move(tick);
    return true;
}

void TestAudioDevice::Advance(std::uint32_t milliseconds) {
    const std::uint64_t rate = mixer_.output_rate();
    for (std::uint32_t done = 0; done < milliseconds; done += 10) {
        ++steps_;
        // Frames up to the end of this step, so that rates not divisible by 100 keep exact time.
        const std::uint64_t target = steps_ * rate / 100;
        const std::size_t frames = static_cast<std::size_t>(target - frames_);
        scratch_.resize(2 * frames);
        mixer_.Mix(scratch_.data(), frames);
        frames_ = target;
        if (capturing_) captured_.insert(captured_.end(), scratch_.begin(), scratch_.end());
        if (tick_) tick_();
    }
}

}  // namespace host
