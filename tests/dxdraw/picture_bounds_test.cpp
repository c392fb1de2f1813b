// Damaged pictures are refused, never passed on as whole ones, and the picture loader never
// waits on a special file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
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
#include "support/temp_folder.h"

namespace {

// A 2x1 palette TIFF, little-endian: header, directory, the two pixel bytes, then the colour map
// (entry i = red 257 i, green 0, blue 65535), last in the file so that a cut lands inside it.
std::vector<std::uint8_t> PaletteTiff() {
    constexpr std::uint32_t kPixels = 8 + 2 + 8 * 12 + 4, kMap = kPixels + 2;
    const std::uint32_t entries[][4] = {{256, 3, 1, 2},       {257, 3, 1, 1},            // width, height
                                        {258, 3, 1, 8},       {262, 3, 1, 3},            // bits per sample, palette
                                        {273, 4, 1, kPixels}, {278, 3, 1, 1},            // strip offset, rows per strip
                                        {279, 4, 1, 2},       {320, 3, 3 * 256, kMap}};  // strip bytes, map
    std::vector<std::uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0, 8, 0};
    const auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> 8 * i));
    };
    for (const auto& e : entries) put(e[0], 2), put(e[1], 2), put(e[2], 4), put(e[3], 4);
    put(0, 4);
    put(0xFF01, 2);  // the pixels: entries 1 and 255
    for (std::uint32_t i = 0; i < 3 * 256; ++i) put(i < 256 ? i * 257 : i < 512 ? 0 : 65535, 2);
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
    for (std::size_t cut : {whole.size() - 1, whole.size() - 600, whole.size() - 1500})
        EXPECT_FALSE(LoadTiffAsDib(std::span(whole).first(cut))) << cut;
}

TEST(PictureBounds, JpegDataThatEndsBeforeThePictureIsRefused) {
    testsupport::CaptureReports reports;
    const std::vector<std::uint8_t> file = picture_test::ReadFile(picture_test::DataPath("quadrants.jpg"));
    ASSERT_GT(file.size(), 200u);
    // Whole, without only its end marker, cut inside the scan, cut inside the tables.
    const std::pair<std::size_t, bool> cases[] = {
        {file.size(), true}, {file.size() - 2, true}, {file.size() - 12, false}, {160, false}};
    for (const auto& [size, whole] : cases) {
        DxDraw::DxImage image(32);
        EXPECT_EQ(DecodeJpegToImage(image, std::span(file).first(size)), whole) << size;
        EXPECT_EQ(image.HasPixels(), whole) << size;
    }
}

// A PNG whose rows could not come from its data (deflate gives at most 1032 bytes a byte) is
// refused at its header, before anything is allocated for them: the image keeps its picture. A
// chunk declaring more than the file holds is refused before it is read.
TEST(PictureBounds, PngDeclaringMoreThanItsDataIsRefused) {
    testsupport::CaptureReports reports;
    const std::vector<std::uint8_t> file = picture_test::ReadFile(picture_test::DataPath("quadrants.png"));
    DxDraw::DxImage image(32);
    ASSERT_TRUE(DecodePngToImage(image, file));
    const int width = image.GetWidth();
    std::vector<std::uint8_t> huge = file;
    huge[18] = huge[22] = 0x20;  // width and height, big-endian: 8192 each
    huge[19] = huge[23] = 0;
    const auto crc = static_cast<std::uint32_t>(crc32(0, huge.data() + 12, 17));
    for (int i = 0; i < 4; ++i) huge[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    EXPECT_FALSE(DecodePngToImage(image, huge));
    EXPECT_EQ(image.GetWidth(), width);
    EXPECT_TRUE(image.HasPixels());
    EXPECT_FALSE(DecodePngToDib(huge));
    // A text chunk declaring 1.9 GB, in front of the picture's data: its CRC is never reached.
    std::vector<std::uint8_t> chunked = file;
    const std::uint8_t chunk[] = {0x74, 0, 0, 0x25, 't', 'E', 'X', 't', 'a', 0};
    chunked.insert(chunked.begin() + 33, std::begin(chunk), std::end(chunk));
    const long peak = testsupport::ChildPeakGrowthMiB([&] { return !DecodePngToDib(chunked); });
    EXPECT_GE(peak, 0) << "decoded";
    EXPECT_LT(peak, 64) << "MiB added to the peak";
}

TEST(PictureBounds, LoaderRefusesSpecialFilesAtOnce) {
    testsupport::CaptureReports reports;
    const testsupport::TempFolder folder("picture_bounds");
    ASSERT_EQ(::mkfifo((folder.path() / "picture.png").c_str(), 0600), 0);
    ::alarm(20);  // a blocking open would hang: the alarm turns that into a failure
    DxDraw::DxImage image(32);
    EXPECT_FALSE(image.Load(nullptr, folder.Path("picture.png")));
    EXPECT_THROW(LoadSurfaceArchive_Dx(nullptr, folder.Path("picture.png")), ExceptionHandle);
    ::alarm(0);
}

}  // namespace
