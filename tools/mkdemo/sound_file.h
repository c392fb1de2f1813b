// Writing the sample game's sounds: Ogg Vorbis streams and the two WAVE system sounds.
#pragma once

#include <filesystem>
#include <vector>

namespace mkdemo {

// Mono samples in [-1, 1] at the given rate.
struct Sound {
    int rate = 22050;
    std::vector<float> samples;
};

// Ogg Vorbis, variable bit rate at the given quality (-0.1 .. 1.0).
void WriteOgg(const std::filesystem::path& path, const Sound& sound, float quality);
// RIFF WAVE, 16-bit PCM mono.
void WriteWav(const std::filesystem::path& path, const Sound& sound);

}  // namespace mkdemo
