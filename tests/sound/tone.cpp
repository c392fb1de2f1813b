#include "sound/tone.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace soundtest {

std::vector<std::int16_t> Sine(double hz, double seconds, int rate, int channels, double amplitude) {
    const auto frames = static_cast<std::size_t>(std::llround(seconds * rate));
    std::vector<std::int16_t> pcm(frames * channels);
    for (std::size_t i = 0; i < frames; ++i) {
        const double v = amplitude * 32767.0 * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate);
        for (int c = 0; c < channels; ++c) pcm[i * channels + c] = static_cast<std::int16_t>(std::lround(v));
    }
    return pcm;
}

std::vector<std::uint8_t> DecodeWithLibrary(const std::filesystem::path& file) {
    OggVorbis_File vf;
    if (ov_fopen(file.c_str(), &vf) != 0) throw std::runtime_error("not Ogg Vorbis: " + file.string());
    std::vector<std::uint8_t> pcm;
    char chunk[4096];
    int link = 0;
    long got;
    while ((got = ov_read(&vf, chunk, sizeof chunk, 0, 2, 1, &link)) != 0) {
        if (got > 0)
            pcm.insert(pcm.end(), chunk, chunk + got);
        else if (got != OV_HOLE)
            break;
    }
    ov_clear(&vf);
    return pcm;
}

std::vector<double> Channel(std::span<const std::int16_t> stereo, int channel) {
    std::vector<double> out(stereo.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = stereo[2 * i + channel];
    return out;
}

double Rms(std::span<const double> samples) {
    if (samples.empty()) return 0.0;
    double sum = 0.0;
    for (double s : samples) sum += s * s;
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

double LargestStep(std::span<const double> samples) {
    double largest = 0.0;
    for (std::size_t i = 1; i < samples.size(); ++i) largest = std::max(largest, std::abs(samples[i] - samples[i - 1]));
    return largest;
}

std::size_t SoundingLength(std::span<const double> samples, double threshold) {
    std::size_t first = samples.size(), last = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) > threshold) {
            first = std::min(first, i);
            last = i;
        }
    }
    return first <= last && first < samples.size() ? last - first + 1 : 0;
}

std::size_t LongestQuietRun(std::span<const double> samples, double threshold) {
    std::size_t longest = 0, run = 0;
    for (double s : samples) {
        run = std::abs(s) < threshold ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

}  // namespace soundtest
