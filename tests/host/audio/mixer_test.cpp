#include "host/audio/mixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "host/audio/test_audio_device.h"

namespace {

using host::Mixer;
using host::SoundBuffer;
using host::WaveFormat;

WaveFormat Pcm(int rate, int channels, int bits) {
    WaveFormat f;
    f.format_tag = host::kWaveFormatPcm;
    f.channels = static_cast<std::uint16_t>(channels);
    f.samples_per_sec = static_cast<std::uint32_t>(rate);
    f.bits_per_sample = static_cast<std::uint16_t>(bits);
    f.block_align = static_cast<std::uint16_t>(channels * bits / 8);
    f.avg_bytes_per_sec = f.samples_per_sec * f.block_align;
    return f;
}

std::unique_ptr<SoundBuffer> Make(Mixer& mixer, const WaveFormat& format, std::uint32_t bytes) {
    std::unique_ptr<SoundBuffer> buffer;
    EXPECT_EQ(mixer.CreateBuffer(format, bytes, &buffer), host::kAudioOk);
    return buffer;
}

// Fills a 16-bit buffer with one constant value per channel.
void FillConstant(SoundBuffer& buffer, std::int16_t left, std::int16_t right) {
    SoundBuffer::Region region;
    ASSERT_EQ(buffer.Lock(0, 0, &region), host::kAudioOk);
    const int channels = buffer.format().channels;
    auto* s = reinterpret_cast<std::int16_t*>(region.first);
    for (std::uint32_t i = 0; i < region.first_bytes / 2; ++i) s[i] = (channels == 1 || i % 2 == 0) ? left : right;
    ASSERT_EQ(buffer.Unlock(region), host::kAudioOk);
}

// Writes bytes at the start of the buffer.
void Write(SoundBuffer& buffer, const void* bytes, std::uint32_t size) {
    SoundBuffer::Region region;
    ASSERT_EQ(buffer.Lock(0, size, &region), host::kAudioOk);
    std::memcpy(region.first, bytes, size);
    ASSERT_EQ(buffer.Unlock(region), host::kAudioOk);
}

std::uint32_t Status(const SoundBuffer& buffer) {
    std::uint32_t status = 0;
    buffer.GetStatus(&status);
    return status;
}

std::vector<std::int16_t> MixFrames(Mixer& mixer, std::size_t frames) {
    std::vector<std::int16_t> out(2 * frames);
    mixer.Mix(out.data(), frames);
    return out;
}

TEST(MixerTest, RejectsFormatsAndSizesItCannotPlay) {
    Mixer mixer(44100);
    std::unique_ptr<SoundBuffer> buffer;
    EXPECT_EQ(mixer.CreateBuffer(Pcm(44100, 6, 16), 1200, &buffer), host::kAudioBadFormat);
    EXPECT_EQ(mixer.CreateBuffer(Pcm(44100, 2, 24), 1200, &buffer), host::kAudioBadFormat);
    EXPECT_EQ(mixer.CreateBuffer(Pcm(50, 2, 16), 1200, &buffer), host::kAudioBadFormat);
    WaveFormat wrong_align = Pcm(44100, 2, 16);
    wrong_align.block_align = 2;
    EXPECT_EQ(mixer.CreateBuffer(wrong_align, 1200, &buffer), host::kAudioBadFormat);
    EXPECT_EQ(mixer.CreateBuffer(Pcm(44100, 2, 16), 0, &buffer), host::kAudioInvalidParam);
    EXPECT_EQ(mixer.CreateBuffer(Pcm(44100, 2, 16), 1202, &buffer), host::kAudioInvalidParam);
    EXPECT_FALSE(buffer);
}

TEST(MixerTest, VolumePanAndMasterScaleTheOutput) {
    Mixer mixer(44100);
    auto buffer = Make(mixer, Pcm(44100, 2, 16), 4000);
    FillConstant(*buffer, 10000, -10000);
    ASSERT_EQ(buffer->Play(true), host::kAudioOk);

    // {volume, pan, master volume} in hundredths of a dB, and the left and right output.
    const std::tuple<std::int32_t, std::int32_t, std::int32_t, double, double> cases[] = {
        {0, 0, 0, 10000, -10000},         {-600, 0, 0, 5011.9, -5011.9},  // -6 dB
        {0, 2000, 0, 1000, -10000},                                       // to the right: the left side drops 20 dB
        {0, host::kPanLeft, 0, 10000, 0}, {0, 0, -2000, 1000, -1000},    {0, 0, host::kVolumeMin, 0, 0},
    };
    for (auto [volume, pan, master, left, right] : cases) {
        SCOPED_TRACE(testing::Message() << volume << " " << pan << " " << master);
        ASSERT_EQ(buffer->SetVolume(volume), host::kAudioOk);
        ASSERT_EQ(buffer->SetPan(pan), host::kAudioOk);
        ASSERT_EQ(mixer.SetMasterVolume(master), host::kAudioOk);
        auto out = MixFrames(mixer, 4);
        EXPECT_NEAR(out[0], left, 1.0);
        EXPECT_NEAR(out[1], right, 1.0);
    }
    EXPECT_EQ(buffer->SetVolume(1), host::kAudioInvalidParam);
    EXPECT_EQ(buffer->SetPan(10001), host::kAudioInvalidParam);
    EXPECT_EQ(mixer.SetMasterVolume(-10001), host::kAudioInvalidParam);
}

// Long mixes go through the vector path eight samples at a time, short ones through the plain
// one: both must add up, clip, and round halves to even.
TEST(MixerTest, BuffersAddUpAndClipInsteadOfWrappingAtEveryLength) {
    Mixer mixer(44100);
    auto a = Make(mixer, Pcm(44100, 2, 16), 400);
    auto b = Make(mixer, Pcm(44100, 2, 16), 400);
    FillConstant(*a, 30000, -30000);
    FillConstant(*b, 30000, -30000);
    a->Play(true);
    b->Play(true);
    auto out = MixFrames(mixer, 9);
    for (std::size_t i = 0; i < out.size(); i += 2) {
        EXPECT_EQ(out[i], 32767) << i;
        EXPECT_EQ(out[i + 1], -32768) << i;
    }
    FillConstant(*b, -31000, 31000);
    out = MixFrames(mixer, 2);
    EXPECT_EQ(out[0], -1000);
    EXPECT_EQ(out[1], 1000);
}

TEST(MixerTest, OutputRoundsHalvesToEvenAtEveryLength) {
    Mixer mixer(44100);
    // At half the output rate every second output frame lies halfway between two samples.
    auto buffer = Make(mixer, Pcm(22050, 1, 16), 200);
    const std::int16_t ramp[9] = {0, 1, 2, 3, -1, -2, -3, -4, 0};
    Write(*buffer, ramp, sizeof ramp);
    const std::vector<std::int16_t> expected = {0, 0, 1, 2, 2, 2, 3, 1, -1, -2, -2, -2, -3, -4, -4, -2};
    buffer->Play(false);
    auto out = MixFrames(mixer, 16);
    std::vector<std::int16_t> left;
    for (std::size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
    EXPECT_EQ(left, expected);
    buffer->SetCurrentPosition(0);
    left.clear();
    for (int i = 0; i < 16; ++i) left.push_back(MixFrames(mixer, 1)[0]);
    EXPECT_EQ(left, expected);
}

TEST(MixerTest, OneShotStopsAtTheEndAndLoopingWraps) {
    Mixer mixer(44100);
    auto once = Make(mixer, Pcm(44100, 2, 16), 40);  // 10 frames
    FillConstant(*once, 5000, 5000);
    once->Play(false);
    auto out = MixFrames(mixer, 16);
    EXPECT_EQ(out[2 * 9], 5000);
    EXPECT_EQ(out[2 * 10], 0);
    EXPECT_EQ(Status(*once), 0u);

    auto loop = Make(mixer, Pcm(44100, 2, 16), 40);
    FillConstant(*loop, 7000, 7000);
    loop->Play(true);
    EXPECT_EQ(Status(*loop), host::kBufferPlaying | host::kBufferLooping);
    out = MixFrames(mixer, 25);
    EXPECT_EQ(out[2 * 24], 7000);
    std::uint32_t play = 0, write = 0;
    loop->GetCurrentPosition(&play, &write);
    EXPECT_EQ(play, 5u * 4);
    EXPECT_EQ(write, play);
    loop->Stop();
    out = MixFrames(mixer, 2);
    EXPECT_EQ(out[0], 0);
    loop->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 5u * 4) << "stopping keeps the cursor";
}

TEST(MixerTest, ResamplesByTheBufferFrequency) {
    Mixer mixer(44100);
    // A ramp at half the output rate takes two output frames per source frame, halfway between.
    auto buffer = Make(mixer, Pcm(22050, 1, 16), 200);
    std::int16_t ramp[100];
    for (int i = 0; i < 100; ++i) ramp[i] = static_cast<std::int16_t>(i * 100);
    Write(*buffer, ramp, sizeof ramp);
    buffer->Play(false);
    auto out = MixFrames(mixer, 8);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], 50);
    EXPECT_EQ(out[4], 100);
    EXPECT_EQ(out[5], 100);  // mono goes to both sides
    std::uint32_t play = 0;
    buffer->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 4u * 2);

    // Doubling the frequency plays the same data in a quarter of the frames.
    ASSERT_EQ(buffer->SetFrequency(88200), host::kAudioOk);
    out = MixFrames(mixer, 2);
    EXPECT_EQ(out[0], 400);
    EXPECT_EQ(out[2], 600);
    EXPECT_EQ(buffer->SetFrequency(99), host::kAudioInvalidParam);
    ASSERT_EQ(buffer->SetFrequency(0), host::kAudioOk);  // back to the buffer's own rate
    out = MixFrames(mixer, 2);
    EXPECT_EQ(out[0], 800);  // source frame 8, then halfway to 9
    EXPECT_EQ(out[2], 850);
}

TEST(MixerTest, EightBitSamplesAreCentredOn128) {
    Mixer mixer(44100);
    auto buffer = Make(mixer, Pcm(44100, 2, 8), 8);
    SoundBuffer::Region region;
    ASSERT_EQ(buffer->Lock(0, 0, &region), host::kAudioOk);
    EXPECT_EQ(region.first[0], 0x80);  // a new 8-bit buffer holds silence
    const std::uint8_t bytes[8] = {0x80, 0xC0, 0x00, 0xFF, 0x80, 0x80, 0x80, 0x80};
    std::memcpy(region.first, bytes, 8);
    buffer->Unlock(region);
    buffer->Play(false);
    auto out = MixFrames(mixer, 2);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0x40 * 256);
    EXPECT_EQ(out[2], -32768);
    EXPECT_EQ(out[3], 127 * 256);
}

TEST(MixerTest, LockWrapsAroundTheRingAndIsHeardAfterUnlock) {
    Mixer mixer(44100);
    auto buffer = Make(mixer, Pcm(44100, 1, 16), 20);
    SoundBuffer::Region region;
    ASSERT_EQ(buffer->Lock(16, 8, &region), host::kAudioOk);
    EXPECT_EQ(region.first_bytes, 4u);
    EXPECT_EQ(region.second_bytes, 4u);
    SoundBuffer::Region second_lock;
    EXPECT_EQ(buffer->Lock(0, 2, &second_lock), host::kAudioInvalidCall);  // one lock at a time
    const std::int16_t a[2] = {111, 222}, b[2] = {333, 444};
    std::memcpy(region.first, a, 4);
    std::memcpy(region.second, b, 4);
    ASSERT_EQ(buffer->Unlock(region), host::kAudioOk);
    buffer->Play(true);
    buffer->SetCurrentPosition(16);
    auto out = MixFrames(mixer, 4);
    EXPECT_EQ(out[0], 111);
    EXPECT_EQ(out[2], 222);
    EXPECT_EQ(out[4], 333);
    EXPECT_EQ(out[6], 444);
    EXPECT_EQ(buffer->Lock(20, 2, &region), host::kAudioInvalidParam);
    EXPECT_EQ(buffer->Lock(0, 22, &region), host::kAudioInvalidParam);
    EXPECT_EQ(buffer->SetCurrentPosition(20), host::kAudioInvalidParam);
}

TEST(MixerTest, ALockedRangeIsTheRingItselfAndPlaysAsSilenceUntilUnlocked) {
    Mixer mixer(44100);
    auto buffer = Make(mixer, Pcm(44100, 2, 16), 16 * 4);  // 16 frames
    FillConstant(*buffer, 1000, -1000);
    buffer->Play(true);
    SoundBuffer::Region region;
    ASSERT_EQ(buffer->Lock(4 * 4, 4 * 4, &region), host::kAudioOk);  // frames 4 to 7
    std::int16_t old[2];
    std::memcpy(old, region.first, sizeof old);
    EXPECT_EQ(old[0], 1000);  // the lock shows what the buffer holds
    const std::int16_t loud[2] = {5000, -5000};
    for (int i = 0; i < 4; ++i) std::memcpy(region.first + 4 * i, loud, sizeof loud);

    // More frames than the ring holds: the run stops and starts again at both edges of the lock.
    auto out = MixFrames(mixer, 20);
    for (int frame : {0, 3, 8, 15, 16, 19}) EXPECT_EQ(out[2 * frame], 1000) << frame;
    for (int frame : {4, 7}) {
        EXPECT_EQ(out[2 * frame], 0) << frame;
        EXPECT_EQ(out[2 * frame + 1], 0) << frame;
    }
    ASSERT_EQ(buffer->Unlock(region), host::kAudioOk);
    buffer->SetCurrentPosition(0);
    out = MixFrames(mixer, 8);
    EXPECT_EQ(out[2 * 3], 1000);
    EXPECT_EQ(out[2 * 4], 5000);
    EXPECT_EQ(out[2 * 7 + 1], -5000);

    // Resampled: a lock that wraps around the ring's end is silent there too, and the frame
    // after it is reached by interpolating from silence.
    FillConstant(*buffer, 1000, 1000);
    ASSERT_EQ(buffer->Lock(14 * 4, 4 * 4, &region), host::kAudioOk);  // frames 14, 15, 0, 1
    ASSERT_EQ(region.second_bytes, 8u);
    ASSERT_EQ(buffer->SetFrequency(22050), host::kAudioOk);
    buffer->SetCurrentPosition(0);
    out = MixFrames(mixer, 5);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[2 * 3], 500);
    EXPECT_EQ(out[2 * 4], 1000);
    ASSERT_EQ(buffer->Unlock(region), host::kAudioOk);

    // Lost while locked: what the holder wrote is forgotten with the rest.
    ASSERT_EQ(buffer->Lock(14 * 4, 4 * 4, &region), host::kAudioOk);
    std::memcpy(region.first, loud, sizeof loud);
    std::memcpy(region.second, loud, sizeof loud);
    mixer.LoseAllBuffers();
    EXPECT_EQ(buffer->Unlock(region), host::kAudioBufferLost);
    ASSERT_EQ(buffer->Restore(), host::kAudioOk);
    ASSERT_EQ(buffer->SetFrequency(0), host::kAudioOk);
    buffer->SetCurrentPosition(0);
    buffer->Play(true);
    out = MixFrames(mixer, 16);
    EXPECT_EQ(std::count(out.begin(), out.end(), 0), 32);
}

TEST(MixerTest, LostBuffersRefuseUseUntilRestoredAndComeBackSilent) {
    Mixer mixer(44100);
    auto buffer = Make(mixer, Pcm(44100, 1, 16), 40);
    FillConstant(*buffer, 9000, 9000);
    buffer->Play(true);
    mixer.LoseAllBuffers();
    EXPECT_EQ(Status(*buffer), host::kBufferLost);
    SoundBuffer::Region region;
    EXPECT_EQ(buffer->Lock(0, 4, &region), host::kAudioBufferLost);
    EXPECT_EQ(buffer->Play(true), host::kAudioBufferLost);
    ASSERT_EQ(buffer->Restore(), host::kAudioOk);
    ASSERT_EQ(buffer->Play(true), host::kAudioOk);
    EXPECT_EQ(MixFrames(mixer, 2)[0], 0);
    FillConstant(*buffer, 9000, 9000);
    EXPECT_EQ(MixFrames(mixer, 2)[0], 9000);
    buffer.reset();  // a destroyed buffer leaves the mix
    EXPECT_EQ(MixFrames(mixer, 2)[0], 0);
}

TEST(TestAudioDeviceTest, AdvancesInTenMillisecondStepsWithExactFrameCounts) {
    host::TestAudioDevice device(11025);
    int ticks = 0;
    std::vector<std::uint64_t> frames_at_tick;
    ASSERT_TRUE(device.SetPeriodicTick([&] {
        ++ticks;
        frames_at_tick.push_back(device.elapsed_frames());
    }));
    device.Advance(40);
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(device.NowMilliseconds(), 40u);
    // 11025 frames a second is 110.25 frames per step: the steps take 110, 110, 110, 111.
    EXPECT_EQ(frames_at_tick, (std::vector<std::uint64_t>{110, 220, 330, 441}));
    EXPECT_EQ(device.captured().size(), 2u * 441);
    device.SetPeriodicTick(nullptr);
    device.Advance(1000);
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(device.elapsed_frames(), 11466u);
}

}  // namespace
