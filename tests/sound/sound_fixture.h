// A sound subsystem started on the hand-driven test device for the length of one test, with
// generated Ogg Vorbis tones written to a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "host/audio/test_audio_device.h"
#include "sound/sound.h"
#include "sound/stream_channel.h"
#include "sound/tone.h"
#include "support/capture_reports.h"

namespace soundtest {

inline constexpr int kRate = 44100;
// A whole number of cycles in every 10 ms and in every stream length the tests use.
inline constexpr double kToneHz = 500.0;
inline constexpr double kAmplitude = 0.5;

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

    // An Ogg Vorbis tone file (made once per test program for each length and layout).
    std::u16string ToneFile(double seconds, int channels = 2, int rate = kRate) {
        const std::string name =
            std::to_string(seconds) + "-" + std::to_string(channels) + "-" + std::to_string(rate) + ".ogg";
        static std::map<std::string, std::vector<std::uint8_t>> cache;
        auto& bytes = cache[name];
        if (bytes.empty()) bytes = EncodeOggVorbis(Sine(kToneHz, seconds, rate, channels, kAmplitude), rate, channels);
        return Utf8ToUtf16(folder_.Write(name, bytes).string());
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
