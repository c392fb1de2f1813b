// Damaged pictures are refused, never passed on as whole ones, and the picture loader never
// waits on a special file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <zlib.h>

#include "dxdraw/dib.h"
#include "dxdraw/dximage.h"
#include "dxdraw/load_surface.h"
#include "dxdraw/picture_decoders.h"
#include "lib/error.h"
#include "lib/text.h"
#include "picture_test_util.h"
#include "support/capture_reports.h"
#include "support/child_peak.h"

namespace {

using picture_test::DataPath;
using picture_test::ReadFile;

void PutU16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

// A 2x1 palette TIFF, little-endian: header, directory, the two pixel bytes, then the colour map
// (entry i = red 257 i, green 0, blue 65535), last in the file so that a cut lands inside it.
std::vector<std::uint8_t> PaletteTiff() {
    constexpr std::uint32_t kEntries = 8;
    constexpr std::uint32_t kPixels = 8 + 2 + kEntries * 12 + 4;
    constexpr std::uint32_t kMap = kPixels + 2;
    std::vector<std::uint8_t> out = {'I', 'I', 42, 0};
    PutU32(out, 8);
    PutU16(out, kEntries);
    auto entry = [&](unsigned tag, unsigned type, std::uint32_t count, std::uint32_t value) {
        PutU16(out, tag);
        PutU16(out, type);
        PutU32(out, count);
        PutU32(out, value);
    };
    entry(256, 3, 1, 2);        // width
    entry(257, 3, 1, 1);        // height
    entry(258, 3, 1, 8);        // bits per sample
    entry(262, 3, 1, 3);        // palette
    entry(273, 4, 1, kPixels);  // strip offset
    entry(278, 3, 1, 1);        // rows per strip
    entry(279, 4, 1, 2);        // strip bytes
    entry(320, 3, 3 * 256, kMap);
    PutU32(out, 0);
    out.push_back(1);
    out.push_back(255);
    for (unsigned i = 0; i < 256; ++i) PutU16(out, i * 257);
    for (unsigned i = 0; i < 256; ++i) PutU16(out, 0);
    for (unsigned i = 0; i < 256; ++i) PutU16(out, 65535);
    return out;
}

TEST(PictureBounds, TiffCutInsideItsColourMapIsRefused) {
    testsupport::CaptureReports reports;
    const std::vector<std::uint8_t> whole = PaletteTiff();
    DxDraw::DibBuffer dib = LoadTiffAsDib(whole);
    ASSERT_TRUE(dib);
    ASSERT_EQ(dib.header().biBitCount, 8);
    EXPECT_EQ(dib.palette()[255], (DxDraw::PaletteEntry{255, 0, 255, 0}));
    EXPECT_EQ(dib.rows()[1], 255);
    for (std::size_t cut : {whole.size() - 1, whole.size() - 600, whole.size() - 1500}) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(LoadTiffAsDib(std::span(whole).first(cut)));
    }
}

TEST(PictureBounds, JpegDataThatEndsBeforeThePictureIsRefused) {
    testsupport::CaptureReports reports;
    const std::vector<std::uint8_t> file = ReadFile(DataPath("quadrants.jpg"));
    ASSERT_GT(file.size(), 200u);
    struct Case {
        std::size_t size;
        bool whole;
    };
    const Case cases[] = {{file.size(), true},        // the picture as written
                          {file.size() - 2, true},    // only the end marker missing
                          {file.size() - 12, false},  // cut inside the scan
                          {file.size() - 40, false},
                          {160, false}};  // cut inside the tables
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const std::span<const std::uint8_t> data(file.data(), c.size);
        EXPECT_EQ(static_cast<bool>(DecodeJpegToDib(data)), c.whole);
        DxDraw::DxImage image(32);
        EXPECT_EQ(DecodeJpegToImage(image, data), c.whole);
        EXPECT_EQ(image.HasPixels(), c.whole);
    }
}

// A PNG whose rows could not come from its data (deflate gives at most 1032 bytes a byte) is
// refused at its header, before anything is allocated for them: the image keeps its picture.
TEST(PictureBounds, PngTooShortForItsDeclaredRowsIsRefusedAtTheHeader) {
    testsupport::CaptureReports reports;
    const std::vector<std::uint8_t> file = ReadFile(DataPath("quadrants.png"));
    DxDraw::DxImage image(32);
    ASSERT_TRUE(DecodePngToImage(image, file));
    const int width = image.GetWidth();
    std::vector<std::uint8_t> huge = file;
    for (std::size_t at : {16u, 20u}) {  // width and height, big-endian: 8192 each
        huge[at + 2] = 0x20;
        huge[at + 3] = 0;
    }
    const auto crc = static_cast<std::uint32_t>(crc32(0, huge.data() + 12, 17));
    for (int i = 0; i < 4; ++i) huge[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    EXPECT_FALSE(DecodePngToImage(image, huge));
    EXPECT_EQ(image.GetWidth(), width);
    EXPECT_TRUE(image.HasPixels());
    EXPECT_FALSE(DecodePngToDib(huge));
}

TEST(PictureBounds, PngChunksLongerThanTheFileAreRefused) {
    testsupport::CaptureReports reports;
    std::vector<std::uint8_t> file = ReadFile(DataPath("quadrants.png"));
    ASSERT_TRUE(DecodePngToDib(file));
    // A text chunk declaring 1.9 GB, in front of the picture's data: its CRC is never reached.
    const std::uint8_t chunk[] = {0x74, 0, 0, 0x25, 't', 'E', 'X', 't', 'a', 0};
    file.insert(file.begin() + 33, std::begin(chunk), std::end(chunk));
    const long peak = testsupport::ChildPeakGrowthMiB([&] { return !DecodePngToDib(file); });
    EXPECT_GE(peak, 0) << "decoded";
    EXPECT_LT(peak, 64) << "MiB added to the peak";
}

TEST(PictureBounds, LoaderRefusesSpecialFilesAtOnce) {
    testsupport::CaptureReports reports;
    const auto dir = std::filesystem::temp_directory_path() / ("picture_bounds_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string fifo = (dir / "picture.png").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::alarm(20);  // a blocking open would hang: the alarm turns that into a failure
    DxDraw::DxImage image(32);
    EXPECT_FALSE(image.Load(nullptr, Utf8ToUtf16(fifo)));
    EXPECT_THROW(LoadSurfaceArchive_Dx(nullptr, Utf8ToUtf16(fifo)), ExceptionHandle);
    ::alarm(0);
    std::filesystem::remove_all(dir);
}

}  // namespace
