#include <gtest/gtest.h>

#include <numeric>

#include "archive/archive.h"
#include "sound/sound_fixture.h"
#include "sound/stream_control.h"
#include "sound/stream_reader.h"

namespace {

using namespace soundtest;

std::vector<std::uint8_t> Counting(std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), 0);
    return bytes;
}

// The same positions and reads from either reader: ordinary file positions, the end included.
void CheckFilePositions(IStreamReader& reader) {
    ASSERT_EQ(reader.GetSize(), 200u);
    EXPECT_EQ(reader.Tell(), 0);
    EXPECT_EQ(reader.Seek(0, kStreamSeekEnd), 200);
    EXPECT_EQ(reader.Tell(), 200);
    std::uint8_t buffer[100] = {};
    EXPECT_EQ(reader.Read(buffer, 100), 0u);
    EXPECT_EQ(reader.Seek(-1, kStreamSeekEnd), 199);
    EXPECT_EQ(reader.Read(buffer, 100), 1u);
    EXPECT_EQ(buffer[0], 199);
    EXPECT_EQ(reader.Seek(170, kStreamSeekSet), 170);
    EXPECT_EQ(reader.Read(buffer, 100), 30u);  // stops at the end
    EXPECT_EQ(buffer[29], 199);
    EXPECT_EQ(reader.Read(buffer, 100), 0u);
    EXPECT_EQ(reader.Seek(-50, kStreamSeekCur), 150);
    EXPECT_EQ(reader.Read(buffer, 2), 2u);
    EXPECT_EQ(buffer[0], 150);
    // Failures say so and leave the position alone.
    EXPECT_EQ(reader.Seek(201, kStreamSeekSet), -1);
    EXPECT_EQ(reader.Seek(1, kStreamSeekEnd), -1);
    EXPECT_EQ(reader.Seek(-153, kStreamSeekCur), -1);
    EXPECT_EQ(reader.Seek(0, 3), -1);
    EXPECT_EQ(reader.Seek(INT64_MAX, kStreamSeekCur), -1);
    EXPECT_EQ(reader.Tell(), 152);
}

TEST(StreamReaderTest, AFileReaderUsesOrdinaryFilePositions) {
    TempFolder folder;
    const auto file = folder.Write("data.bin", Counting(200));
    auto reader = ComPtr<IStreamReader>::Adopt(new CStreamFileReader());
    EXPECT_EQ(reader->Open(u"/no/such/file"), 0);
    EXPECT_EQ(reader->Open(Utf8ToUtf16(folder.path().string())), 0);  // a folder is not a stream
    ASSERT_EQ(reader->Open(Utf8ToUtf16(file.string())), 1);
    CheckFilePositions(*reader);
    reader->Close();
    EXPECT_EQ(reader->GetSize(), 0u);
    std::uint8_t byte;
    EXPECT_EQ(reader->Read(&byte, 1), 0u);
    EXPECT_EQ(reader->Seek(0, kStreamSeekSet), -1);
}

TEST(StreamReaderTest, AnArchiveReaderReachesTheEntrysEnd) {
    TempFolder folder;
    folder.Write("sound/data.bin", Counting(200));
    ComPtr<IArchive> archive = OpenDirArchive(Utf8ToUtf16(folder.path().string()));
    ASSERT_TRUE(archive);
    auto reader = ComPtr<IStreamReader>::Adopt(new CStreamArchiveReader(archive.Get()));
    EXPECT_EQ(reader->Open(u"sound/missing.bin"), 0);
    ASSERT_EQ(reader->Open(u"sound\\DATA.BIN"), 1);
    CheckFilePositions(*reader);
    archive.Reset();  // the reader keeps its own reference
    EXPECT_EQ(reader->Seek(10, kStreamSeekSet), 10);
    std::uint8_t byte = 0;
    EXPECT_EQ(reader->Read(&byte, 1), 1u);
    EXPECT_EQ(byte, 10);
}

// The decoder finds a stream's length by seeking to the end and asking for the position there;
// an entry read through the archive must give exactly what the file gives, last byte included,
// and a stream starts from it.
TEST_F(SoundFixture, AnOggStreamFromAnArchiveDecodesLikeTheFileAndPlays) {
    const auto file = folder_.Write("bgm/tone.ogg", Tone(0.7));
    ComPtr<IArchive> archive = OpenDirArchive(Utf8ToUtf16(folder_.path().string()));
    ASSERT_TRUE(archive);
    auto from_file = CreateOggStreamControl(new CStreamFileReader());
    auto from_archive = CreateOggStreamControl(new CStreamArchiveReader(archive.Get()));
    ASSERT_EQ(from_file->Open(Utf8ToUtf16(file.string())), 1);
    ASSERT_EQ(from_archive->Open(u"bgm/tone.ogg"), 1);
    EXPECT_EQ(from_archive->GetTotalBytes(), from_file->GetTotalBytes());
    EXPECT_EQ(from_file->GetTotalBytes(), 30870u * 4);  // 0.7 s
    const std::size_t length = from_file->GetTotalBytes() * 2 + 400;
    EXPECT_EQ(ReadStream(*from_archive, true, length), ReadStream(*from_file, true, length));

    EXPECT_EQ(StartStream(archive.Get(), u"bgm/none.ogg", 3, 0, 4096, 0, 0), -1);
    const int id = StartStream(archive.Get(), u"bgm/tone.ogg", 3, 0, 4096, 0, 0);
    ASSERT_GE(id, 0);
    EXPECT_EQ(GetChannelStreamId(3), id);
    device_->Advance(1000);
    EXPECT_EQ(GetChannelStreamId(3), -1);
    EXPECT_NEAR(static_cast<double>(SoundingLength(TakeOutput().first, 200.0)), 0.7 * kRate, 0.002 * kRate);
}

}  // namespace
