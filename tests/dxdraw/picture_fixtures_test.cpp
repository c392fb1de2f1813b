// Pictures made by another program (ImageMagick) decode to the colours they were drawn with:
// a 16 x 12 picture, red top left, blue top right, green bottom left, white bottom right.
#include <gtest/gtest.h>

#include <string>

#include "archive/archive.h"
#include "dxdraw/dib.h"
#include "dxdraw/dximage.h"
#include "dxdraw/load_surface.h"
#include "dxdraw/picture_decoders.h"
#include "lib/error.h"
#include "lib/text.h"
#include "picture_test_util.h"
#include "support/capture_reports.h"

using picture_test::DataPath;
using picture_test::PixelAt;
using picture_test::ReadFile;
using picture_test::Rgba;

namespace {

enum class Kind { Loader, Jpeg, Tiff };

struct Fixture {
    const char* file;
    Kind kind;
    int tolerance;         // lossy files
    bool halfTransparent;  // right half at opacity 128
    bool grey;
};

class PictureFixtureTest : public ::testing::TestWithParam<Fixture> {};

void ExpectNear(const Rgba& got, const Rgba& want, int tolerance) {
    EXPECT_NEAR(got.b, want.b, tolerance) << got;
    EXPECT_NEAR(got.g, want.g, tolerance) << got;
    EXPECT_NEAR(got.r, want.r, tolerance) << got;
    EXPECT_NEAR(got.a, want.a, tolerance) << got;
}

Rgba Grey(const Rgba& c) {
    // The luma ImageMagick uses for its grey colour space (Rec. 709, rounded).
    const int g = static_cast<int>(0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b + 0.5);
    return Rgba{g, g, g, c.a};
}

TEST_P(PictureFixtureTest, DecodesTheFourQuadrants) {
    const Fixture& f = GetParam();
    testsupport::CaptureReports reports;
    const std::vector<std::uint8_t> bytes = ReadFile(DataPath(f.file));
    ASSERT_FALSE(bytes.empty());

    DxDraw::DxImage image(32);
    if (f.kind == Kind::Loader) {
        ASSERT_TRUE(image.Load(nullptr, Utf8ToUtf16(DataPath(f.file))));
    } else {
        const DxDraw::DibBuffer dib = f.kind == Kind::Jpeg ? DecodeJpegToDib(bytes) : LoadTiffAsDib(bytes);
        ASSERT_TRUE(dib);
        ASSERT_TRUE(image.LoadFromDib(dib.bytes()));
    }
    ASSERT_EQ(image.GetWidth(), 16);
    ASSERT_EQ(image.GetHeight(), 12);

    const int halfAlpha = f.halfTransparent ? 128 : 255;
    struct Probe {
        int x, y;
        Rgba colour;
    } probes[] = {
        {1, 1, {0, 0, 255, 255}},
        {14, 1, {255, 0, 0, halfAlpha}},
        {1, 10, {0, 255, 0, 255}},
        {14, 10, {255, 255, 255, halfAlpha}},
    };
    for (const Probe& p : probes) {
        SCOPED_TRACE(testing::Message() << f.file << " at " << p.x << "," << p.y);
        ExpectNear(PixelAt(image, p.x, p.y), f.grey ? Grey(p.colour) : p.colour, f.tolerance);
    }
}

INSTANTIATE_TEST_SUITE_P(MadeByImageMagick, PictureFixtureTest,
                         ::testing::Values(Fixture{"quadrants.png", Kind::Loader, 0, false, false},
                                           Fixture{"quadrants_palette.png", Kind::Loader, 0, false, false},
                                           Fixture{"quadrants_rgb.png", Kind::Loader, 0, false, false},
                                           Fixture{"quadrants_rgb16.png", Kind::Loader, 0, false, false},
                                           Fixture{"quadrants_interlaced.png", Kind::Loader, 0, false, false},
                                           Fixture{"quadrants_gray.png", Kind::Loader, 1, false, true},
                                           Fixture{"quadrants_alpha.png", Kind::Loader, 1, true, false},
                                           Fixture{"quadrants24.bmp", Kind::Loader, 0, false, false},
                                           Fixture{"quadrants8.bmp", Kind::Loader, 0, false, false},
                                           Fixture{"quadrants32.bmp", Kind::Loader, 1, true, false},
                                           Fixture{"quadrants.jpg", Kind::Jpeg, 12, false, false},
                                           Fixture{"quadrants_gray.jpg", Kind::Jpeg, 12, false, true},
                                           Fixture{"quadrants.tif", Kind::Tiff, 0, false, false}),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             for (char& c : name)
                                 if (c == '.') c = '_';
                             return name;
                         });

TEST(LoadSurfaceArchive, ReadsPicturesFromAnArchiveAndRaisesForMissingOnes) {
    ComPtr<IArchive> folder = OpenDirArchive(Utf8ToUtf16(std::string(QB_TEST_DATA_DIR) + "/images"));
    ASSERT_TRUE(folder);
    ComPtr<DxDraw::DxSurface> surface = LoadSurfaceArchive_Dx(folder.Get(), u"QUADRANTS_RGB.PNG");
    ASSERT_TRUE(surface);
    EXPECT_EQ(surface->GetSurfaceRect(), (RECT{0, 0, 16, 12}));
    EXPECT_EQ(PixelAt(*surface, 14, 10), (Rgba{255, 255, 255, 255}));

    try {
        LoadSurfaceArchive_Dx(folder.Get(), u"missing.png");
        FAIL() << "no exception";
    } catch (const ExceptionHandle& e) {
        EXPECT_EQ(std::u16string(e.message), u"LoadSurfaceArchive_Dx: file not found 'missing.png'.\n");
        EXPECT_EQ(std::u16string(e.file), u"dxdraw/dxdraw");
        EXPECT_EQ(e.line, 431u);
    }
    // JPEG is for the picture commands to decode; the loader does not take it.
    EXPECT_THROW(LoadSurfaceArchive_Dx(folder.Get(), u"quadrants.jpg"), ExceptionHandle);
}

}  // namespace
