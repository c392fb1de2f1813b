// The description of PCM sound that sound buffers are made with, and the results and status
// bits of the audio layer, numbered as the engine's sound code expects them.
#pragma once

#include <cstdint>

namespace host {

// Result of an audio-layer call: 0 on success, a negative code on failure.
using AudioResult = std::int32_t;

inline constexpr AudioResult kAudioOk = 0;
inline constexpr AudioResult kAudioFailed = static_cast<AudioResult>(0x80004005u);
inline constexpr AudioResult kAudioOutOfMemory = static_cast<AudioResult>(0x8007000Eu);
inline constexpr AudioResult kAudioInvalidParam = static_cast<AudioResult>(0x80070057u);
inline constexpr AudioResult kAudioBadFormat = static_cast<AudioResult>(0x88780064u);
inline constexpr AudioResult kAudioInvalidCall = static_cast<AudioResult>(0x88780032u);
inline constexpr AudioResult kAudioBufferLost = static_cast<AudioResult>(0x88780096u);

// Status bits of a sound buffer.
inline constexpr std::uint32_t kBufferPlaying = 0x1;
inline constexpr std::uint32_t kBufferLost = 0x2;
inline constexpr std::uint32_t kBufferLooping = 0x4;

// Volume and pan are in hundredths of a decibel.
inline constexpr std::int32_t kVolumeMin = -10000;
inline constexpr std::int32_t kVolumeMax = 0;
inline constexpr std::int32_t kPanLeft = -10000;
inline constexpr std::int32_t kPanRight = 10000;
// Playback rates a buffer accepts, in frames per second.
inline constexpr std::uint32_t kFrequencyMin = 100;
inline constexpr std::uint32_t kFrequencyMax = 200000;

inline constexpr std::uint16_t kWaveFormatPcm = 1;

// The fields of a RIFF "fmt " chunk, in the chunk's order.
struct WaveFormat {
    std::uint16_t format_tag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samples_per_sec = 0;
    std::uint32_t avg_bytes_per_sec = 0;
    std::uint16_t block_align = 0;
    std::uint16_t bits_per_sample = 0;
    std::uint16_t extra_size = 0;
};

// A buffer can be made for integer PCM of 8 or 16 bits, mono or stereo, at a rate in range,
// whose block align matches.
inline bool IsPlayableFormat(const WaveFormat& f) {
    return f.format_tag == kWaveFormatPcm && (f.channels == 1 || f.channels == 2) &&
           (f.bits_per_sample == 8 || f.bits_per_sample == 16) && f.block_align == f.channels * f.bits_per_sample / 8 &&
           f.samples_per_sec >= kFrequencyMin && f.samples_per_sec <= kFrequencyMax;
}

// The byte that silent samples are made of: 8-bit samples are centred on 128.
inline std::uint8_t SilenceByte(const WaveFormat& f) { return f.bits_per_sample == 8 ? 0x80 : 0; }

}  // namespace host
