// The inner loops that run for every sample played: adding 16-bit stereo frames into the
// mixer's float accumulator, and turning float values into 16-bit samples. Each has a
// plain version and, where the CPU has SSE2 (every x86-64 does), a vector version that computes
// the same values: the same float products and sums in the same order, and the same rounding
// (to nearest, ties to even, as lrint does in the default rounding mode).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace host::mix {

// Adds `frames` interleaved 16-bit stereo frames from `source` into `out` (stereo float pairs),
// scaled by the two gains.
inline void AddStereo16(const std::uint8_t* source, std::size_t frames, float* out, float left_gain, float right_gain) {
    std::size_t k = 0;
#ifdef __SSE2__
    const __m128 gains = _mm_setr_ps(left_gain, right_gain, left_gain, right_gain);
    for (; k + 4 <= frames; k += 4) {
        const __m128i pcm = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * k));
        // Each 16-bit sample into the top half of a 32-bit lane, then shifted down with its sign.
        const __m128 first = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(pcm, pcm), 16));
        const __m128 second = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(pcm, pcm), 16));
        float* o = out + 2 * k;
        _mm_storeu_ps(o, _mm_add_ps(_mm_loadu_ps(o), _mm_mul_ps(first, gains)));
        _mm_storeu_ps(o + 4, _mm_add_ps(_mm_loadu_ps(o + 4), _mm_mul_ps(second, gains)));
    }
#endif
    for (; k < frames; ++k) {
        std::int16_t pcm[2];
        std::memcpy(pcm, source + 4 * k, sizeof pcm);
        out[2 * k] += static_cast<float>(pcm[0]) * left_gain;
        out[2 * k + 1] += static_cast<float>(pcm[1]) * right_gain;
    }
}

// One value in 16-bit units as a sample: clipped to 16 bits and rounded. Adding 1.5 x 2^23 puts
// a value within +-2^22 where one unit is the float's last bit; that bit pattern minus the
// constant's is the value rounded by the hardware, without a library call. The clipping is
// written in the order the vector version's compares take, so that both turn a NaN into -32768.
inline std::int16_t ToSample(float value) {
    const float low = value > -32768.0f ? value : -32768.0f;
    const float clipped = low < 32767.0f ? low : 32767.0f;
    const float shifted = clipped + 12582912.0f;
    std::int32_t bits;
    std::memcpy(&bits, &shifted, sizeof bits);
    return static_cast<std::int16_t>(bits - 0x4B400000);
}

#ifdef __SSE2__
// Eight values in 16-bit units as samples, as ToSample does each.
inline __m128i ToSamples(__m128 first, __m128 second) {
    const __m128 low = _mm_set1_ps(-32768.0f);
    const __m128 high = _mm_set1_ps(32767.0f);
    first = _mm_min_ps(_mm_max_ps(first, low), high);
    second = _mm_min_ps(_mm_max_ps(second, low), high);
    return _mm_packs_epi32(_mm_cvtps_epi32(first), _mm_cvtps_epi32(second));
}
#endif

// Converts `count` accumulated values into output samples.
inline void ToSamples(const float* accumulator, std::size_t count, std::int16_t* out) {
    std::size_t i = 0;
#ifdef __SSE2__
    for (; i + 8 <= count; i += 8) {
        const __m128i samples = ToSamples(_mm_loadu_ps(accumulator + i), _mm_loadu_ps(accumulator + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), samples);
    }
#endif
    for (; i < count; ++i) out[i] = ToSample(accumulator[i]);
}

}  // namespace host::mix
