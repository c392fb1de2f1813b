// The sample game builder's own pieces: soft shapes, the picture and sound writers, and the
// conversion of the story's text.
#include <gtest/gtest.h>
#include <png.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "archive/test_util.h"
#include "art.h"
#include "canvas.h"
#include "picture_file.h"
#include "scenario.h"
#include "sound_file.h"

namespace mkdemo {
namespace {

namespace fs = std::filesystem;

using archive_test::TempDir;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Coverage of a pixel centre at signed distance d, for an edge of width `softness`.
float ExpectedCoverage(float d, float softness) {
    float t = std::clamp(0.5f - d / softness, 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

TEST(Canvas, PaintingSkipsNoEdgePixel) {
    // Large shapes are painted block by block; every pixel must still get its own coverage.
    const Shape shapes[] = {Circle({61.3f, 47.8f}, 37.2f), Ellipse({60, 50}, 50, 12),
                            Polygon({{5, 5}, {110, 20}, {60, 50}, {100, 95}, {10, 80}}),
                            Subtract(RoundRect(4, 4, 116, 96, 20), Circle({60, 50}, 25))};
    for (float softness : {1.0f, 6.0f})
        for (const Shape& shape : shapes) {
            Canvas canvas(120, 100);
            canvas.Paint(shape, Rgb(0xFFFFFF), softness);
            for (int y = 0; y < 100; ++y)
                for (int x = 0; x < 120; ++x)
                    ASSERT_NEAR(canvas.at(x, y).a, ExpectedCoverage(shape.distance(x + 0.5f, y + 0.5f), softness),
                                1e-5f)
                        << x << "," << y << " softness " << softness << " shape " << (&shape - shapes);
        }
}

TEST(Canvas, SoftEdgesBlendOverWhatIsThere) {
    Canvas canvas(40, 40, Rgb(0x000000));
    canvas.Paint(Circle({20, 20}, 10), Rgb(0xFF0000), 4.0f);
    EXPECT_FLOAT_EQ(canvas.at(20, 20).r, 1.0f);
    EXPECT_FLOAT_EQ(canvas.at(1, 1).r, 0.0f);
    // On the rim the colour is a mix, and the picture stays opaque.
    EXPECT_GT(canvas.at(29, 20).r, 0.1f);
    EXPECT_LT(canvas.at(29, 20).r, 0.9f);
    EXPECT_FLOAT_EQ(canvas.at(29, 20).a, 1.0f);
}

TEST(PictureFile, PngKeepsColoursAndTransparency) {
    TempDir dir;
    Canvas canvas(3, 2);
    canvas.at(0, 0) = Rgb(0xFF8000);
    canvas.at(2, 1) = Rgb(0x336699, 0.5f);
    WritePng(dir / "p.png", canvas, true);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (dir / "p.png").c_str()));
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    ASSERT_EQ(image.width, 3u);
    ASSERT_EQ(image.height, 2u);
    EXPECT_EQ(std::vector<std::uint8_t>(pixels.begin(), pixels.begin() + 4),
              (std::vector<std::uint8_t>{255, 128, 0, 255}));
    EXPECT_EQ(pixels[4 * 1 + 3], 0);  // untouched pixels stay transparent
    EXPECT_EQ(std::vector<std::uint8_t>(pixels.begin() + 20, pixels.end()),
              (std::vector<std::uint8_t>{0x33, 0x66, 0x99, 128}));
}

TEST(PictureFile, BmpRowsArePaddedBottomUpInBlueGreenRed) {
    TempDir dir;
    Canvas canvas(3, 2, Rgb(0x000000));
    canvas.at(0, 0) = Rgb(0x102030);
    canvas.at(2, 1) = Rgb(0x405060);
    WriteBmp(dir / "b.bmp", canvas);
    std::string b = ReadAll(dir / "b.bmp");
    ASSERT_EQ(b.size(), 54u + 2 * 12);  // 3 pixels of 3 bytes padded to 12 per row
    EXPECT_EQ(b.substr(0, 2), "BM");
    EXPECT_EQ(std::uint8_t(b[18]), 3);
    EXPECT_EQ(std::uint8_t(b[22]), 2);
    EXPECT_EQ(std::uint8_t(b[28]), 24);
    // The first stored row is the bottom one: its last pixel is 0x405060.
    EXPECT_EQ(b.substr(54 + 6, 3), std::string("\x60\x50\x40", 3));
    EXPECT_EQ(b.substr(54 + 12, 3), std::string("\x30\x20\x10", 3));
}

TEST(SoundFile, OggDecodesToTheSamplesWritten) {
    TempDir dir;
    Sound tone{22050, std::vector<float>(22050)};
    for (std::size_t i = 0; i < tone.samples.size(); ++i)
        tone.samples[i] = 0.5f * std::sin(2 * std::numbers::pi_v<float> * 440 * i / 22050);
    WriteOgg(dir / "t.ogg", tone, 0.2f);
    OggVorbis_File file;
    ASSERT_EQ(ov_fopen((dir / "t.ogg").c_str(), &file), 0);
    vorbis_info* info = ov_info(&file, -1);
    EXPECT_EQ(info->rate, 22050);
    EXPECT_EQ(info->channels, 1);
    EXPECT_EQ(ov_pcm_total(&file, -1), 22050);
    double energy = 0;
    long decoded = 0;
    float** pcm;
    int section;
    for (long n; (n = ov_read_float(&file, &pcm, 4096, &section)) > 0; decoded += n)
        for (long i = 0; i < n; ++i) energy += double(pcm[0][i]) * pcm[0][i];
    ov_clear(&file);
    EXPECT_EQ(decoded, 22050);
    // A sine of amplitude 0.5 has a mean power of 0.125.
    EXPECT_NEAR(energy / decoded, 0.125, 0.01);
}

TEST(SoundFile, WaveHeaderDescribesSixteenBitMono) {
    TempDir dir;
    WriteWav(dir / "s.wav", Sound{11025, {0.0f, 1.0f, -1.0f}});
    std::string b = ReadAll(dir / "s.wav");
    ASSERT_EQ(b.size(), 44u + 6);
    EXPECT_EQ(b.substr(0, 4), "RIFF");
    EXPECT_EQ(std::uint8_t(b[4]), 42);  // RIFF size = 36 + data
    EXPECT_EQ(std::uint8_t(b[24]) | (std::uint8_t(b[25]) << 8), 11025);
    EXPECT_EQ(std::uint8_t(b[34]), 16);
    EXPECT_EQ(b.substr(36, 4), "data");
    EXPECT_EQ(b.substr(46, 4), std::string("\xff\x7f\x01\x80", 4));  // 32767, -32767
}

TEST(Scenario, TextBecomesCp932WithCrLfAndRefusesWhatItCannotHold) {
    EXPECT_EQ(ToCp932("灯台\n", "a.txt"), std::string("\x93\x94\x91\xe4\n", 5));
    try {
        ToCp932("一行目\n波〜線\n", "story.txt");
        FAIL() << "a wave dash has no CP932 form";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("story.txt(2)"), std::string::npos) << e.what();
    }
    // Line ends become CR LF once.
    EXPECT_EQ(WithCrLf("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(WithCrLf("\n"), "\r\n");
}

TEST(Scenario, VoicesTakeTheLengthOfTheirMessage) {
    std::string script =
        ".VOI A0001\n"
        "「あいうえお」\n"  // 7 characters
        "\n"
        "「かきく」\n"
        "@b0002\n"  // after its message, nothing after: the one before
        "\n"
        ".voi 00\n"
        "「さ」\n";
    EXPECT_EQ(VoicesOf(script), (std::vector<std::pair<std::string, std::size_t>>{{"A0001", 7}, {"B0002", 5}}));
}

TEST(Scenario, ThumbnailsFollowTheLayoutDocument) {
    std::string xml =
        "<config><cgalbum width=\"140\"><page>"
        "<cg pos=\"1,2\" flag=\"EV1\" title=\"一\">EV10000,EV11000</cg>"
        "<cg pos=\"3,4\" flag=\"BG2\">BG21000</cg></page><page><cg pos=\"330,140\" flag=\"BG3\">BG30000</cg></page>"
        "</cgalbum>"
        "<sceneplay><page><cg pos=\"5,6\" flag=\"S\" title=\"場面\">EV20000</cg></page></sceneplay></config>";
    auto pictures = [&](const char* screen) {
        std::vector<std::string> out;
        for (const Thumbnail& t : ThumbnailsOf(xml, screen))
            out.push_back(t.picture + "/" + t.title + " " + std::to_string(t.page) + "@" + std::to_string(t.x) + "," +
                          std::to_string(t.y));
        return out;
    };
    EXPECT_EQ(pictures("cgalbum"),
              (std::vector<std::string>{"EV10000/一 0@1,2", "BG21000/ 0@3,4", "BG30000/ 1@330,140"}));
    EXPECT_EQ(pictures("sceneplay"), (std::vector<std::string>{"EV20000/場面 0@5,6"}));
    for (const char* bad : {"<config><sceneplay><page><cg pos=\"1,1\" flag=\"S\"></cg></page></sceneplay></config>",
                            "<config><sceneplay><page><cg flag=\"S\">EV1</cg></page></sceneplay></config>",
                            "<config><sceneplay><cg pos=\"1,1\" flag=\"S\">EV1</cg></sceneplay></config>"})
        EXPECT_THROW(ThumbnailsOf(bad, "sceneplay"), std::runtime_error) << bad;
    EXPECT_THROW(ThumbnailsOf("<config/>", "cgalbum"), std::runtime_error);
}

// A page of the album or the replay frames the thumbnails it holds, and leaves the other places
// of the grid as plain sky.
TEST(ArtScreens, AlbumPagesFrameOnlyTheirThumbnails) {
    const FontLookup lookup;  // outlives the typefaces, so fontconfig's caches go with it
    Fonts fonts;
    const Canvas empty = AlbumPage(fonts, "CG", 1, 1, {});
    const Canvas page = AlbumPage(fonts, "CG", 1, 1, {{330, 140}, {130, 310}});
    std::string framed;
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 3; ++col) {
            // The frame's rim just outside the thumbnail's left edge, half way down.
            const int x = 130 + 200 * col - 5, y = 140 + 170 * row + 52;
            framed += std::abs(empty.at(x, y).r - page.at(x, y).r) + std::abs(empty.at(x, y).b - page.at(x, y).b) > 0.1f
                          ? '#'
                          : '-';
        }
    }
    EXPECT_EQ(framed, "-#-#--");
}

}  // namespace
}  // namespace mkdemo
