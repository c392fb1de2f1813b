// Decoded sound (one float array per channel, full scale at +-1) as interleaved 16-bit PCM.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes `frames` frames of `channel_count` channels to `out`: each sample times 32768, rounded
// to nearest (ties to even) and clipped, which is what the decoder library's own 16-bit read
// gives for every sample a stream can hold.
void InterleavePcm16(const float* const* channels, int channel_count, std::size_t frames, std::uint8_t* out);
