// Process-wide state of the sound subsystem shared by its parts.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "host/audio/audio_device.h"

// The shutdown joins the worker, so a stop request is all the thread needs to be told.
struct SoundThreadBlock {
    std::recursive_mutex lock;  // the sound lock
    std::atomic<bool> stop{false};
    int priority = 0;  // 2 highest, 1 above normal
};

// The device's mixer; null while sound is off.
host::Mixer* GetSoundMixer();
// The device's millisecond clock (0 while sound is off).
std::uint32_t SoundClockMilliseconds();
// One worker tick: restores lost effect buffers and updates the streams, under the lock.
void RunSoundWorkerTick();
