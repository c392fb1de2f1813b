// The WAVE parser and the effect buffers made from what it finds.
#include <cstdint>
#include <cstring>

#include "fuzz_quiet.h"
#include "host/audio/mixer.h"
#include "sound/sound_effects.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SilenceReports();
    static host::Mixer mixer(44100);
    const std::span<const std::uint8_t> image(data, size);
    host::WaveFormat format;
    const std::uint8_t* pcm = nullptr;
    std::uint32_t pcm_size = 0;
    if (ParseWaveImage(image, &format, &pcm, &pcm_size)) {
        // What the parser hands out lies inside the image.
        if (pcm < data || pcm + pcm_size > data + size) __builtin_trap();
        std::uint8_t sum = 0;
        for (std::uint32_t i = 0; i < pcm_size; ++i) sum = static_cast<std::uint8_t>(sum + pcm[i]);
        (void)sum;
    }
    if (auto buffer = CreateStaticSoundBuffer(mixer, image)) {
        buffer->Play(false);
        std::int16_t out[2 * 256];
        mixer.Mix(out, 256);
    }
    return 0;
}
