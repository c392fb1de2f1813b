#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sound/sound.h"
#include "sound/sound_fixture.h"
#include "sound/stream_channel.h"

namespace {

using namespace soundtest;

TEST(SoundApiTest, VolumeToAttenuationIsAThousandTimesLog10OfTheShare) {
    const std::pair<int, int> cases[] = {{-5, -10000}, {0, -10000}, {1, -2406}, {128, -299},
                                         {254, -1},    {255, 0},    {300, 0}};
    for (auto [volume, attenuation] : cases) EXPECT_EQ(VolumeToAttenuation(volume), attenuation) << volume;
}

TEST(SoundApiTest, DisabledSoundStaysCallableAndDoesNothing) {
    SoundParams params;
    params.enabled = 0;
    EXPECT_EQ(InitSound(&params, std::make_unique<host::TestAudioDevice>()), S_OK);
    EXPECT_EQ(IsSoundAvailable(), 0);
    EXPECT_EQ(StartStream(nullptr, u"anything.ogg", -1, 0, 4096, 0, 0), -1);
    EXPECT_EQ(SetStreamVolume(3, -100), 1);
    EXPECT_EQ(SetStreamVolume(-1, -100), 0);
    EXPECT_EQ(IsStreamPlaying(3), 0);
    EXPECT_EQ(GetStreamState(3), 0);
    SetMasterVolume(-100);
    const std::uint8_t wave[4] = {};
    LoadSoundEffect(0, wave, sizeof wave);
    StopStream(3);
    StopChannel(0);
    TermSound();
    TermSound();
    EXPECT_EQ(IsSoundAvailable(), 0);
}

TEST_F(SoundFixture, MinusOneAndOutOfRangeNumbersAreIgnored) {
    EXPECT_EQ(GetChannelStreamId(-1), -1);
    EXPECT_EQ(GetChannelStreamId(4), -1);
    StopStream(-1);
    StopChannel(-1);
    StopChannel(7);
    EXPECT_EQ(StartStream(nullptr, ToneFile(0.5), 4, 0, 4096, 0, 0), -1);
    EXPECT_EQ(StartStream(nullptr, ToneFile(0.5), -2, 0, 4096, 0, 0), -1);
    EXPECT_EQ(SetStreamVolume(-1, 0), 0);
    EXPECT_EQ(SetStreamVolume(12345, 0), 0);
}

// A device that runs in real time from the sound's point of view: the subsystem keeps its own
// worker thread.
class ThreadedDevice final : public host::AudioDevice {
public:
    host::Mixer& GetMixer() override { return inner.GetMixer(); }
    std::uint32_t NowMilliseconds() override { return inner.NowMilliseconds(); }
    bool SetPeriodicTick(std::function<void()>) override { return false; }
    host::TestAudioDevice inner;
};

TEST(SoundWorkerTest, TheWorkerThreadRefillsAndStops) {
    TempFolder folder;
    const auto file = folder.Write("tone.ogg", Tone(2.0));
    auto owned = std::make_unique<ThreadedDevice>();
    ThreadedDevice* device = owned.get();
    SoundParams params;
    params.high_priority = 1;
    ASSERT_EQ(InitSound(&params, std::move(owned)), S_OK);
    const int id = StartStream(nullptr, Utf8ToUtf16(file.string()), -1, 0, 4096, 0, 0);
    ASSERT_GE(id, 0);
    device->inner.Advance(600);  // past the first segment, without ticks of its own

    const StreamChannel& channel = GetStreamChannel(0);
    std::uint64_t played = 0;
    for (int wait = 0; wait < 1000 && played == 0; ++wait) {  // the worker's tick, within 5 s
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        SoundLockHolder hold;
        played = channel.bytes_played;
    }
    EXPECT_EQ(played, channel.segment_bytes);
    TermSound();  // joins the worker
    EXPECT_EQ(GetChannelStreamId(0), -1);
}

}  // namespace
