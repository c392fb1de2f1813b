#include "sound/pcm16.h"

#include <cstring>

#include "host/audio/mix_kernels.h"

void InterleavePcm16(const float* const* channels, int channel_count, std::size_t frames, std::uint8_t* out) {
    constexpr float kFullScale = 32768.0f;
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128 scale = _mm_set1_ps(kFullScale);
    if (channel_count == 2) {
        for (; i + 4 <= frames; i += 4) {
            const __m128 left = _mm_mul_ps(_mm_loadu_ps(channels[0] + i), scale);
            const __m128 right = _mm_mul_ps(_mm_loadu_ps(channels[1] + i), scale);
            const __m128i pcm = host::mix::ToSamples(_mm_unpacklo_ps(left, right), _mm_unpackhi_ps(left, right));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i), pcm);
        }
    } else if (channel_count == 1) {
        for (; i + 8 <= frames; i += 8) {
            const __m128 first = _mm_mul_ps(_mm_loadu_ps(channels[0] + i), scale);
            const __m128 second = _mm_mul_ps(_mm_loadu_ps(channels[0] + i + 4), scale);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), host::mix::ToSamples(first, second));
        }
    }
#endif
    for (; i < frames; ++i) {
        for (int c = 0; c < channel_count; ++c) {
            const std::int16_t sample = host::mix::ToSample(channels[c][i] * kFullScale);
            std::memcpy(out + (i * channel_count + c) * 2, &sample, 2);
        }
    }
}
