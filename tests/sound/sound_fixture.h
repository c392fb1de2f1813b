// A sound subsystem started on the hand-driven test device for the length of one test, with
// generated Ogg Vorbis tones written to a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "host/audio/test_audio_device.h"
#include "sound/sound.h"
#include "sound/stream_channel.h"
#include "sound/stream_control.h"
#include "sound/tone.h"
#include "support/capture_reports.h"

namespace soundtest {

inline constexpr int kRate = 44100;
// A whole number of cycles in every 10 ms and in every stream length the tests use.
inline constexpr double kToneHz = 500.0;
inline constexpr double kAmplitude = 0.5;
inline const double kToneRms = kAmplitude * 32767.0 / std::sqrt(2.0);

// An Ogg Vorbis tone (made once per test program for each length and layout).
inline const std::vector<std::uint8_t>& Tone(double seconds, int channels = 2, int rate = kRate) {
    static std::map<std::tuple<double, int, int>, std::vector<std::uint8_t>> cache;
    auto& bytes = cache[{seconds, channels, rate}];
    if (bytes.empty()) bytes = EncodeOggVorbis(Sine(kToneHz, seconds, rate, channels, kAmplitude), rate, channels);
    return bytes;
}

// A channel record as a stream's start leaves it.
inline void PrepareChannel(StreamChannel& channel, IStreamControl& control, bool loop) {
    channel.total_bytes = channel.remaining_in_pass = control.GetTotalBytes();
    channel.flags = kStreamPlaying | (loop ? static_cast<std::uint32_t>(kStreamLoop) : 0u);
}

// What one read of `bytes` from the stream's start gives (the whole stream by default).
inline std::vector<std::uint8_t> ReadStream(IStreamControl& control, bool loop = false, std::size_t bytes = 0) {
    StreamChannel channel;
    PrepareChannel(channel, control, loop);
    std::vector<std::uint8_t> pcm(bytes ? bytes : control.GetTotalBytes());
    EXPECT_EQ(control.ReadPCM(&channel, pcm.data(), static_cast<std::uint32_t>(pcm.size())), pcm.size());
    return pcm;
}

// A tone played without gaps or clicks at its full level.
inline void ExpectSteadyTone(std::span<const double> samples, double hz = kToneHz) {
    EXPECT_LT(LargestStep(samples), 1.2 * kAmplitude * 32767.0 * 2 * M_PI * hz / kRate);
    EXPECT_LE(LongestQuietRun(samples, 50.0), 2u);
    EXPECT_NEAR(Rms(samples), kToneRms, 0.03 * kToneRms);
}

// A 500 Hz tone repeats every 441 samples at 44.1 kHz: `count` samples from `at` on line up with
// those a period later.
inline void ExpectPeriodic(std::span<const double> samples, std::size_t at, std::size_t count, double tolerance) {
    for (std::size_t k = at; k < at + count; ++k) ASSERT_NEAR(samples[k], samples[k + 441], tolerance) << k;
}

class SoundFixture : public ::testing::Test {
protected:
    void SetUp() override {
        auto device = std::make_unique<host::TestAudioDevice>(kRate);
        device_ = device.get();
        SoundParams params;
        ASSERT_EQ(InitSound(&params, std::move(device)), S_OK);
        ASSERT_EQ(IsSoundAvailable(), 1);
    }
    void TearDown() override {
        TermSound();
        StreamBufferUnit = 4;
    }

    // A file of Tone(seconds, channels, rate).
    std::u16string ToneFile(double seconds, int channels = 2, int rate = kRate) {
        const std::string name = std::to_string(seconds) + "-" + std::to_string(channels) + "-" + std::to_string(rate);
        return FileOf(name + ".ogg", Tone(seconds, channels, rate));
    }

    std::u16string FileOf(const std::string& name, std::span<const std::uint8_t> bytes) {
        return Utf8ToUtf16(folder_.Write(name, bytes).string());
    }

    // Left and right of everything the device has played since the last call.
    std::pair<std::vector<double>, std::vector<double>> TakeOutput() {
        auto left = Channel(device_->captured(), 0);
        auto right = Channel(device_->captured(), 1);
        device_->ClearCapture();
        return {left, right};
    }

    host::TestAudioDevice* device_ = nullptr;
    TempFolder folder_;
    testsupport::CaptureReports reports_;
};

}  // namespace soundtest
