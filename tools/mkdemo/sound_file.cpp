#include "sound_file.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "media/picture_writers.h"
#include "media/sound_writers.h"

namespace mkdemo {

void WriteOgg(const std::filesystem::path& path, const Sound& sound, float quality) {
    media::WriteFile(path, media::EncodeOggVorbis(sound.samples, sound.rate, 1, quality));
}

void WriteWav(const std::filesystem::path& path, const Sound& sound) {
    std::vector<std::uint8_t> pcm;
    pcm.reserve(sound.samples.size() * 2);
    for (float s : sound.samples) {
        const auto v = static_cast<std::uint16_t>(std::int16_t(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f)));
        pcm.push_back(std::uint8_t(v & 255));
        pcm.push_back(std::uint8_t(v >> 8));
    }
    media::WriteFile(path, media::MakeWave(pcm, sound.rate, 1, 16));
}

}  // namespace mkdemo
