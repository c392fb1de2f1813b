#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "sound/sound_fixture.h"
#include "sound/stream_control.h"

namespace {

using namespace soundtest;

class OggStreamTest : public ::testing::Test {
protected:
    static ComPtr<IStreamControl> OpenFile(const std::filesystem::path& file) {
        auto control = CreateOggStreamControl(new CStreamFileReader());
        return control->Open(Utf8ToUtf16(file.string())) ? control : nullptr;
    }
    ComPtr<IStreamControl> OpenControl(const std::vector<std::uint8_t>& bytes) {
        return OpenFile(folder_.Write("stream" + std::to_string(count_++) + ".ogg", bytes));
    }
    // The whole stream as decoded in one pass.
    std::vector<std::uint8_t> DecodeAll(const std::vector<std::uint8_t>& bytes) {
        return ReadStream(*OpenControl(bytes));
    }

    TempFolder folder_;
    int count_ = 0;
};

// The decoder's floats are turned into 16-bit samples by our own code; every sample must come
// out as the library's own 16-bit read makes it, clipped ones included.
TEST_F(OggStreamTest, SamplesAreExactlyThoseOfTheLibrarysOwn16BitRead) {
    // A full-scale square wave overshoots after lossy coding, so that many samples clip.
    std::vector<std::int16_t> square(2 * 11025);
    for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i / 2 / 50) % 2 ? 32767 : -32767;
    std::vector<std::filesystem::path> files;
    for (const auto& bytes : {Tone(0.5), Tone(0.3, 1, 22050), EncodeOggVorbis(square, 11025, 2, 0.1f),
                              EncodeOggVorbis({square.data(), 11025}, 11025, 1, 0.1f)})
        files.push_back(folder_.Write("exact" + std::to_string(files.size()) + ".ogg", bytes));
    // And files made by other encoders: the desktop's sound theme, when one is installed.
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it("/usr/share/sounds", error), end; !error && it != end;
         it.increment(error))
        if (it->is_regular_file() && (it->path().extension() == ".oga" || it->path().extension() == ".ogg"))
            files.push_back(it->path());
    for (std::size_t n = 0; n < files.size(); ++n) {
        SCOPED_TRACE(files[n].string());
        auto control = OpenFile(files[n]);
        // A theme may hold Ogg files of other codecs; those are not ours to play.
        ASSERT_TRUE(control || n >= 4);
        if (!control) continue;
        const auto pcm = ReadStream(*control);
        EXPECT_TRUE(pcm == DecodeWithLibrary(files[n]));
        if (n == 2 || n == 3) {
            std::vector<std::int16_t> samples(pcm.size() / 2);
            std::memcpy(samples.data(), pcm.data(), samples.size() * 2);
            EXPECT_GT(std::count(samples.begin(), samples.end(), 32767), 10);
            EXPECT_GT(std::count(samples.begin(), samples.end(), -32768), 10);
        }
    }
}

TEST_F(OggStreamTest, DataThatIsNotOggVorbisDoesNotOpen) {
    EXPECT_FALSE(OpenControl(std::vector<std::uint8_t>(100, 0)));
    EXPECT_FALSE(OpenControl({}));
    auto wave = MakeWave(std::vector<std::uint8_t>(400, 0), 44100, 2, 16);
    EXPECT_FALSE(OpenControl(wave));
    // Only the headers: the decoder cannot find where the stream ends.
    auto cut = Tone(0.5);
    cut.resize(200);
    EXPECT_FALSE(OpenControl(cut));
    // A good start and then zeros (a download cut short): a little after the last page does no
    // harm, but without a page in the last 64 KiB the stream is broken, and the library's search
    // back through the zeros is never started.
    testsupport::CaptureReports reports;
    auto padded = Tone(0.5);
    padded.resize(padded.size() + 1000);
    EXPECT_TRUE(OpenControl(padded));
    padded.resize(padded.size() + (64 << 10));
    EXPECT_FALSE(OpenControl(padded));
    EXPECT_EQ(reports.debug,
              u"Ogg stream '" + folder_.Path("stream5.ogg") + u"': no page near its end; taken as broken\n");
}

// A pass cut at 600 bytes, read into 1000: a plain read pads with silence and then gives
// nothing; a looping one continues from the start of the stream.
TEST_F(OggStreamTest, AReadPastThePassPadsWithSilenceOrLoopsToTheStart) {
    const auto& bytes = Tone(0.5);
    const auto whole = DecodeAll(bytes);
    auto control = OpenControl(bytes);
    StreamChannel channel;
    for (bool loop : {false, true}) {
        SCOPED_TRACE(loop);
        PrepareChannel(channel, *control, loop);
        control->Rewind();
        channel.remaining_in_pass = 600;
        std::vector<std::uint8_t> buffer(1000, 0xAA), expected(whole.begin(), whole.begin() + 1000);
        if (!loop) std::fill(expected.begin() + 600, expected.end(), 0);
        std::copy_n(whole.begin(), loop ? 400 : 0, expected.begin() + 600);
        EXPECT_EQ(control->ReadPCM(&channel, buffer.data(), 1000), loop ? 1000u : 600u);
        EXPECT_TRUE(buffer == expected);
        EXPECT_EQ(channel.remaining_in_pass, loop ? whole.size() - 400 : 0u);
        EXPECT_EQ((channel.flags & kStreamSourceEnded) != 0, !loop);
    }
    PrepareChannel(channel, *control, false);
    channel.remaining_in_pass = 0;
    std::uint8_t byte;
    EXPECT_EQ(control->ReadPCM(&channel, &byte, 1), 0u) << "nothing after the end";

    // A request several times the stream's length rewinds as often as needed.
    PrepareChannel(channel, *control, true);
    control->Rewind();
    std::vector<std::uint8_t> big(whole.size() * 3 + 1000);
    EXPECT_EQ(control->ReadPCM(&channel, big.data(), static_cast<std::uint32_t>(big.size())), big.size());
    for (int pass = 0; pass < 3; ++pass)
        ASSERT_EQ(0, std::memcmp(big.data() + pass * whole.size(), whole.data(), whole.size())) << pass;
    EXPECT_EQ(0, std::memcmp(big.data() + 3 * whole.size(), whole.data(), 1000));
    EXPECT_EQ(channel.remaining_in_pass, whole.size() - 1000);

    // Ending exactly at the end of a pass starts the next read from the beginning.
    PrepareChannel(channel, *control, true);
    control->Rewind();
    EXPECT_EQ(control->ReadPCM(&channel, big.data(), static_cast<std::uint32_t>(whole.size())), whole.size());
    EXPECT_TRUE(channel.flags & kStreamSourceEnded);
    EXPECT_EQ(control->ReadPCM(&channel, big.data(), 1000), 1000u);
    EXPECT_EQ(0, std::memcmp(big.data(), whole.data(), 1000));
}

// Damage in the audio pages, read once non-looping and once looping into a buffer of twice the
// stream's length: the stream is refused at Open, or gives silence, or plays its intact part up
// to the damage (a looping read then starts that part again), and the rest is silence.
TEST_F(OggStreamTest, DamagedStreamsAreRefusedOrPlayTheirIntactPart) {
    enum Outcome { kRefused, kSilent, kIntactPart };
    const auto& good = Tone(1.0);
    const auto whole = DecodeAll(good);
    const std::pair<std::size_t, Outcome> cases[] = {
        {good.size() / 3, kRefused}, {good.size() / 2, kSilent}, {good.size() - 300, kIntactPart}};
    for (auto [at, outcome] : cases) {
        auto damaged = good;
        for (std::size_t k = 0; k < 64; ++k) damaged[at + k] ^= static_cast<std::uint8_t>(0x5A + k);
        for (bool loop : {false, true}) {
            SCOPED_TRACE(testing::Message() << at << (loop ? " looping" : ""));
            auto control = OpenControl(damaged);
            ASSERT_EQ(!control, outcome == kRefused);
            if (!control) continue;
            StreamChannel channel;
            PrepareChannel(channel, *control, loop);
            const std::uint32_t total = control->GetTotalBytes();
            std::vector<std::uint8_t> buffer(total * 2 + 4, 0xAA);
            const std::uint32_t got =
                control->ReadPCM(&channel, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
            std::size_t sound = 0;
            if (outcome == kIntactPart) {
                ASSERT_LT(total, whole.size());
                EXPECT_EQ(0, std::memcmp(buffer.data(), whole.data(), total));
                if (loop) {
                    EXPECT_EQ(0, std::memcmp(buffer.data() + total, whole.data(), total));
                }
                sound = loop ? buffer.size() : total;
            }
            EXPECT_EQ(got, sound);
            EXPECT_EQ(std::count(buffer.begin() + static_cast<long>(sound), buffer.end(), 0),
                      static_cast<long>(buffer.size() - sound))
                << "silence after the sound";
            EXPECT_EQ((channel.flags & kStreamSourceEnded) != 0, !loop);
        }
    }
    // A cut stream ends at its last whole page.
    auto truncated = Tone(4.0);
    truncated.resize(truncated.size() / 2);
    auto control = OpenControl(truncated);
    ASSERT_TRUE(control);
    EXPECT_LT(control->GetTotalBytes(), 3u * 4 * kRate);
    EXPECT_GT(control->GetTotalBytes(), 4u * kRate / 2);
    EXPECT_EQ(DecodeAll(truncated).size(), control->GetTotalBytes());
}

}  // namespace
