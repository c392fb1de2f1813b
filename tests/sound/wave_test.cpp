#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "sound/sound_effects.h"
#include "sound/sound_fixture.h"

namespace {

using namespace soundtest;

std::vector<std::uint8_t> Pcm(std::size_t n, std::uint8_t first = 1) {
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

void SetU32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value) {
    std::memcpy(image.data() + at, &value, 4);
}

// Offset of a chunk's header in an image made by MakeWave.
std::size_t FindChunk(const std::vector<std::uint8_t>& image, const char* id) {
    for (std::size_t at = 12; at + 4 <= image.size(); ++at)
        if (std::memcmp(image.data() + at, id, 4) == 0) return at;
    return 0;
}

class WaveParseTest : public ::testing::Test {
protected:
    int Parse(const std::vector<std::uint8_t>& image) {
        data_ = nullptr;
        data_size_ = 0;
        return ParseWaveImage(image, &format_, &data_, &data_size_);
    }
    host::WaveFormat format_;
    const std::uint8_t* data_ = nullptr;
    std::uint32_t data_size_ = 0;
    testsupport::CaptureReports reports_;
};

TEST_F(WaveParseTest, FindsTheFormatAndTheDataPastOtherChunks) {
    const auto pcm = Pcm(400);
    // An odd-sized chunk before "data" is skipped with its padding byte.
    const std::uint8_t extra[5] = {'I', 'N', 'F', 'O', 'x'};
    const auto image = MakeWave(pcm, 22050, 2, 16, extra);
    ASSERT_EQ(Parse(image), 1);
    EXPECT_EQ(format_.format_tag, 1);
    EXPECT_EQ(format_.channels, 2);
    EXPECT_EQ(format_.samples_per_sec, 22050u);
    EXPECT_EQ(format_.avg_bytes_per_sec, 88200u);
    EXPECT_EQ(format_.block_align, 4);
    EXPECT_EQ(format_.bits_per_sample, 16);
    ASSERT_EQ(data_size_, 400u);
    EXPECT_EQ(0, std::memcmp(data_, pcm.data(), 400));
    EXPECT_TRUE(reports_.debug.empty());

    // Asking for less stops as soon as that is found.
    auto no_data = image;
    no_data.resize(FindChunk(image, "data"));
    EXPECT_EQ(ParseWaveImage(no_data, &format_, nullptr, nullptr), 1);
    EXPECT_EQ(ParseWaveImage(no_data, nullptr, &data_, nullptr), 0);
}

// Each case writes one 32-bit value into a good image (unless `at` is kKeep) and keeps its first
// `size` bytes: no header, or a chunk reaching past the image or the RIFF size, is refused.
TEST_F(WaveParseTest, RefusesBadHeadersAndChunksThatDoNotFit) {
    const auto good = MakeWave(Pcm(40), 44100, 1, 16);
    const std::size_t all = good.size(), data_at = FindChunk(good, "data"), fmt_at = FindChunk(good, "fmt ");
    constexpr std::size_t kKeep = SIZE_MAX;
    const std::tuple<std::size_t, std::uint32_t, std::size_t, int> cases[] = {
        {0, 0, all, 0},                    // not RIFF
        {8, 0, all, 0},                    // not WAVE
        {kKeep, 0, 11, 0},                 // a short header
        {kKeep, 0, 0, 0},                  // nothing
        {4, 0xFFFFFFF0u, all, 1},          // a RIFF size past the image stops at its end
        {4, 0xFFFFFFF0u, data_at + 4, 0},  // ... and then the data header is cut
        {data_at + 4, 41, all, 0},         // data longer than the image
        {data_at + 4, 0xFFFFFFFFu, all, 0},
        {4, std::uint32_t(data_at + 20), all, 0},  // the data ends past the RIFF size
        {fmt_at + 4, 0x7FFFFFFFu, all, 0},         // a format running past the end
    };
    int refused = 0;
    for (auto [at, value, size, result] : cases) {
        auto image = good;
        if (at != kKeep) SetU32(image, at, value);
        image.resize(size);
        EXPECT_EQ(Parse(image), result) << at << " " << size;
        refused += result == 0;
    }
    // A chunk of size 0xFFFFFFFF before the data must not wrap the scan around.
    auto wrapped = MakeWave(Pcm(40), 44100, 1, 16, std::vector<std::uint8_t>(8, 0));
    SetU32(wrapped, FindChunk(wrapped, "LIST") + 4, 0xFFFFFFFFu);
    EXPECT_EQ(Parse(wrapped), 0);
    std::u16string expected_debug;
    for (int i = 0; i <= refused; ++i) expected_debug += u"Could not parse wave resource!\n";
    EXPECT_EQ(reports_.debug, expected_debug);
}

// Only what the chunk holds is read: without its sample size (14 or 15 bytes) the size is the
// block's share of one channel (2 bytes, mono: 16 bits), not the bytes that follow.
TEST_F(WaveParseTest, AFormatChunkNeedsFourteenBytes) {
    // The first `size` bytes of a mono format with a block of 2 bytes, padded to an even length;
    // its own sample size says 8 bits, so that a read past a shorter chunk shows.
    const std::uint8_t format[16] = {1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 1, 0, 2, 0, 8, 0};
    for (std::uint32_t size = 12; size <= 16; ++size) {
        std::vector<std::uint8_t> image = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
        image.resize(20 + size + size % 2);
        SetU32(image, 16, size);
        std::memcpy(image.data() + 20, format, size);
        image.insert(image.end(), {'d', 'a', 't', 'a', 4, 0, 0, 0, 1, 2, 3, 4});
        SetU32(image, 4, static_cast<std::uint32_t>(image.size() - 8));
        EXPECT_EQ(Parse(image), size >= 14 ? 1 : 0) << size;
        EXPECT_EQ(data_size_, size >= 14 ? 4u : 0u) << size;
        if (size >= 14) {
            EXPECT_EQ(format_.block_align, 2) << size;
            EXPECT_EQ(format_.bits_per_sample, size >= 16 ? 8 : 16) << size;
        }
    }
}

TEST_F(SoundFixture, LoadingASlotTwiceReplacesItsBufferAndImage) {
    const auto first = MakeWave(Pcm(400), 44100, 2, 16);
    const auto second = MakeWave(Pcm(800, 7), 22050, 1, 8);
    LoadSoundEffect(5, first.data(), static_cast<std::uint32_t>(first.size()));
    const SoundEffectSlot& slot = GetSoundEffectSlot(5);
    ASSERT_TRUE(slot.buffer);
    EXPECT_EQ(slot.buffer->size(), 400u);
    EXPECT_EQ(slot.image, first);
    EXPECT_EQ(device_->GetMixer().buffer_count(), 1u);

    LoadSoundEffect(5, second.data(), static_cast<std::uint32_t>(second.size()));
    ASSERT_TRUE(slot.buffer);
    EXPECT_EQ(slot.buffer->size(), 800u);
    EXPECT_EQ(slot.buffer->format().bits_per_sample, 8);
    EXPECT_EQ(slot.image, second);
    EXPECT_EQ(slot.image_size, second.size());
    EXPECT_EQ(device_->GetMixer().buffer_count(), 1u);

    // A bad image leaves the slot without a buffer; slot numbers out of range are ignored.
    const std::vector<std::uint8_t> bad(30, 0);
    LoadSoundEffect(5, bad.data(), static_cast<std::uint32_t>(bad.size()));
    EXPECT_FALSE(slot.buffer);
    EXPECT_EQ(device_->GetMixer().buffer_count(), 0u);
    LoadSoundEffect(128, first.data(), static_cast<std::uint32_t>(first.size()));
    LoadSoundEffect(-1, first.data(), static_cast<std::uint32_t>(first.size()));
    EXPECT_EQ(device_->GetMixer().buffer_count(), 0u);
    // A format the device cannot play makes no buffer either.
    auto odd = MakeWave(Pcm(300), 44100, 3, 16);
    LoadSoundEffect(6, odd.data(), static_cast<std::uint32_t>(odd.size()));
    EXPECT_FALSE(GetSoundEffectSlot(6).buffer);

    // The end of the sound frees the slots and the streams.
    LoadSoundEffect(1, first.data(), static_cast<std::uint32_t>(first.size()));
    ASSERT_GE(StartStream(nullptr, ToneFile(0.5), -1, 1, 4096, 0, 0), 0);
    TermSound();
    EXPECT_FALSE(GetSoundEffectSlot(1).buffer);
    EXPECT_TRUE(GetSoundEffectSlot(1).image.empty());
    EXPECT_EQ(GetChannelStreamId(0), -1);
    EXPECT_EQ(IsSoundAvailable(), 0);
}

TEST_F(SoundFixture, ALostSlotBufferIsRestoredAndRefilledOnTheNextTick) {
    const auto pcm = Pcm(400);
    const auto image = MakeWave(pcm, 44100, 2, 16);
    LoadSoundEffect(0, image.data(), static_cast<std::uint32_t>(image.size()));
    const SoundEffectSlot& slot = GetSoundEffectSlot(0);
    ASSERT_TRUE(slot.buffer);
    device_->GetMixer().LoseAllBuffers();
    std::uint32_t status = 0;
    slot.buffer->GetStatus(&status);
    EXPECT_EQ(status, host::kBufferLost);
    device_->Advance(10);
    slot.buffer->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    host::SoundBuffer::Region region;
    ASSERT_EQ(slot.buffer->Lock(0, 400, &region), host::kAudioOk);
    EXPECT_EQ(0, std::memcmp(region.first, pcm.data(), 400));
    slot.buffer->Unlock(region);
}

}  // namespace
