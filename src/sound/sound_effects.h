// The 128 sound-effect slots: short sounds held whole in static buffers, loaded from RIFF WAVE
// images and kept alive by the worker when the device loses its buffers.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "host/audio/mixer.h"

inline constexpr int kSoundEffectSlotCount = 128;

struct SoundEffectSlot {
    std::vector<std::uint8_t> image;  // a private copy of the whole WAVE image
    std::uint32_t image_size = 0;
    std::unique_ptr<host::SoundBuffer> buffer;
};

void ClearSoundEffectSlots();
const SoundEffectSlot& GetSoundEffectSlot(int slot);

// Finds the asked parts of a RIFF WAVE image (null outputs are not asked for): the "fmt "
// chunk's format and the "data" chunk. 1 on success; 0 (with a debugger message) when the
// image is not a WAVE or a chunk does not fit inside both the image and the RIFF size. A format
// chunk of 14 or 15 bytes (the old record without a sample size) gives the sample size as the
// block align's share of one channel.
int ParseWaveImage(std::span<const std::uint8_t> image, host::WaveFormat* format, const std::uint8_t** data,
                   std::uint32_t* data_size);
std::unique_ptr<host::SoundBuffer> CreateStaticSoundBuffer(host::Mixer& mixer, std::span<const std::uint8_t> image);
int FillSoundBuffer(std::uint32_t data_size, host::SoundBuffer& buffer, const std::uint8_t* data);
// Restores and refills every lost slot buffer; runs under the sound lock.
void RestoreLostSoundBuffers();
// Releases every slot's buffer and image.
void FreeSoundEffectSlots();
