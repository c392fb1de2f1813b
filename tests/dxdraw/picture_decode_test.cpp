// Every picture kind the decoders accept, made by the same libraries, decodes to the pixels it
// was made with; damaged pictures fail cleanly.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include <zlib.h>

#include "dxdraw/dib.h"
#include "dxdraw/dximage.h"
#include "dxdraw/picture_decoders.h"
#include "lib/text.h"
#include "picture_encoders.h"
#include "picture_test_util.h"
#include "support/capture_reports.h"

using namespace picture_test;

namespace {

// ---- PNG ---------------------------------------------------------------------------------

struct PngCase {
    int colourType;
    int depth;
    bool transparency;
    bool interlace;
};

constexpr int kW = 13, kH = 7;  // odd sizes: padded rows, partial bytes

int Sample(int x, int y, int channel, int depth) {
    const int v = x * 7 + y * 13 + channel * 29;
    return depth == 16 ? (v * 997) & 0xFFFF : v & ((1 << depth) - 1);
}

int To8(int v, int depth) { return depth == 16 ? v >> 8 : v * 255 / ((1 << depth) - 1); }

int Channels(int colourType) {
    switch (colourType) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE: return 1;
        case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
        case PNG_COLOR_TYPE_RGB: return 3;
        default: return 4;
    }
}

void PutSample(std::vector<std::uint8_t>& row, int index, int value, int depth) {
    if (depth == 16) {
        row[static_cast<std::size_t>(index) * 2] = static_cast<std::uint8_t>(value >> 8);
        row[static_cast<std::size_t>(index) * 2 + 1] = static_cast<std::uint8_t>(value);
    } else if (depth == 8) {
        row[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value);
    } else {
        const int bit = index * depth;
        row[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(value << (8 - depth - bit % 8));
    }
}

class PngDecodeTest : public ::testing::TestWithParam<PngCase> {};

TEST_P(PngDecodeTest, DecodesEveryPixel) {
    const PngCase c = GetParam();
    testsupport::CaptureReports reports;
    PngPicture p;
    p.width = kW;
    p.height = kH;
    p.colourType = c.colourType;
    p.depth = c.depth;
    p.interlace = c.interlace;
    const int channels = Channels(c.colourType);
    for (int y = 0; y < kH; ++y) {
        std::vector<std::uint8_t> row((kW * channels * c.depth + 7) / 8, 0);
        for (int x = 0; x < kW; ++x)
            for (int ch = 0; ch < channels; ++ch) PutSample(row, x * channels + ch, Sample(x, y, ch, c.depth), c.depth);
        p.rows.push_back(row);
    }
    if (c.colourType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < (1 << c.depth); ++i)
            p.palette.push_back(
                png_color{static_cast<png_byte>(i * 3), static_cast<png_byte>(255 - i), static_cast<png_byte>(i * 7)});
        if (c.transparency)
            for (int i = 0; i < (1 << c.depth); ++i) p.paletteAlpha.push_back(static_cast<std::uint8_t>(255 - i * 5));
    } else if (c.transparency) {
        // The colour of pixel (0, 0) is the transparent one.
        p.trnsColour = true;
        p.trns.gray = static_cast<png_uint_16>(Sample(0, 0, 0, c.depth));
        p.trns.red = static_cast<png_uint_16>(Sample(0, 0, 0, c.depth));
        p.trns.green = static_cast<png_uint_16>(Sample(0, 0, 1, c.depth));
        p.trns.blue = static_cast<png_uint_16>(Sample(0, 0, 2, c.depth));
    }

    const std::vector<std::uint8_t> png = EncodePng(p);
    const DxDraw::DibBuffer dib = DecodePngToDib(png);
    ASSERT_TRUE(dib);
    const bool wantsAlpha =
        c.transparency || c.colourType == PNG_COLOR_TYPE_GRAY_ALPHA || c.colourType == PNG_COLOR_TYPE_RGB_ALPHA;
    const int expectedBits = wantsAlpha ? 32 : c.colourType == PNG_COLOR_TYPE_RGB ? 24 : 8;
    EXPECT_EQ(DxDraw::ParsePackedDib(dib.bytes())->bitCount, static_cast<std::uint32_t>(expectedBits));

    DxDraw::DxImage image(32);
    ASSERT_TRUE(image.LoadFromDib(dib.bytes()));
    ASSERT_EQ(image.GetWidth(), kW);
    ASSERT_EQ(image.GetHeight(), kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            Rgba want{};
            const int s0 = Sample(x, y, 0, c.depth);
            switch (c.colourType) {
                case PNG_COLOR_TYPE_PALETTE:
                    want = Rgba{s0 * 7 & 255, 255 - s0, s0 * 3 & 255, c.transparency ? (255 - s0 * 5) & 255 : 255};
                    break;
                case PNG_COLOR_TYPE_GRAY: {
                    const int g = To8(s0, c.depth);
                    want = Rgba{g, g, g, c.transparency && s0 == Sample(0, 0, 0, c.depth) ? 0 : 255};
                    break;
                }
                case PNG_COLOR_TYPE_GRAY_ALPHA: {
                    const int g = To8(s0, c.depth);
                    want = Rgba{g, g, g, To8(Sample(x, y, 1, c.depth), c.depth)};
                    break;
                }
                default: {
                    const int r = Sample(x, y, 0, c.depth), g = Sample(x, y, 1, c.depth), b = Sample(x, y, 2, c.depth);
                    int a = 255;
                    if (c.colourType == PNG_COLOR_TYPE_RGB_ALPHA) a = To8(Sample(x, y, 3, c.depth), c.depth);
                    if (c.transparency && r == Sample(0, 0, 0, c.depth) && g == Sample(0, 0, 1, c.depth) &&
                        b == Sample(0, 0, 2, c.depth))
                        a = 0;
                    want = Rgba{To8(b, c.depth), To8(g, c.depth), To8(r, c.depth), a};
                }
            }
            ASSERT_EQ(PixelAt(image, x, y), want) << "at " << x << "," << y;
        }

    // Straight into an image of either depth: exactly what the DIB and its conversion give.
    for (std::uint32_t depth : {32u, 16u}) {
        DxDraw::DxImage viaDib(depth), straight(depth);
        ASSERT_TRUE(viaDib.LoadFromDib(dib.bytes()));
        ASSERT_TRUE(DecodePngToImage(straight, png));
        ASSERT_EQ(straight.GetImageSize(), viaDib.GetImageSize());
        EXPECT_EQ(std::memcmp(straight.GetBits(), viaDib.GetBits(), viaDib.GetImageSize()), 0) << "depth " << depth;
    }
    EXPECT_TRUE(reports.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    EveryColourTypeAndDepth, PngDecodeTest,
    ::testing::Values(
        PngCase{PNG_COLOR_TYPE_GRAY, 1, false, false}, PngCase{PNG_COLOR_TYPE_GRAY, 2, false, false},
        PngCase{PNG_COLOR_TYPE_GRAY, 4, false, false}, PngCase{PNG_COLOR_TYPE_GRAY, 8, false, false},
        PngCase{PNG_COLOR_TYPE_GRAY, 16, false, false}, PngCase{PNG_COLOR_TYPE_GRAY, 1, true, false},
        PngCase{PNG_COLOR_TYPE_GRAY, 4, true, false}, PngCase{PNG_COLOR_TYPE_GRAY, 8, true, false},
        PngCase{PNG_COLOR_TYPE_GRAY, 16, true, false}, PngCase{PNG_COLOR_TYPE_PALETTE, 1, false, false},
        PngCase{PNG_COLOR_TYPE_PALETTE, 2, false, false}, PngCase{PNG_COLOR_TYPE_PALETTE, 4, false, false},
        PngCase{PNG_COLOR_TYPE_PALETTE, 8, false, false}, PngCase{PNG_COLOR_TYPE_PALETTE, 2, true, false},
        PngCase{PNG_COLOR_TYPE_PALETTE, 8, true, false}, PngCase{PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false},
        PngCase{PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, false}, PngCase{PNG_COLOR_TYPE_RGB, 8, false, false},
        PngCase{PNG_COLOR_TYPE_RGB, 16, false, false}, PngCase{PNG_COLOR_TYPE_RGB, 8, true, false},
        PngCase{PNG_COLOR_TYPE_RGB, 16, true, false}, PngCase{PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false},
        PngCase{PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false}, PngCase{PNG_COLOR_TYPE_RGB, 8, false, true},
        PngCase{PNG_COLOR_TYPE_PALETTE, 4, false, true}));

TEST(PngDecode, TruncatedOrDamagedDataFailsWithTheLibraryBox) {
    testsupport::CaptureReports reports;
    PngPicture p;
    p.width = kW;
    p.height = kH;
    p.rows.assign(kH, std::vector<std::uint8_t>(kW * 3, 0x55));
    const std::vector<std::uint8_t> good = EncodePng(p);
    ASSERT_TRUE(DecodePngToDib(good));

    const std::vector<std::uint8_t> half(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2));
    EXPECT_FALSE(DecodePngToDib(half));
    ASSERT_FALSE(reports.boxes.empty());
    EXPECT_EQ(reports.boxes.back().caption, u"libpng error");
    EXPECT_NE(reports.boxes.back().text.find(u"\n\nOnMemory:\n"), std::u16string::npos);

    std::vector<std::uint8_t> damaged = good;
    damaged[20] ^= 0xFF;  // inside the header chunk: its checksum no longer matches
    EXPECT_FALSE(DecodePngToDib(damaged));
    EXPECT_FALSE(DecodePngToDib({}));

    // Straight into an image: refused at the header, the image stays as it was; failing part-way,
    // it is left without pixels rather than half a picture.
    DxDraw::DxImage image(32);
    ASSERT_TRUE(DecodePngToImage(image, good));
    EXPECT_FALSE(DecodePngToImage(image, damaged));
    EXPECT_FALSE(DecodePngToImage(image, {}));
    EXPECT_EQ(image.GetWidth(), kW);
    const std::vector<std::uint8_t> rowsCut(good.begin(), good.end() - 16);  // the pixel data's checksum and the end
    EXPECT_FALSE(DecodePngToImage(image, rowsCut));
    EXPECT_FALSE(image.HasPixels());
    DxDraw::DxImage image8(8);
    EXPECT_FALSE(DecodePngToImage(image8, good));
}

TEST(PngDecode, LoaderLooksOnlyAtBytesOneToThree) {
    PngPicture p;
    p.width = 2;
    p.height = 2;
    p.rows.assign(2, std::vector<std::uint8_t>(6, 0x80));
    std::vector<std::uint8_t> bytes = EncodePng(p);
    const std::string path = ::testing::TempDir() + "byte0_" + std::to_string(::getpid()) + ".png";
    // Byte 0 is not looked at by the loader, so the file still reaches the PNG decoder, whose
    // library then refuses the signature with its error box.
    bytes[0] = 'X';
    {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    testsupport::CaptureReports reports;
    DxDraw::DxImage image(32);
    EXPECT_FALSE(image.Load(nullptr, Utf8ToUtf16(path)));
    ASSERT_EQ(reports.boxes.size(), 1u);
    EXPECT_EQ(reports.boxes[0].caption, u"libpng error");
}

// ---- JPEG --------------------------------------------------------------------------------

std::vector<std::uint8_t> Gradient(int width, int height, int components) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * components);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c)
                pixels[(static_cast<std::size_t>(y) * width + x) * components + c] =
                    static_cast<std::uint8_t>((x * 9 + y * 5 + c * 60) & 255);
    return pixels;
}

TEST(JpegDecode, ColourAndGreyMatchTheBareLibraryDecode) {
    for (int components : {3, 1}) {
        SCOPED_TRACE(components);
        const std::vector<std::uint8_t> jpeg = EncodeJpeg(37, 21, components, Gradient(37, 21, components));
        int w = 0, h = 0;
        const std::vector<std::uint8_t> bare = BareJpegDecode(jpeg, &w, &h);
        const DxDraw::DibBuffer dib = DecodeJpegToDib(jpeg);
        ASSERT_TRUE(dib);
        DxDraw::DxImage image(32);
        ASSERT_TRUE(image.LoadFromDib(dib.bytes()));
        ASSERT_EQ(image.GetWidth(), w);
        ASSERT_EQ(image.GetHeight(), h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint8_t* rgb = &bare[(static_cast<std::size_t>(y) * w + x) * 3];
                ASSERT_EQ(PixelAt(image, x, y), (Rgba{rgb[2], rgb[1], rgb[0], 255})) << x << "," << y;
            }
    }
}

TEST(JpegDecode, CmykIsRefusedAndGarbageFails) {
    testsupport::CaptureReports reports;
    EXPECT_FALSE(DecodeJpegToDib(EncodeJpeg(8, 8, 4, Gradient(8, 8, 4))));
    const std::vector<std::uint8_t> garbage(100, 0x42);
    EXPECT_FALSE(DecodeJpegToDib(garbage));
    ASSERT_FALSE(reports.boxes.empty());
    EXPECT_EQ(reports.boxes.back().style & host::kMbIconMask, host::kMbIconStop);
}

// The straight decode into an image must give exactly what the DIB and its conversion give.
TEST(JpegDecode, StraightIntoAnImageMatchesTheDibConversion) {
    for (int components : {3, 1})
        for (std::uint32_t depth : {32u, 16u}) {
            SCOPED_TRACE(testing::Message() << components << " components, depth " << depth);
            const std::vector<std::uint8_t> jpeg = EncodeJpeg(37, 21, components, Gradient(37, 21, components));
            DxDraw::DxImage viaDib(depth), straight(depth);
            ASSERT_TRUE(viaDib.LoadFromDib(DecodeJpegToDib(jpeg).bytes()));
            ASSERT_TRUE(DecodeJpegToImage(straight, jpeg));
            ASSERT_EQ(straight.GetWidth(), viaDib.GetWidth());
            ASSERT_EQ(straight.GetHeight(), viaDib.GetHeight());
            ASSERT_EQ(straight.GetImageSize(), viaDib.GetImageSize());
            EXPECT_EQ(std::memcmp(straight.GetBits(), viaDib.GetBits(), viaDib.GetImageSize()), 0);
        }
}

TEST(JpegDecode, StraightDecodeRefusesWhatTheDibDecodeRefuses) {
    testsupport::CaptureReports reports;
    const std::vector<std::uint8_t> good = EncodeJpeg(16, 8, 3, Gradient(16, 8, 3));
    DxDraw::DxImage image(32);
    ASSERT_TRUE(DecodeJpegToImage(image, good));
    // A picture refused at its header leaves the image as it was.
    EXPECT_FALSE(DecodeJpegToImage(image, EncodeJpeg(8, 8, 4, Gradient(8, 8, 4))));
    EXPECT_FALSE(DecodeJpegToImage(image, std::vector<std::uint8_t>(100, 0x42)));
    EXPECT_FALSE(DecodeJpegToImage(image, {}));
    EXPECT_EQ(image.GetWidth(), 16);
    DxDraw::DxImage image8(8);
    EXPECT_FALSE(DecodeJpegToImage(image8, good));

    // Failing part-way (the data ends inside the rows), it is left without pixels.
    const std::vector<std::uint8_t> jpeg = EncodeJpeg(64, 64, 3, Gradient(64, 64, 3));
    const std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() * 2 / 3));
    EXPECT_FALSE(DecodeJpegToImage(image, cut));
    EXPECT_FALSE(image.HasPixels());
}

// ---- TIFF --------------------------------------------------------------------------------

TiffPicture MakeTiff(int bits, int samples, int photometric) {
    TiffPicture t;
    t.width = 11;
    t.height = 9;
    t.bitsPerSample = bits;
    t.samplesPerPixel = samples;
    t.photometric = photometric;
    const std::size_t rowBytes = (static_cast<std::size_t>(t.width) * bits * samples + 7) / 8;
    for (int y = 0; y < t.height; ++y) {
        std::vector<std::uint8_t> row(rowBytes);
        for (std::size_t i = 0; i < rowBytes; ++i)
            row[i] = static_cast<std::uint8_t>(i * 31 + static_cast<std::size_t>(y) * 17);
        t.rows.push_back(row);
    }
    return t;
}

std::unique_ptr<DxDraw::DxImage> DecodeTiffInto32(const std::vector<std::uint8_t>& bytes) {
    auto image = std::make_unique<DxDraw::DxImage>(32);
    const DxDraw::DibBuffer dib = LoadTiffAsDib(bytes);
    if (dib) {
        EXPECT_TRUE(image->LoadFromDib(dib.bytes()));
    }
    return image;
}

TEST(TiffDecode, RgbAndRgbaStripsCopyEveryPixel) {
    for (int samples : {3, 4})
        for (int compression : {COMPRESSION_NONE, COMPRESSION_LZW}) {
            SCOPED_TRACE(testing::Message() << samples << " samples, compression " << compression);
            TiffPicture t = MakeTiff(8, samples, PHOTOMETRIC_RGB);
            t.compression = compression;
            const auto imageOwner = DecodeTiffInto32(EncodeTiff(t));
            const DxDraw::DxImage& image = *imageOwner;
            ASSERT_EQ(image.GetWidth(), t.width);
            for (int y = 0; y < t.height; ++y)
                for (int x = 0; x < t.width; ++x) {
                    const std::uint8_t* s = &t.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x) * samples];
                    ASSERT_EQ(PixelAt(image, x, y), (Rgba{s[2], s[1], s[0], samples == 4 ? s[3] : 255}));
                }
        }
}

TEST(TiffDecode, PaletteMapsOf8And16BitValues) {
    for (int bits : {4, 8})
        for (bool wide : {false, true}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, wide map " << wide);
            TiffPicture t = MakeTiff(bits, 1, PHOTOMETRIC_PALETTE);
            const int count = 1 << bits;
            for (int i = 0; i < count; ++i) {
                // An 8-bit map whose largest entry is 255; a 16-bit one with an entry of 256.
                const int level = (i * 37) & 255;
                t.red.push_back(static_cast<std::uint16_t>(wide ? level * 257 : level));
                t.green.push_back(static_cast<std::uint16_t>(wide ? (255 - level) * 257 : 255 - level));
                t.blue.push_back(static_cast<std::uint16_t>(i == 1 ? (wide ? 256 : 255) : 0));
            }
            const auto imageOwner = DecodeTiffInto32(EncodeTiff(t));
            const DxDraw::DxImage& image = *imageOwner;
            ASSERT_EQ(image.GetWidth(), t.width);
            for (int y = 0; y < t.height; ++y)
                for (int x = 0; x < t.width; ++x) {
                    const std::uint8_t byte =
                        t.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x * bits / 8)];
                    const int index = bits == 8 ? byte : (x % 2 ? byte & 15 : byte >> 4);
                    const int level = (index * 37) & 255;
                    const int blue = index == 1 ? (wide ? 256 * 255 / 65535 : 255) : 0;
                    ASSERT_EQ(PixelAt(image, x, y), (Rgba{blue, 255 - level, level, 255})) << x << "," << y;
                }
        }
}

TEST(TiffDecode, OneBitGreyKeepsItsSense) {
    for (int photometric : {PHOTOMETRIC_MINISBLACK, PHOTOMETRIC_MINISWHITE}) {
        TiffPicture t = MakeTiff(1, 1, photometric);
        const auto imageOwner = DecodeTiffInto32(EncodeTiff(t));
        const DxDraw::DxImage& image = *imageOwner;
        ASSERT_EQ(image.GetWidth(), t.width);
        for (int y = 0; y < t.height; ++y)
            for (int x = 0; x < t.width; ++x) {
                const bool set =
                    (t.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x / 8)] >> (7 - x % 8)) & 1;
                const int g = (set != (photometric == PHOTOMETRIC_MINISWHITE)) ? 255 : 0;
                ASSERT_EQ(PixelAt(image, x, y), (Rgba{g, g, g, 255}));
            }
    }
}

TEST(TiffDecode, SixteenBitSamplesAndTilesGoThroughTheLibraryConversion) {
    TiffPicture wide = MakeTiff(16, 3, PHOTOMETRIC_RGB);
    const auto imageOwner = DecodeTiffInto32(EncodeTiff(wide));
    const DxDraw::DxImage& image = *imageOwner;
    ASSERT_EQ(image.GetWidth(), wide.width);
    for (int y = 0; y < wide.height; ++y)
        for (int x = 0; x < wide.width; ++x) {
            // Samples are little-endian 16-bit; the library scales them to 8 bits (rounding).
            const std::uint8_t* s = &wide.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x) * 6];
            const Rgba got = PixelAt(image, x, y);
            ASSERT_NEAR(got.b, s[5], 1) << x << "," << y;
            ASSERT_NEAR(got.g, s[3], 1) << x << "," << y;
            ASSERT_NEAR(got.r, s[1], 1) << x << "," << y;
            ASSERT_EQ(got.a, 255);
        }

    TiffPicture tiled = MakeTiff(8, 3, PHOTOMETRIC_RGB);
    tiled.tiled = true;
    const auto fromTilesOwner = DecodeTiffInto32(EncodeTiff(tiled));
    const DxDraw::DxImage& fromTiles = *fromTilesOwner;
    ASSERT_EQ(fromTiles.GetWidth(), tiled.width);
    const std::uint8_t* s = &tiled.rows[4][5 * 3];
    EXPECT_EQ(PixelAt(fromTiles, 5, 4), (Rgba{s[2], s[1], s[0], 255}));
}

// Finds the value of a SHORT or LONG tag in the first directory of a little-endian TIFF.
std::size_t TagValueOffset(const std::vector<std::uint8_t>& tiff, std::uint16_t tag) {
    const std::size_t ifd = tiff[4] | tiff[5] << 8 | tiff[6] << 16 | static_cast<std::size_t>(tiff[7]) << 24;
    const std::size_t count = tiff[ifd] | tiff[ifd + 1] << 8;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + i * 12;
        if ((tiff[entry] | tiff[entry + 1] << 8) == tag) return entry + 8;
    }
    return 0;
}

TEST(TiffDecode, DamagedDirectoriesFailOrDecodeButNeverHang) {
    testsupport::CaptureReports reports;
    TiffPicture t = MakeTiff(8, 3, PHOTOMETRIC_RGB);
    std::vector<std::uint8_t> bytes = EncodeTiff(t);

    std::vector<std::uint8_t> zeroRows = bytes;
    const std::size_t rows = TagValueOffset(zeroRows, TIFFTAG_ROWSPERSTRIP);
    ASSERT_NE(rows, 0u);
    std::fill_n(zeroRows.begin() + static_cast<std::ptrdiff_t>(rows), 4, 0);
    (void)LoadTiffAsDib(zeroRows);  // must return

    std::vector<std::uint8_t> farStrips = bytes;
    const std::size_t offsets = TagValueOffset(farStrips, TIFFTAG_STRIPOFFSETS);
    ASSERT_NE(offsets, 0u);
    std::fill_n(farStrips.begin() + static_cast<std::ptrdiff_t>(offsets), 4, 0xF0);
    EXPECT_FALSE(LoadTiffAsDib(farStrips));

    EXPECT_FALSE(LoadTiffAsDib(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 40)));
    EXPECT_FALSE(LoadTiffAsDib({}));
}

// ---- BMP files ---------------------------------------------------------------------------

struct BmpSpec {
    int width = 5, height = 3, bits = 24;
    std::uint32_t compression = 0, gap = 0, infoSize = 40, clrUsed = 0;
};

void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(x >> (8 * i));
}

// A BMP whose pixel of column x in stored row s has every byte (x * 16 + s * 3 + byte).
std::vector<std::uint8_t> MakeBmp(const BmpSpec& s) {
    const std::uint32_t colours = s.bits <= 8 ? (s.clrUsed ? s.clrUsed : 1u << s.bits) : 0;
    const std::size_t stride = (static_cast<std::size_t>(s.width) * s.bits + 31) / 32 * 4;
    const std::size_t rows = static_cast<std::size_t>(s.height < 0 ? -s.height : s.height);
    const std::size_t offset = 14 + s.infoSize + colours * 4 + s.gap;
    std::vector<std::uint8_t> f(offset + stride * rows, 0xEE);
    f[0] = 'B';
    f[1] = 'M';
    Put32(f, 2, static_cast<std::uint32_t>(f.size()));
    Put32(f, 10, static_cast<std::uint32_t>(offset));
    std::fill(f.begin() + 14, f.begin() + 14 + s.infoSize, 0);
    Put32(f, 14, s.infoSize);
    Put32(f, 18, static_cast<std::uint32_t>(s.width));
    Put32(f, 22, static_cast<std::uint32_t>(s.height));
    f[26] = 1;
    f[28] = static_cast<std::uint8_t>(s.bits);
    Put32(f, 30, s.compression);
    Put32(f, 46, s.clrUsed);
    for (std::uint32_t i = 0; i < colours; ++i)
        Put32(f, 14 + s.infoSize + i * 4, (i * 10 & 255) | (i * 20 & 255) << 8 | (255 - i) << 16);
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t b = 0; b < stride; ++b)
            f[offset + r * stride + b] = static_cast<std::uint8_t>(b * 16 / (s.bits / 8 ? s.bits / 8 : 1) + r * 3 + b);
    return f;
}

bool LoadBmpBytes(DxDraw::DxImage& image, const std::vector<std::uint8_t>& bytes) {
    // One file per process: CTest runs the cases of this program side by side.
    const std::string path = ::testing::TempDir() + "qb_picture_" + std::to_string(::getpid()) + ".bmp";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const bool loaded = image.Load(nullptr, Utf8ToUtf16(path));
    std::remove(path.c_str());
    return loaded;
}

TEST(BmpDecode, PixelsComeFromTheOffsetTheFileHeaderNames) {
    for (int bits : {8, 16, 24, 32})
        for (int height : {3, -3}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, height " << height);
            BmpSpec spec;
            spec.bits = bits;
            spec.height = height;
            spec.gap = 6;  // pixels do not follow the palette directly
            spec.infoSize = bits == 32 ? 108 : 40;
            const std::vector<std::uint8_t> file = MakeBmp(spec);
            DxDraw::DxImage image(32);
            ASSERT_TRUE(LoadBmpBytes(image, file));
            const std::size_t offset = file[10] | file[11] << 8;
            const std::size_t stride = (static_cast<std::size_t>(spec.width) * bits + 31) / 32 * 4;
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < spec.width; ++x) {
                    const std::size_t stored =
                        height > 0 ? static_cast<std::size_t>(2 - y) : static_cast<std::size_t>(y);
                    const std::uint8_t* p = &file[offset + stored * stride + static_cast<std::size_t>(x * bits / 8)];
                    Rgba want{};
                    if (bits == 8) {
                        want = Rgba{p[0] * 10 & 255, p[0] * 20 & 255, 255 - p[0], 255};
                    } else if (bits == 16) {
                        const int v = p[0] | p[1] << 8;
                        const auto e = [](int c) { return (c << 3) | (c & 7); };
                        want = Rgba{e(v & 31), e(v >> 5 & 31), e(v >> 10 & 31), (v & 0x8000) ? 0 : 255};
                    } else {
                        want = Rgba{p[0], p[1], p[2], bits == 32 ? p[3] : 255};
                    }
                    ASSERT_EQ(PixelAt(image, x, y), want) << x << "," << y;
                }
        }
}

TEST(BmpDecode, RefusesWhatItCannotReadSafely) {
    const auto refused = [](BmpSpec spec, std::size_t cut = 0) {
        std::vector<std::uint8_t> file = MakeBmp(spec);
        if (cut) file.resize(file.size() - cut);
        DxDraw::DxImage image(32);
        return !LoadBmpBytes(image, file) && !image.HasPixels();
    };
    BmpSpec rle;
    rle.bits = 8;
    rle.compression = 1;
    EXPECT_TRUE(refused(rle));
    BmpSpec core;
    core.infoSize = 12;
    EXPECT_TRUE(refused(core));
    EXPECT_TRUE(refused(BmpSpec{}, 1));  // last row short
    BmpSpec tooWide;
    tooWide.width = 1 << 20;
    tooWide.height = 1;
    EXPECT_TRUE(refused(tooWide, static_cast<std::size_t>(1 << 20) * 3 - 16));
    BmpSpec zero;
    zero.width = 0;
    EXPECT_TRUE(refused(zero));
    BmpSpec bigPalette;
    bigPalette.bits = 8;
    bigPalette.clrUsed = 300;
    EXPECT_TRUE(refused(bigPalette));

    std::vector<std::uint8_t> pastEnd = MakeBmp(BmpSpec{});
    Put32(pastEnd, 10, 0x7FFFFFF0u);
    DxDraw::DxImage image(32);
    EXPECT_FALSE(LoadBmpBytes(image, pastEnd));
    EXPECT_FALSE(LoadBmpBytes(image, {'B', 'M', 0, 0}));
}

// ---- Conversions, saving, the raw record ------------------------------------------------

DxDraw::DibBuffer OnePixelDib(int bits, std::uint32_t value) {
    DxDraw::DibBuffer dib = DxDraw::DibBuffer::Create(1, 1, static_cast<std::uint16_t>(bits), 0);
    std::memcpy(dib.rows(), &value, static_cast<std::size_t>(bits / 8));
    return dib;
}

TEST(PictureConversion, AlphaConventionsBetweenDepths) {
    DxDraw::DxImage image16(16);
    ASSERT_TRUE(image16.LoadFromDib(OnePixelDib(32, 0x00FFFFFF).bytes()));
    EXPECT_EQ(*reinterpret_cast<const std::uint16_t*>(image16.GetPixelAddress(0, 0)), 0xFFFF);
    ASSERT_TRUE(image16.LoadFromDib(OnePixelDib(32, 0x01FFFFFF).bytes()));
    EXPECT_EQ(*reinterpret_cast<const std::uint16_t*>(image16.GetPixelAddress(0, 0)), 0x7FFF);

    DxDraw::DxImage image32(32);
    ASSERT_TRUE(image32.LoadFromDib(OnePixelDib(32, 0x40112233).bytes()));
    EXPECT_EQ(*reinterpret_cast<const std::uint32_t*>(image32.GetPixelAddress(0, 0)), 0xBF112233u);
    ASSERT_TRUE(image32.LoadFromDib(OnePixelDib(16, 0x8421).bytes()));
    EXPECT_EQ(*reinterpret_cast<const std::uint32_t*>(image32.GetPixelAddress(0, 0)), 0xFF090909u);

    DxDraw::DxImage image8(8);
    EXPECT_FALSE(image8.LoadFromDib(OnePixelDib(24, 0).bytes()));
    EXPECT_FALSE(image32.LoadFromDib(std::vector<std::uint8_t>(39, 0)));
}

TEST(PictureImage, RowOrderPitchAndSizes) {
    DxDraw::DxImage bottomUp(32), topDown(32), canvas(8);
    ASSERT_TRUE(bottomUp.Create(3, 2));
    ASSERT_TRUE(topDown.Create(3, -2));
    EXPECT_EQ(bottomUp.GetPitch(), -12);
    EXPECT_EQ(topDown.GetPitch(), 12);
    EXPECT_EQ(bottomUp.GetPixelAddress(1, 0), bottomUp.GetBits() + 12 + 4) << "the top row is stored last";
    EXPECT_EQ(topDown.GetPixelAddress(1, 0), topDown.GetBits() + 4);
    ASSERT_TRUE(canvas.Create(5, 1));
    EXPECT_EQ(canvas.GetStride(), 8u);
    EXPECT_EQ(canvas.GetPalette()[17], (DxDraw::PaletteEntry{17, 17, 17, 0}));
    EXPECT_FALSE(bottomUp.Create(0, 5));
    EXPECT_FALSE(bottomUp.HasPixels());
    EXPECT_EQ(bottomUp.GetWidth(), 0);
    EXPECT_FALSE(bottomUp.Create(DxDraw::kMaxImageDimension, DxDraw::kMaxImageDimension));

    DibSection section;
    ASSERT_TRUE(section.Create(3, 2, 8));
    EXPECT_EQ(section.GetColourCount(), 256u);
    EXPECT_EQ(section.GetStride(), 4u);
    section.GetPalette()[1] = DxDraw::PaletteEntry{1, 2, 3, 0};
    section.GetBits()[0] = 1;  // bottom row, first pixel
    ASSERT_TRUE(bottomUp.LoadFromDib(section.GetPackedDib()));
    EXPECT_EQ(PixelAt(bottomUp, 0, 1), (Rgba{1, 2, 3, 255}));
    EXPECT_FALSE(section.Create(3, 2, 12));
}

TEST(PictureSave, Bmp24And32RoundTrip) {
    const std::string path24 = ::testing::TempDir() + "qb_save24_" + std::to_string(::getpid()) + ".bmp";
    const std::string path32 = ::testing::TempDir() + "qb_save32_" + std::to_string(::getpid()) + ".bmp";

    DxDraw::DxImage image16(16);
    ASSERT_TRUE(image16.Create(2, 1));
    reinterpret_cast<std::uint16_t*>(image16.GetPixelAddress(0, 0))[0] = 0x7FFF;
    reinterpret_cast<std::uint16_t*>(image16.GetPixelAddress(0, 0))[1] = 0x0421;
    ASSERT_TRUE(image16.SaveBmp24(Utf8ToUtf16(path24)));
    const std::vector<std::uint8_t> file24 = ReadFile(path24);
    ASSERT_EQ(file24.size(), 54u + 8u);
    EXPECT_EQ(std::vector<std::uint8_t>(file24.begin() + 54, file24.end()),
              (std::vector<std::uint8_t>{255, 255, 255, 9, 9, 9, 0, 0}));

    // A 32-bit DIB through a 32-bit image and back to a file keeps its bytes.
    DxDraw::DibBuffer dib = DxDraw::DibBuffer::Create(3, 2, 32, 0);
    for (std::size_t i = 0; i < 24; ++i) dib.rows()[i] = static_cast<std::uint8_t>(i * 11 + 1);
    DxDraw::DxImage image32(32);
    ASSERT_TRUE(image32.LoadFromDib(dib.bytes()));
    ASSERT_TRUE(image32.SaveBmp32(Utf8ToUtf16(path32)));
    const std::vector<std::uint8_t> file32 = ReadFile(path32);
    ASSERT_EQ(file32.size(), 54u + 24u);
    EXPECT_TRUE(std::equal(file32.begin() + 54, file32.end(), dib.rows()));

    DxDraw::DxImage reloaded(32);
    ASSERT_TRUE(reloaded.Load(nullptr, Utf8ToUtf16(path32)));
    EXPECT_EQ(std::memcmp(reloaded.GetBits(), image32.GetBits(), 24), 0);
    EXPECT_FALSE(image32.SaveBmp32(u"/nonexistent-folder/x.bmp"));
}

std::vector<std::uint8_t> RawRecord(int width, int height, std::uint8_t flags, bool compress) {
    const std::size_t row = (static_cast<std::size_t>(width) * 2 + 3) & ~std::size_t{3};
    std::vector<std::uint8_t> rows(row * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<std::uint8_t>(i / row);  // byte = stored row
    std::vector<std::uint8_t> r(16, 0);
    std::memcpy(r.data(), "HBM", 3);
    Put32(r, 4, static_cast<std::uint32_t>(width));
    Put32(r, 8, static_cast<std::uint32_t>(height));
    r[12] = static_cast<std::uint8_t>(flags | (compress ? 0x10 : 0));
    if (!compress) {
        r.insert(r.end(), rows.begin(), rows.end());
        return r;
    }
    uLongf size = compressBound(rows.size());
    std::vector<std::uint8_t> z(size);
    compress2(z.data(), &size, rows.data(), rows.size(), 9);
    r.resize(20);
    Put32(r, 16, static_cast<std::uint32_t>(size));
    r.insert(r.end(), z.begin(), z.begin() + static_cast<std::ptrdiff_t>(size));
    return r;
}

TEST(RawPicture, RowOrderFlagAndCompression) {
    for (bool compress : {false, true})
        for (std::uint8_t flags : {std::uint8_t{0}, std::uint8_t{0x20}}) {
            SCOPED_TRACE(testing::Message() << "compressed " << compress << " flags " << int(flags));
            DxDraw::DxImage image(16);
            ASSERT_TRUE(LoadRawImage16(image, RawRecord(3, 4, flags, compress)));
            // Without 0x20 the first stored row is the top of the picture.
            for (int y = 0; y < 4; ++y) EXPECT_EQ(*image.GetPixelAddress(0, y), flags ? 3 - y : y);
        }
    DxDraw::DxImage image32(32);
    EXPECT_FALSE(LoadRawImage16(image32, RawRecord(3, 4, 0, false)));
}

TEST(RawPicture, ShortOrCorruptRecordsFail) {
    std::vector<std::uint8_t> shortRaw = RawRecord(3, 4, 0, false);
    shortRaw.pop_back();
    std::vector<std::uint8_t> longLength = RawRecord(3, 4, 0, true);
    Put32(longLength, 16, 0xFFFFFF00u);
    std::vector<std::uint8_t> badStream = RawRecord(3, 4, 0, true);
    badStream[22] ^= 0x5A;
    std::vector<std::uint8_t> lyingSize = RawRecord(3, 4, 0, true);
    Put32(lyingSize, 8, 5);  // the stream inflates to fewer rows than the header claims
    for (const auto* record : {&shortRaw, &longLength, &badStream, &lyingSize}) {
        DxDraw::DxImage image(16);
        EXPECT_FALSE(LoadRawImage16(image, *record));
        EXPECT_FALSE(image.HasPixels());
    }
}

}  // namespace
