// Test sounds: generated tones, the shared Ogg Vorbis and WAVE writers, the library's own decode,
// and measurements of captured output.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "archive/test_util.h"
#include "lib/text.h"
#include "media/sound_writers.h"

namespace soundtest {

// Interleaved 16-bit samples of a sine of `hz` at `amplitude` (0..1), the same on every channel.
std::vector<std::int16_t> Sine(double hz, double seconds, int rate, int channels, double amplitude);
// The default quality is high, so that levels and waveforms survive for the tests to measure.
inline std::vector<std::uint8_t> EncodeOggVorbis(std::span<const std::int16_t> pcm, int rate, int channels,
                                                 float quality = 0.9f) {
    return media::EncodeOggVorbis(pcm, rate, channels, quality);
}
using media::MakeWave;
// The whole stream in a file as the library's own 16-bit little-endian read gives it.
std::vector<std::uint8_t> DecodeWithLibrary(const std::filesystem::path& file);

// A fresh temporary folder that goes with the object; Write puts bytes in a file there.
struct TempFolder : archive_test::TempDir {
    std::filesystem::path Write(const std::string& name, std::span<const std::uint8_t> bytes) const {
        archive_test::WriteFile(*this / name, {bytes.begin(), bytes.end()});
        return *this / name;
    }
};

// One channel (0 left, 1 right) of interleaved stereo.
std::vector<double> Channel(std::span<const std::int16_t> stereo, int channel);
double Rms(std::span<const double> samples);
// Largest jump between neighbouring samples.
double LargestStep(std::span<const double> samples);
// Frames from the first to the last sample whose magnitude exceeds `threshold`, or 0.
std::size_t SoundingLength(std::span<const double> samples, double threshold);
// Longest run of samples whose magnitude stays below `threshold`.
std::size_t LongestQuietRun(std::span<const double> samples, double threshold);

}  // namespace soundtest
