// Sound as the start-up starts it: the stream segment of StreamSize, the sample rate that
// SoundFreq chooses, the worker's priority from SoundPriority, and off with the -S option. Taken
// down again when the scope ends.
#pragma once

#include <cstdint>
#include <memory>

#include "host/audio/audio_device.h"

// SoundFreq 0, 1 and 2 choose 44,100, 22,050 and 11,025 Hz; any other value 44,100 Hz.
std::uint32_t SoundSampleRate(std::int32_t sound_freq);
// The stream segment in eighths of a second that StreamSize gives: 4 for 0 (a segment of nothing
// would starve the streams), at most 64 (eight seconds); the settings file keeps the number.
std::uint32_t StreamSegmentUnits(std::int32_t stream_size);

class ScopedSound {
public:
    // On `device`, or on the default output device when it is null (sound then stays off when
    // none can be opened). Throws std::runtime_error when the sound layer cannot start.
    explicit ScopedSound(std::unique_ptr<host::AudioDevice> device = nullptr);
    ~ScopedSound();
    ScopedSound(const ScopedSound&) = delete;
    ScopedSound& operator=(const ScopedSound&) = delete;
};
