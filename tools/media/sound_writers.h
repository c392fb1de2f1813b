// Sounds in the formats the engine reads: Ogg Vorbis through libvorbisenc and RIFF WAVE. Used
// by the sample-game builder, the tests and the benchmarks.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace media {

// Ogg Vorbis of interleaved samples in [-1, 1] (clamped), variable bit rate at the given quality
// (-0.1 .. 1.0). The stream's serial number is fixed, so the same samples give the same bytes.
std::vector<std::uint8_t> EncodeOggVorbis(std::span<const float> interleaved, int rate, int channels, float quality);
// The same from 16-bit samples (scaled by 1/32768).
std::vector<std::uint8_t> EncodeOggVorbis(std::span<const std::int16_t> interleaved, int rate, int channels,
                                          float quality);

// A RIFF WAVE of PCM bytes with an optional "LIST" chunk before "data".
std::vector<std::uint8_t> MakeWave(std::span<const std::uint8_t> pcm, int rate, int channels, int bits,
                                   std::span<const std::uint8_t> listChunk = {});

}  // namespace media
