#include <gtest/gtest.h>

#include <cmath>
#include <span>

#include "sound/sound_fixture.h"
#include "sound/stream_control.h"

namespace {

using namespace soundtest;

constexpr std::uint32_t kSegment = 88200;  // half a second of 44.1 kHz 16-bit stereo

TEST_F(SoundFixture, StreamsTakeTheLowestFreeChannelWithConsecutiveIdsAndABusyOneRefuses) {
    const int first = StartStream(nullptr, ToneFile(1.0), -1, 0, 4096, 0, 0);
    const int second = StartStream(nullptr, ToneFile(1.0), -1, 0, 4096, 0, 0);
    ASSERT_GE(first, 0);
    EXPECT_EQ(second, (first + 1) & 0x7FFFFFFF);
    EXPECT_EQ(GetChannelStreamId(0), first);
    EXPECT_EQ(FindFreeChannel(), 2);
    EXPECT_EQ(GetStreamState(second), 1);
    EXPECT_EQ(StartStream(nullptr, ToneFile(1.0), 1, 0, 4096, 0, 0), -1);
    EXPECT_EQ(GetChannelStreamId(1), second);
    EXPECT_EQ(IsStreamPlaying(second), 1);
    EXPECT_EQ(device_->GetMixer().buffer_count(), 2u);
}

TEST_F(SoundFixture, WhatCannotPlayDoesNotStartAndLeavesTheChannelFree) {
    EXPECT_EQ(StartStream(nullptr, FileOf("text.ogg", std::vector<std::uint8_t>(5000, 'x')), -1, 0, 4096, 0, 0), -1);
    EXPECT_EQ(StartStream(nullptr, u"/nonexistent/folder/missing.ogg", -1, 0, 4096, 0, 0), -1);
    EXPECT_TRUE(reports_.boxes.empty());
    // A layout the device cannot play is reported.
    const auto three = Tone(0.2, 3);
    EXPECT_EQ(StartStream(nullptr, FileOf("three.ogg", three), -1, 0, 4096, 0, 0), -1);
    ASSERT_EQ(reports_.boxes.size(), 1u);
    EXPECT_EQ(reports_.boxes[0].caption, u"DirectSound");
    EXPECT_EQ(reports_.boxes[0].text,
              u"CreateStreamBuffer(88780064)\r\n  wFormatTag=   1\r\n  nChannels=3\r\n  nSamplesPerSec=44100\r\n"
              u"  nAvgBytesPerSec=264600\r\n  nBlockAlign=6\r\n  wBitsPerSample=16\r\n  cbSize=0\r\n");
    // A speed of 0 asks for a rate no buffer can play.
    EXPECT_EQ(StartStream(nullptr, ToneFile(0.5), -1, 0, 0, 0, 0), -1);
    EXPECT_EQ(reports_.boxes.size(), 2u);
    EXPECT_EQ(FindFreeChannel(), 0);
    EXPECT_EQ(GetChannelStreamId(0), -1);
    EXPECT_EQ(device_->GetMixer().buffer_count(), 0u);
}

TEST_F(SoundFixture, RefillsOneSegmentEachTimeTheCursorLeavesOne) {
    ASSERT_GE(StartStream(nullptr, ToneFile(6.0), 0, 0, 4096, 0, 0), 0);
    const StreamChannel& channel = GetStreamChannel(0);
    EXPECT_EQ(channel.segment_bytes, kSegment);
    EXPECT_EQ(channel.ring_bytes, 8 * kSegment);
    EXPECT_EQ(channel.write_cursor, 4 * kSegment);
    EXPECT_EQ(channel.refill_point, kSegment - 1);

    device_->Advance(490);
    EXPECT_EQ(channel.bytes_played, 0u);
    EXPECT_EQ(channel.write_cursor, 4 * kSegment);
    device_->Advance(10);  // the cursor enters the second segment
    EXPECT_EQ(channel.bytes_played, kSegment);
    EXPECT_EQ(channel.write_cursor, 5 * kSegment);
    EXPECT_EQ(channel.refill_point, 2 * kSegment - 1);

    // Around the ring: the refill point wraps from the last byte back to the first segment.
    device_->Advance(3500);
    EXPECT_EQ(channel.bytes_played, 8u * kSegment);
    EXPECT_EQ(channel.refill_point, kSegment - 1);
    EXPECT_EQ(channel.write_cursor, 4 * kSegment);
    device_->Advance(500);
    EXPECT_EQ(channel.bytes_played, 9u * kSegment);
    EXPECT_EQ(channel.refill_point, 2 * kSegment - 1);

    // Every refill decoded the stream in order: the tone is continuous over 4.5 s.
    ExpectSteadyTone(TakeOutput().first);
}

TEST_F(SoundFixture, AStreamOfOnePointTwoSecondsEndsOnceThreeSegmentsHaveBeenPlayed) {
    const int id = StartStream(nullptr, ToneFile(1.2), -1, 0, 4096, 0, 0);
    ASSERT_GE(id, 0);
    device_->Advance(1490);
    EXPECT_EQ(GetChannelStreamId(0), id);
    EXPECT_EQ(GetStreamChannel(0).flags & kStreamSourceEnded, kStreamSourceEnded);
    device_->Advance(10);
    EXPECT_EQ(GetChannelStreamId(0), -1);
    EXPECT_EQ(IsStreamPlaying(id), 0);
    EXPECT_EQ(device_->GetMixer().buffer_count(), 0u);

    auto [left, right] = TakeOutput();
    EXPECT_NEAR(static_cast<double>(SoundingLength(left, 200.0)), 1.2 * kRate, 0.002 * kRate);
    std::vector<double> tail(left.begin() + static_cast<long>(1.21 * kRate), left.end());
    EXPECT_LT(Rms(tail), 5.0);
}

TEST_F(SoundFixture, ShortLoopsRepeatWithoutGapsAcrossTheWholeRing) {
    // Shorter than one segment: every refill takes several passes (25 for 20 ms).
    for (double seconds : {0.3, 0.02}) {
        const int id = StartStream(nullptr, ToneFile(seconds), 0, 1, 4096, 0, 0);
        ASSERT_GE(id, 0);
        device_->Advance(5000);
        EXPECT_EQ(GetStreamState(id), 1);
        EXPECT_EQ(GetStreamChannel(0).bytes_played, 10u * kSegment);
        auto [left, right] = TakeOutput();
        ASSERT_EQ(left.size(), 5u * kRate);
        ExpectSteadyTone(left);
        // Each pass starts the tone again in phase: a period of 10 ms lines up everywhere.
        for (double at : {0.5, 1.7, 3.1, 4.6}) ExpectPeriodic(left, static_cast<std::size_t>(at * kRate), 100, 600.0);
        StopChannel(0);
    }
}

TEST_F(SoundFixture, AnEmptyStreamNeitherHangsNorLoopsForever) {
    const auto empty = EncodeOggVorbis({}, kRate, 2);
    const int once = StartStream(nullptr, FileOf("empty.ogg", empty), -1, 0, 4096, 0, 0);
    const int looped = StartStream(nullptr, FileOf("empty.ogg", empty), -1, 1, 4096, 0, 0);
    ASSERT_GE(once, 0);
    ASSERT_GE(looped, 0);
    device_->Advance(600);
    EXPECT_EQ(IsStreamPlaying(once), 0);
    EXPECT_EQ(IsStreamPlaying(looped), 1);
    auto [left, right] = TakeOutput();
    EXPECT_EQ(Rms(left), 0.0);
}

TEST_F(SoundFixture, StopStreamAndStopChannelReleaseBeforeReturning) {
    const int a = StartStream(nullptr, ToneFile(1.0), -1, 1, 4096, 0, 0);
    const int b = StartStream(nullptr, ToneFile(1.0), -1, 1, 4096, 0, 0);
    device_->Advance(100);
    StopStream(a);
    EXPECT_EQ(GetChannelStreamId(0), -1);
    EXPECT_EQ(GetStreamState(a), 0);
    StopChannel(1);
    EXPECT_EQ(GetChannelStreamId(1), -1);
    EXPECT_EQ(IsStreamPlaying(b), 0);
    EXPECT_EQ(device_->GetMixer().buffer_count(), 0u);
    device_->ClearCapture();
    device_->Advance(100);
    EXPECT_EQ(Rms(TakeOutput().first), 0.0);
}

TEST_F(SoundFixture, SpeedVolumeAndPanReachTheOutput) {
    // Twice the speed; volume 128 of 255 is -2.99 dB; a pan of +1000 lowers the left side by 10 dB.
    const int id = StartStream(nullptr, ToneFile(2.0), -1, 1, 8192, VolumeToAttenuation(128), 1000);
    ASSERT_GE(id, 0);
    const StreamChannel& channel = GetStreamChannel(0);
    EXPECT_EQ(channel.format.samples_per_sec, 88200u);
    EXPECT_EQ(channel.format.avg_bytes_per_sec, 352800u);
    std::uint32_t frequency = 0;
    channel.buffer->GetFrequency(&frequency);
    EXPECT_EQ(frequency, 88200u);
    device_->Advance(500);
    // Twice the pitch: twice the zero crossings of the recorded tone.
    auto [left, right] = TakeOutput();
    const std::span<const double> steady(right.data() + 4410, 17640), steady_left(left.data() + 4410, 17640);
    int crossings = 0;
    for (std::size_t k = 1; k < steady.size(); ++k) crossings += (steady[k - 1] < 0) != (steady[k] < 0);
    EXPECT_NEAR(crossings, 2 * 2 * kToneHz * 0.4, 2);
    EXPECT_NEAR(Rms(steady) / kToneRms, std::pow(10.0, -299.0 / 2000.0), 0.02);
    EXPECT_NEAR(Rms(steady_left) / Rms(steady), std::pow(10.0, -0.5), 0.01);

    EXPECT_EQ(SetStreamVolume(id, -10000), 1);
    device_->Advance(100);
    EXPECT_EQ(Rms(TakeOutput().second), 0.0);
}

TEST_F(SoundFixture, AFadeLowersTheVolumeEveryTenthOfASecondAndThenStops) {
    const int id = StartStream(nullptr, ToneFile(3.0), -1, 1, 4096, 0, 0);
    {
        SoundLockHolder hold;
        StreamChannel& channel = GetStreamChannel(0);
        channel.flags |= kStreamFading;
        channel.fade_volume = 255;
        channel.fade_step = 50;
        channel.last_fade_time = device_->NowMilliseconds();
    }
    EXPECT_EQ(GetStreamState(id), 2);
    device_->Advance(100);
    EXPECT_EQ(GetStreamChannel(0).fade_volume, 205);
    std::int32_t volume = 0;
    GetStreamChannel(0).buffer->GetVolume(&volume);
    EXPECT_EQ(volume, VolumeToAttenuation(205));
    {
        // A tick that comes 250 ms after the last step lowers the volume by two steps.
        SoundLockHolder hold;
        GetStreamChannel(0).last_fade_time = device_->NowMilliseconds() - 240;
    }
    device_->Advance(10);
    EXPECT_EQ(GetStreamChannel(0).fade_volume, 205 - 2 * 50);
    device_->Advance(300);
    EXPECT_EQ(GetStreamChannel(0).fade_volume, 0) << "not below 0";
    EXPECT_EQ(GetStreamState(id), 2);
    device_->Advance(100);
    EXPECT_EQ(GetChannelStreamId(0), -1);
    EXPECT_EQ(GetStreamState(id), 0);
}

TEST_F(SoundFixture, ALostStreamBufferIsRestoredAndARefillWhoseLockFailsIsSkipped) {
    ASSERT_GE(StartStream(nullptr, ToneFile(6.0), 0, 1, 4096, 0, 0), 0);
    const StreamChannel& channel = GetStreamChannel(0);
    device_->GetMixer().LoseAllBuffers();
    device_->Advance(10);
    std::uint32_t status = 0;
    channel.buffer->GetStatus(&status);
    EXPECT_EQ(status & host::kBufferLost, 0u);
    channel.buffer->Play(true);

    device_->Advance(480);
    host::SoundBuffer::Region held;
    ASSERT_EQ(channel.buffer->Lock(0, 4, &held), host::kAudioOk);  // the worker's lock fails
    device_->Advance(20);
    EXPECT_EQ(channel.bytes_played, kSegment);
    EXPECT_EQ(channel.refill_point, 2 * kSegment - 1);
    EXPECT_EQ(channel.write_cursor, 4 * kSegment) << "the refill was skipped";
    channel.buffer->Unlock(held);
    device_->Advance(500);
    EXPECT_EQ(channel.write_cursor, 5 * kSegment);
}

TEST_F(SoundFixture, AZeroStreamUnitStillMakesARingOfWholeFrames) {
    StreamBufferUnit = 0;
    ASSERT_GE(StartStream(nullptr, ToneFile(0.5), -1, 1, 4096, 0, 0), 0);
    const StreamChannel& channel = GetStreamChannel(0);
    EXPECT_EQ(channel.segment_bytes, 4u);
    EXPECT_EQ(channel.ring_bytes, 32u);
    device_->Advance(20);  // the ring wraps many times within a tick without dividing by zero
    EXPECT_EQ(IsStreamPlaying(GetChannelStreamId(0)), 1);
}

TEST_F(SoundFixture, AMonoStreamAtHalfTheRateIsResampledToBothSides) {
    const int id = StartStream(nullptr, ToneFile(1.0, 1, 22050), -1, 0, 4096, 0, 0);
    ASSERT_GE(id, 0);
    const StreamChannel& channel = GetStreamChannel(0);
    EXPECT_EQ(channel.format.block_align, 2);
    EXPECT_EQ(channel.format.avg_bytes_per_sec, 44100u);
    EXPECT_EQ(channel.segment_bytes, 22050u);
    device_->Advance(400);
    auto [left, right] = TakeOutput();
    EXPECT_NEAR(Rms(left), kToneRms, 0.03 * kToneRms);
    EXPECT_EQ(left, right);
    ExpectPeriodic(left, 5000, 200, 300.0);
}

}  // namespace
