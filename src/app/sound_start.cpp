#include "app/sound_start.h"

#include <algorithm>
#include <stdexcept>

#include "app/settings.h"
#include "sound/sound.h"

std::uint32_t SoundSampleRate(std::int32_t sound_freq) {
    constexpr std::uint32_t kRates[] = {44100, 22050, 11025};
    return sound_freq >= 0 && sound_freq < 3 ? kRates[sound_freq] : kRates[0];
}

std::uint32_t StreamSegmentUnits(std::int32_t stream_size) {
    constexpr std::int32_t kDefaultUnits = 4, kMaxUnits = 64;
    return static_cast<std::uint32_t>(stream_size <= 0 ? kDefaultUnits : std::min(stream_size, kMaxUnits));
}

ScopedSound::ScopedSound(std::unique_ptr<host::AudioDevice> device) {
    StreamBufferUnit = StreamSegmentUnits(StreamSize);
    SoundParams params;
    params.enabled = CommandOptions.sound_enable;
    params.sample_rate = SoundSampleRate(SoundFreq);
    params.high_priority = SoundPriority > 0;
    if (InitSound(&params, std::move(device)) != 0) throw std::runtime_error("the sound could not start");
}

ScopedSound::~ScopedSound() { TermSound(); }
