// Every picture kind the decoders accept, made by the same libraries, decodes to the pixels it
// was made with (or, for JPEG, to what the bare library decodes); damaged pictures fail cleanly.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include <jpeglib.h>
#include <zlib.h>

#include "dxdraw/dib.h"
#include "dxdraw/dximage.h"
#include "dxdraw/picture_decoders.h"
#include "lib/text.h"
#include "media/picture_writers.h"
#include "picture_test_util.h"
#include "support/capture_reports.h"

using namespace picture_test;
using namespace media;

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
    return colourType == PNG_COLOR_TYPE_GRAY_ALPHA  ? 2
           : colourType == PNG_COLOR_TYPE_RGB       ? 3
           : colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                                                    : 1;
}

void PutSample(std::vector<std::uint8_t>& row, int index, int value, int depth) {
    if (depth == 16) {
        row[static_cast<std::size_t>(index) * 2] = static_cast<std::uint8_t>(value >> 8);
        row[static_cast<std::size_t>(index) * 2 + 1] = static_cast<std::uint8_t>(value);
    } else {
        const int bit = index * depth;
        row[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(value << (8 - depth - bit % 8));
    }
}

std::vector<std::uint8_t> MakePng(const PngCase& c) {
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
    return EncodePng(p);
}

// The pixel the PNG of a case holds at (x, y), worked out from the samples it was made of.
Rgba ExpectedPng(const PngCase& c, int x, int y) {
    const int s0 = Sample(x, y, 0, c.depth);
    switch (c.colourType) {
        case PNG_COLOR_TYPE_PALETTE:
            return Rgba{s0 * 7 & 255, 255 - s0, s0 * 3 & 255, c.transparency ? (255 - s0 * 5) & 255 : 255};
        case PNG_COLOR_TYPE_GRAY: {
            const int g = To8(s0, c.depth);
            return Rgba{g, g, g, c.transparency && s0 == Sample(0, 0, 0, c.depth) ? 0 : 255};
        }
        case PNG_COLOR_TYPE_GRAY_ALPHA: {
            const int g = To8(s0, c.depth);
            return Rgba{g, g, g, To8(Sample(x, y, 1, c.depth), c.depth)};
        }
        default: {
            const int r = s0, g = Sample(x, y, 1, c.depth), b = Sample(x, y, 2, c.depth);
            int a = 255;
            if (c.colourType == PNG_COLOR_TYPE_RGB_ALPHA) a = To8(Sample(x, y, 3, c.depth), c.depth);
            if (c.transparency && r == Sample(0, 0, 0, c.depth) && g == Sample(0, 0, 1, c.depth) &&
                b == Sample(0, 0, 2, c.depth))
                a = 0;
            return Rgba{To8(b, c.depth), To8(g, c.depth), To8(r, c.depth), a};
        }
    }
}

constexpr PngCase kPngCases[] = {
    {PNG_COLOR_TYPE_GRAY, 1, false, false},        {PNG_COLOR_TYPE_GRAY, 2, false, false},
    {PNG_COLOR_TYPE_GRAY, 4, false, false},        {PNG_COLOR_TYPE_GRAY, 8, false, false},
    {PNG_COLOR_TYPE_GRAY, 16, false, false},       {PNG_COLOR_TYPE_GRAY, 1, true, false},
    {PNG_COLOR_TYPE_GRAY, 4, true, false},         {PNG_COLOR_TYPE_GRAY, 8, true, false},
    {PNG_COLOR_TYPE_GRAY, 16, true, false},        {PNG_COLOR_TYPE_PALETTE, 1, false, false},
    {PNG_COLOR_TYPE_PALETTE, 2, false, false},     {PNG_COLOR_TYPE_PALETTE, 4, false, false},
    {PNG_COLOR_TYPE_PALETTE, 8, false, false},     {PNG_COLOR_TYPE_PALETTE, 2, true, false},
    {PNG_COLOR_TYPE_PALETTE, 8, true, false},      {PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false},
    {PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, false}, {PNG_COLOR_TYPE_RGB, 8, false, false},
    {PNG_COLOR_TYPE_RGB, 16, false, false},        {PNG_COLOR_TYPE_RGB, 8, true, false},
    {PNG_COLOR_TYPE_RGB, 16, true, false},         {PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false},
    {PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false},  {PNG_COLOR_TYPE_RGB, 8, false, true},
    {PNG_COLOR_TYPE_PALETTE, 4, false, true}};

class PngDecodeTest : public ::testing::TestWithParam<PngCase> {};

TEST_P(PngDecodeTest, DecodesEveryPixel) {
    const PngCase c = GetParam();
    testsupport::CaptureReports reports;
    const DxDraw::DibBuffer dib = DecodePngToDib(MakePng(c));
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
        for (int x = 0; x < kW; ++x) ASSERT_EQ(PixelAt(image, x, y), ExpectedPng(c, x, y)) << "at " << x << "," << y;
    EXPECT_TRUE(reports.boxes.empty());
}

// "palette4_trns", "rgb_alpha16", "rgb8_interlaced".
std::string PngCaseName(const ::testing::TestParamInfo<PngCase>& info) {
    const PngCase& c = info.param;
    const char* type = c.colourType == PNG_COLOR_TYPE_GRAY         ? "gray"
                       : c.colourType == PNG_COLOR_TYPE_PALETTE    ? "palette"
                       : c.colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? "gray_alpha"
                       : c.colourType == PNG_COLOR_TYPE_RGB        ? "rgb"
                                                                   : "rgb_alpha";
    return type + std::to_string(c.depth) + (c.transparency ? "_trns" : "") + (c.interlace ? "_interlaced" : "");
}

INSTANTIATE_TEST_SUITE_P(EveryColourTypeAndDepth, PngDecodeTest, ::testing::ValuesIn(kPngCases), PngCaseName);

// Loads bytes through a file, as the game's pictures are loaded.
bool LoadBytes(DxDraw::DxImage& image, const std::vector<std::uint8_t>& bytes) {
    // One file per process: CTest runs the cases of this program side by side.
    const std::string path = ::testing::TempDir() + "qb_picture_" + std::to_string(::getpid());
    WriteFile(path, bytes);
    const bool loaded = image.Load(nullptr, Utf8ToUtf16(path));
    std::remove(path.c_str());
    return loaded;
}

TEST(PngDecode, LoaderLooksOnlyAtBytesOneToThree) {
    std::vector<std::uint8_t> bytes = MakePng(kPngCases[17]);
    // Byte 0 is not looked at by the loader, so the file still reaches the PNG decoder, whose
    // library then refuses the signature with its error box.
    bytes[0] = 'X';
    testsupport::CaptureReports reports;
    DxDraw::DxImage image(32);
    EXPECT_FALSE(LoadBytes(image, bytes));
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

std::vector<std::uint8_t> MakeJpeg(int width, int height, int components) {
    return EncodeJpeg(width, height, components, Gradient(width, height, components));
}

// Decodes with the bare library into R, G, B rows (no glue), to compare the glue with.
std::vector<std::uint8_t> BareJpegDecode(const std::vector<std::uint8_t>& data, int* width, int* height) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, data.data(), data.size());
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    *width = static_cast<int>(d.output_width);
    *height = static_cast<int>(d.output_height);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(*width) * *height * 3);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = out.data() + d.output_scanline * *width * 3;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return out;
}

// ---- PNG and JPEG: the straight decode into an image against the DIB route; JPEG against the
// bare library's decode (PNG pixels are checked above) ---------------------------------------

using DibDecoder = DxDraw::DibBuffer (*)(std::span<const std::uint8_t>);
using ImageDecoder = bool (*)(DxDraw::DxImage&, std::span<const std::uint8_t>);

struct Compressed {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool png;
};

std::vector<Compressed> GoodPictures() {
    std::vector<Compressed> out;
    for (const PngCase& c : kPngCases) out.push_back({"png", MakePng(c), true});
    out.push_back({"jpeg colour", MakeJpeg(37, 21, 3), false});
    out.push_back({"jpeg grey", MakeJpeg(37, 21, 1), false});
    return out;
}

TEST(CompressedDecode, StraightIntoAnImageGivesExactlyWhatTheDibAndItsConversionGive) {
    testsupport::CaptureReports reports;
    for (const Compressed& c : GoodPictures())
        for (std::uint32_t depth : {32u, 16u}) {
            SCOPED_TRACE(testing::Message() << c.name << ", depth " << depth);
            const DibDecoder toDib = c.png ? DecodePngToDib : DecodeJpegToDib;
            const ImageDecoder toImage = c.png ? DecodePngToImage : DecodeJpegToImage;
            DxDraw::DxImage viaDib(depth), straight(depth);
            ASSERT_TRUE(viaDib.LoadFromDib(toDib(c.bytes).bytes()));
            ASSERT_TRUE(toImage(straight, c.bytes));
            ASSERT_EQ(straight.GetWidth(), viaDib.GetWidth());
            ASSERT_EQ(straight.GetHeight(), viaDib.GetHeight());
            ASSERT_EQ(straight.GetImageSize(), viaDib.GetImageSize());
            ASSERT_EQ(std::memcmp(straight.GetBits(), viaDib.GetBits(), viaDib.GetImageSize()), 0);
            if (!c.png && depth == 32) {  // what the bare library decodes
                int w = 0, h = 0;
                const std::vector<std::uint8_t> bare = BareJpegDecode(c.bytes, &w, &h);
                ASSERT_EQ(straight.GetWidth(), w);
                ASSERT_EQ(straight.GetHeight(), h);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const std::uint8_t* rgb = &bare[(static_cast<std::size_t>(y) * w + x) * 3];
                        ASSERT_EQ(PixelAt(straight, x, y), (Rgba{rgb[2], rgb[1], rgb[0], 255})) << x << "," << y;
                    }
            }
            DxDraw::DxImage image8(8);
            EXPECT_FALSE(toImage(image8, c.bytes)) << "only 16- and 32-bit images take a straight decode";
        }
    EXPECT_TRUE(reports.boxes.empty());
}

// What each route makes of damaged data: both routes agree; a picture refused at its header
// leaves the image as it was, one failing part-way (a PNG or a JPEG whose data ends inside the
// rows) leaves it without pixels rather than half a picture.
TEST(CompressedDecode, DamagedDataFailsTheSameWayOnBothRoutes) {
    const std::vector<std::uint8_t> png = MakePng(kPngCases[17]), jpeg = MakeJpeg(64, 64, 3);
    std::vector<std::uint8_t> pngHeader = png;
    pngHeader[20] ^= 0xFF;  // inside the header chunk: its checksum no longer matches
    const auto cut = [](const std::vector<std::uint8_t>& v, std::size_t size) {
        return std::vector<std::uint8_t>(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(size));
    };
    enum Outcome { kKept, kEmptied };
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool png;
        Outcome outcome;
        bool errorBox;  // the library's error shown as a stop box
    } cases[] = {
        {"png header checksum", pngHeader, true, kKept, true},
        {"png empty", {}, true, kKept, true},
        {"png half", cut(png, png.size() / 2), true, kKept, true},
        {"png without the end", cut(png, png.size() - 16), true, kEmptied, true},
        {"jpeg cmyk", MakeJpeg(8, 8, 4), false, kKept, false},
        {"jpeg garbage", std::vector<std::uint8_t>(100, 0x42), false, kKept, true},
        {"jpeg empty", {}, false, kKept, false},
        {"jpeg cut", cut(jpeg, jpeg.size() * 2 / 3), false, kEmptied, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::CaptureReports reports;
        const DibDecoder toDib = c.png ? DecodePngToDib : DecodeJpegToDib;
        const ImageDecoder toImage = c.png ? DecodePngToImage : DecodeJpegToImage;
        const DxDraw::DibBuffer dib = toDib(c.bytes);
        DxDraw::DxImage image(32);
        ASSERT_TRUE(DecodePngToImage(image, png));
        EXPECT_FALSE(toImage(image, c.bytes));
        EXPECT_FALSE(dib);
        if (c.outcome == kKept)
            EXPECT_EQ(image.GetWidth(), kW);
        else
            EXPECT_FALSE(image.HasPixels());
        ASSERT_EQ(reports.boxes.empty(), !c.errorBox);
        if (c.errorBox) {
            EXPECT_EQ(reports.boxes.back().style & kMbIconMask, kMbIconStop);
            if (c.png) {
                EXPECT_EQ(reports.boxes.back().caption, u"libpng error");
                EXPECT_NE(reports.boxes.back().text.find(u"\n\nOnMemory:\n"), std::u16string::npos);
            }
        }
    }
}

// ---- TIFF --------------------------------------------------------------------------------

struct TiffCase {
    const char* name;
    int bits, samples, photometric;
    int compression = COMPRESSION_NONE;
    bool tiled = false, wideMap = false;
    friend void PrintTo(const TiffCase& c, std::ostream* os) { *os << c.name; }
};

TiffPicture MakeTiff(const TiffCase& c) {
    TiffPicture t;
    t.width = 11;
    t.height = 9;
    t.bitsPerSample = c.bits;
    t.samplesPerPixel = c.samples;
    t.photometric = c.photometric;
    t.compression = c.compression;
    t.tiled = c.tiled;
    const std::size_t rowBytes = (static_cast<std::size_t>(t.width) * c.bits * c.samples + 7) / 8;
    for (int y = 0; y < t.height; ++y) {
        std::vector<std::uint8_t> row(rowBytes);
        for (std::size_t i = 0; i < rowBytes; ++i)
            row[i] = static_cast<std::uint8_t>(i * 31 + static_cast<std::size_t>(y) * 17);
        t.rows.push_back(row);
    }
    if (c.photometric == PHOTOMETRIC_PALETTE)
        for (int i = 0; i < 1 << c.bits; ++i) {
            // An 8-bit map whose largest entry is 255; a 16-bit one with an entry of 256.
            const int level = (i * 37) & 255;
            t.red.push_back(static_cast<std::uint16_t>(c.wideMap ? level * 257 : level));
            t.green.push_back(static_cast<std::uint16_t>(c.wideMap ? (255 - level) * 257 : 255 - level));
            t.blue.push_back(static_cast<std::uint16_t>(i == 1 ? (c.wideMap ? 256 : 255) : 0));
        }
    return t;
}

// The pixel (x, y) of a TIFF case, worked out from its stored bytes.
Rgba ExpectedTiff(const TiffCase& c, const TiffPicture& t, int x, int y) {
    const std::vector<std::uint8_t>& row = t.rows[static_cast<std::size_t>(y)];
    if (c.photometric == PHOTOMETRIC_PALETTE) {
        const std::uint8_t byte = row[static_cast<std::size_t>(x * c.bits / 8)];
        const int index = c.bits == 8 ? byte : (x % 2 ? byte & 15 : byte >> 4);
        const int level = (index * 37) & 255;
        const int blue = index == 1 ? (c.wideMap ? 256 * 255 / 65535 : 255) : 0;
        return Rgba{blue, 255 - level, level, 255};
    }
    if (c.bits == 1) {
        const bool set = (row[static_cast<std::size_t>(x / 8)] >> (7 - x % 8)) & 1;
        const int g = (set != (c.photometric == PHOTOMETRIC_MINISWHITE)) ? 255 : 0;
        return Rgba{g, g, g, 255};
    }
    // 16-bit samples are little-endian; the library keeps their high byte.
    const int step = c.bits / 8, high = step - 1;
    const std::uint8_t* s = &row[static_cast<std::size_t>(x) * c.samples * step];
    return Rgba{s[2 * step + high], s[step + high], s[high], c.samples == 4 ? s[3 * step + high] : 255};
}

class TiffDecodeTest : public ::testing::TestWithParam<TiffCase> {};

TEST_P(TiffDecodeTest, CopiesEveryPixel) {
    const TiffCase& c = GetParam();
    const TiffPicture t = MakeTiff(c);
    const DxDraw::DibBuffer dib = LoadTiffAsDib(EncodeTiff(t));
    ASSERT_TRUE(dib);
    DxDraw::DxImage image(32);
    ASSERT_TRUE(image.LoadFromDib(dib.bytes()));
    ASSERT_EQ(image.GetWidth(), t.width);
    ASSERT_EQ(image.GetHeight(), t.height);
    // The library scales 16-bit samples to 8 bits with rounding.
    const int tolerance = c.bits == 16 ? 1 : 0;
    for (int y = 0; y < t.height; ++y)
        for (int x = 0; x < t.width; ++x) {
            const Rgba got = PixelAt(image, x, y), want = ExpectedTiff(c, t, x, y);
            ASSERT_NEAR(got.b, want.b, tolerance) << x << "," << y;
            ASSERT_NEAR(got.g, want.g, tolerance) << x << "," << y;
            ASSERT_NEAR(got.r, want.r, tolerance) << x << "," << y;
            ASSERT_EQ(got.a, want.a) << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(
    StripsTilesPalettesAndGrey, TiffDecodeTest,
    ::testing::Values(TiffCase{"rgb", 8, 3, PHOTOMETRIC_RGB}, TiffCase{"rgba", 8, 4, PHOTOMETRIC_RGB},
                      TiffCase{"rgb_lzw", 8, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW},
                      TiffCase{"rgba_lzw", 8, 4, PHOTOMETRIC_RGB, COMPRESSION_LZW},
                      TiffCase{"rgb16", 16, 3, PHOTOMETRIC_RGB},
                      TiffCase{"rgb_tiles", 8, 3, PHOTOMETRIC_RGB, COMPRESSION_NONE, true},
                      TiffCase{"palette4", 4, 1, PHOTOMETRIC_PALETTE}, TiffCase{"palette8", 8, 1, PHOTOMETRIC_PALETTE},
                      TiffCase{"palette4_wide", 4, 1, PHOTOMETRIC_PALETTE, COMPRESSION_NONE, false, true},
                      TiffCase{"palette8_wide", 8, 1, PHOTOMETRIC_PALETTE, COMPRESSION_NONE, false, true},
                      TiffCase{"black_is_zero", 1, 1, PHOTOMETRIC_MINISBLACK},
                      TiffCase{"white_is_zero", 1, 1, PHOTOMETRIC_MINISWHITE}),
    [](const auto& info) { return std::string(info.param.name); });

// A TIFF whose first directory's SHORT or LONG tag is overwritten with four bytes of fill (a file
// too short for its directory throws, failing the test).
std::vector<std::uint8_t> PatchTag(std::vector<std::uint8_t> tiff, std::uint16_t tag, std::uint8_t fill) {
    const auto u16 = [&](std::size_t at) { return static_cast<std::size_t>(tiff.at(at) | tiff.at(at + 1) << 8); };
    const std::size_t ifd = u16(4) | u16(6) << 16;
    std::size_t i = 0;
    while (u16(ifd + 2 + i * 12) != tag) EXPECT_LT(++i, u16(ifd)) << "no tag " << tag;
    std::fill_n(tiff.begin() + static_cast<std::ptrdiff_t>(ifd + 2 + i * 12 + 8), 4, fill);
    return tiff;
}

TEST(TiffDecode, DamagedDirectoriesFailOrDecodeButNeverHang) {
    testsupport::CaptureReports reports;
    const std::vector<std::uint8_t> bytes = EncodeTiff(MakeTiff({"rgb", 8, 3, PHOTOMETRIC_RGB}));
    (void)LoadTiffAsDib(PatchTag(bytes, TIFFTAG_ROWSPERSTRIP, 0));  // must return
    EXPECT_FALSE(LoadTiffAsDib(PatchTag(bytes, TIFFTAG_STRIPOFFSETS, 0xF0)));
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
            ASSERT_TRUE(LoadBytes(image, file));
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
    const struct {
        const char* name;
        BmpSpec spec;
        std::size_t cut = 0;  // bytes taken off the end
    } cases[] = {
        {"rle", {.bits = 8, .compression = 1}},
        {"core header", {.infoSize = 12}},
        {"last row short", {}, 1},
        {"too wide", {.width = 1 << 20, .height = 1}, (std::size_t{1} << 20) * 3 - 16},
        {"zero width", {.width = 0}},
        {"palette too big", {.bits = 8, .clrUsed = 300}},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> file = MakeBmp(c.spec);
        file.resize(file.size() - c.cut);
        DxDraw::DxImage image(32);
        EXPECT_FALSE(LoadBytes(image, file)) << c.name;
        EXPECT_FALSE(image.HasPixels()) << c.name;
    }
    std::vector<std::uint8_t> pastEnd = MakeBmp(BmpSpec{});
    Put32(pastEnd, 10, 0x7FFFFFF0u);
    DxDraw::DxImage image(32);
    EXPECT_FALSE(LoadBytes(image, pastEnd));
    EXPECT_FALSE(LoadBytes(image, {'B', 'M', 0, 0}));
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

TEST(PictureImage, RowOrderSizesAndSections) {
    DxDraw::DxImage bottomUp(32), topDown(32), canvas(8);
    ASSERT_TRUE(bottomUp.Create(3, 2));
    ASSERT_TRUE(topDown.Create(3, -2));
    EXPECT_EQ(bottomUp.GetPixelAddress(1, 0), bottomUp.GetBits() + 12 + 4) << "the top row is stored last";
    EXPECT_EQ(topDown.GetPixelAddress(1, 0), topDown.GetBits() + 4);
    ASSERT_TRUE(canvas.Create(5, 1));
    EXPECT_EQ(canvas.GetStride(), 8u);
    EXPECT_EQ(canvas.GetPalette()[17], (DxDraw::PaletteEntry{17, 17, 17, 0}));
    EXPECT_FALSE(bottomUp.Create(0, 5));
    EXPECT_FALSE(bottomUp.HasPixels());
    EXPECT_FALSE(bottomUp.Create(DxDraw::kMaxImageDimension, DxDraw::kMaxImageDimension));

    DibSection section;
    ASSERT_TRUE(section.Create(3, 2, 8));
    EXPECT_EQ(section.GetStride(), 4u);
    section.GetPalette()[1] = DxDraw::PaletteEntry{1, 2, 3, 0};
    section.GetBits()[0] = 1;  // bottom row, first pixel
    ASSERT_TRUE(bottomUp.LoadFromDib(section.GetPackedDib()));
    EXPECT_EQ(PixelAt(bottomUp, 0, 1), (Rgba{1, 2, 3, 255}));
    EXPECT_FALSE(section.Create(3, 2, 12));
}

// A 16-bit image saves as 24 bits; a 32-bit DIB through a 32-bit image and back to a file keeps
// its bytes, and loads again.
TEST(PictureSave, Bmp24And32RoundTrip) {
    const std::string path = ::testing::TempDir() + "qb_save_" + std::to_string(::getpid()) + ".bmp";
    DxDraw::DxImage image16(16);
    ASSERT_TRUE(image16.Create(2, 1));
    reinterpret_cast<std::uint16_t*>(image16.GetPixelAddress(0, 0))[0] = 0x7FFF;
    reinterpret_cast<std::uint16_t*>(image16.GetPixelAddress(0, 0))[1] = 0x0421;
    ASSERT_TRUE(image16.SaveBmp24(Utf8ToUtf16(path)));
    const std::vector<std::uint8_t> file24 = ReadFile(path);
    EXPECT_EQ(std::vector<std::uint8_t>(file24.begin() + 54, file24.end()),
              (std::vector<std::uint8_t>{255, 255, 255, 9, 9, 9, 0, 0}));

    DxDraw::DibBuffer dib = DxDraw::DibBuffer::Create(3, 2, 32, 0);
    for (std::size_t i = 0; i < 24; ++i) dib.rows()[i] = static_cast<std::uint8_t>(i * 11 + 1);
    DxDraw::DxImage image32(32), reloaded(32);
    ASSERT_TRUE(image32.LoadFromDib(dib.bytes()));
    ASSERT_TRUE(image32.SaveBmp32(Utf8ToUtf16(path)));
    const std::vector<std::uint8_t> file32 = ReadFile(path);
    ASSERT_EQ(file32.size(), 54u + 24u);
    EXPECT_TRUE(std::equal(file32.begin() + 54, file32.end(), dib.rows()));
    ASSERT_TRUE(reloaded.Load(nullptr, Utf8ToUtf16(path)));
    EXPECT_EQ(std::memcmp(reloaded.GetBits(), image32.GetBits(), 24), 0);
    EXPECT_FALSE(image32.SaveBmp32(u"/nonexistent-folder/x.bmp"));
    std::remove(path.c_str());
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
