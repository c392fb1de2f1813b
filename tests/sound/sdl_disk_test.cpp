// Plays generated tones through the real SDL device, with SDL's "disk" driver writing the mixed
// output to a file, and checks what reached it.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "sound/sound.h"
#include "sound/sound_fixture.h"

namespace {

using namespace soundtest;

// Stretches of sound separated by at least `gap` quiet frames: {first frame, frame count}.
std::vector<std::pair<std::size_t, std::size_t>> SoundingStretches(const std::vector<double>& s, std::size_t gap) {
    std::vector<std::pair<std::size_t, std::size_t>> out;
    std::size_t quiet = gap;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (std::abs(s[i]) > 100.0) {
            if (quiet >= gap) out.push_back({i, 0});
            out.back().second = i - out.back().first + 1;
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    return out;
}

void WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

TEST(SdlDiskTest, TonesReachTheDeviceAtTheirLevelPanAndLengthAndLoopsAreSeamless) {
    TempFolder folder;
    const auto once = folder.Write("once.ogg", Tone(1.0));
    const auto loop = folder.Write("loop.ogg", Tone(0.3));
    const auto output = folder.path() / "output.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);

    SoundParams params;
    ASSERT_EQ(InitSound(&params), S_OK);
    ASSERT_EQ(IsSoundAvailable(), 1) << "SDL's disk audio driver did not open";

    // -6 dB, and the left side 10 dB below the right.
    const int first = StartStream(nullptr, Utf8ToUtf16(once.string()), -1, 0, 4096, -600, 1000);
    ASSERT_GE(first, 0);
    WaitUntil([&] { return GetChannelStreamId(0) == -1; }, std::chrono::seconds(4));
    EXPECT_EQ(IsStreamPlaying(first), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    const int looping = StartStream(nullptr, Utf8ToUtf16(loop.string()), -1, 1, 4096, 0, 0);
    ASSERT_GE(looping, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_EQ(IsStreamPlaying(looping), 1);
    StopStream(looping);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    TermSound();

    std::ifstream in(output, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    const auto left = Channel(samples, 0);
    const auto right = Channel(samples, 1);
    const auto stretches = SoundingStretches(right, kRate / 10);
    ASSERT_EQ(stretches.size(), 2u);

    auto [start, length] = stretches[0];
    EXPECT_NEAR(static_cast<double>(length), 1.0 * kRate, 0.002 * kRate);
    const std::span<const double> r(right.data() + start, length), l(left.data() + start, length);
    EXPECT_NEAR(Rms(r) / kToneRms, std::pow(10.0, -0.3), 0.02);
    EXPECT_NEAR(Rms(l) / Rms(r), std::pow(10.0, -0.5), 0.01);

    // The loop: 0.3 s passes back to back, with no gap and no step larger than the tone's own.
    std::tie(start, length) = stretches[1];
    EXPECT_GT(length, 1.0 * kRate);
    ExpectSteadyTone(std::span<const double>(right.data() + start, length));
}

}  // namespace
