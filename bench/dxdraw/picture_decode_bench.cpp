// Decoding an 800 x 600 PNG and JPEG through the picture glue, side by side with the bare
// library decode of the same bytes (the least a program must do: a new buffer for the
// pixels, the rows decoded into it). The glue should add no more than 20 %: compare the DIB
// decodes with the plain bare ones and the decodes into a 32-bit image with the four-byte ones.
#include <benchmark/benchmark.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "dxdraw/dib.h"
#include "dxdraw/dximage.h"
#include "dxdraw/picture_decoders.h"
#include "media/picture_writers.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;

// A photo-like picture: smooth gradients with a little noise.
std::vector<std::uint8_t> Picture() {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kWidth) * kHeight * 3);
    std::uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int noise = static_cast<int>((seed >> 16) & 7);
            std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * kWidth + x) * 3];
            p[0] = static_cast<std::uint8_t>((x * 255 / kWidth + noise) & 255);
            p[1] = static_cast<std::uint8_t>((y * 255 / kHeight + noise) & 255);
            p[2] = static_cast<std::uint8_t>(((x + y) * 127 / (kWidth + kHeight) + 64 + noise) & 255);
        }
    return rgb;
}

std::vector<std::uint8_t> EncodePng(const std::vector<std::uint8_t>& rgb) {
    media::PngPicture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    for (int y = 0; y < kHeight; ++y) {
        const auto row = rgb.begin() + static_cast<std::ptrdiff_t>(y) * kWidth * 3;
        picture.rows.emplace_back(row, row + kWidth * 3);
    }
    return media::EncodePng(picture);
}

std::vector<std::uint8_t> EncodeJpeg(const std::vector<std::uint8_t>& rgb) {
    return media::EncodeJpeg(kWidth, kHeight, 3, rgb);
}

const std::vector<std::uint8_t>& PngFile() {
    static const std::vector<std::uint8_t> file = EncodePng(Picture());
    return file;
}

const std::vector<std::uint8_t>& JpegFile() {
    static const std::vector<std::uint8_t> file = EncodeJpeg(Picture());
    return file;
}

struct MemoryReader {
    const std::uint8_t* data;
    std::size_t size, position;
};

void PngRead(png_structp png, png_bytep out, png_size_t count) {
    auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (count > r->size - r->position) png_error(png, "short");
    std::memcpy(out, r->data + r->position, count);
    r->position += count;
}

// The bare library: RGB rows into one buffer (3 bytes a pixel), or with `four_bytes` B, G, R, X
// rows: what a 32-bit image holds, the like-for-like reference for decoding straight into one.
bool BarePngDecode(const std::vector<std::uint8_t>& file, std::uint8_t* pixels, png_bytep* rows,
                   bool four_bytes = false) {
    MemoryReader reader{file.data(), file.size(), 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, PngRead);
    png_read_info(png, info);
    if (four_bytes) {
        png_set_bgr(png);
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    }
    const std::size_t stride = static_cast<std::size_t>(kWidth) * (four_bytes ? 4 : 3);
    for (int y = 0; y < kHeight; ++y) rows[y] = pixels + static_cast<std::size_t>(y) * stride;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

std::unique_ptr<std::uint8_t[]> NewPixels(int components) {
    return std::unique_ptr<std::uint8_t[]>(new std::uint8_t[static_cast<std::size_t>(kWidth) * kHeight * components]);
}

void PngBare(benchmark::State& state, int components) {
    const auto& file = PngFile();
    std::vector<png_bytep> rows(kHeight);
    for (auto _ : state) {
        auto pixels = NewPixels(components);
        benchmark::DoNotOptimize(BarePngDecode(file, pixels.get(), rows.data(), components == 4));
    }
}

void BM_PngBare(benchmark::State& state) { PngBare(state, 3); }
void BM_PngBareFourBytes(benchmark::State& state) { PngBare(state, 4); }

void BM_PngGlue(benchmark::State& state) {
    const auto& file = PngFile();
    for (auto _ : state) {
        DxDraw::DibBuffer dib = DecodePngToDib(file);
        benchmark::DoNotOptimize(dib.data());
    }
}

// The 32-bit image the way a picture becomes a surface: decoded straight into it.
void BM_PngGlueInto32BitImage(benchmark::State& state) {
    const auto& file = PngFile();
    DxDraw::DxImage image(32);
    for (auto _ : state) benchmark::DoNotOptimize(DecodePngToImage(image, file));
}

// The same through the DIB and its conversion, for comparison.
void BM_PngGlueViaDibInto32BitImage(benchmark::State& state) {
    const auto& file = PngFile();
    DxDraw::DxImage image(32);
    for (auto _ : state) {
        DxDraw::DibBuffer dib = DecodePngToDib(file);
        benchmark::DoNotOptimize(image.LoadFromDib(dib.bytes()));
    }
}

// The bare library decode into rows of `components` bytes per pixel: 3 (R, G, B) is the
// plain decode; 4 (B, G, R, X) writes the bytes a 32-bit image holds, the like-for-like
// reference for decoding straight into one.
void JpegBare(benchmark::State& state, int components) {
    const auto& file = JpegFile();
    for (auto _ : state) {
        auto pixels =
            std::unique_ptr<std::uint8_t[]>(new std::uint8_t[static_cast<std::size_t>(kWidth) * kHeight * components]);
        jpeg_decompress_struct d{};
        jpeg_error_mgr err{};
        d.err = jpeg_std_error(&err);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, file.data(), file.size());
        jpeg_read_header(&d, TRUE);
        d.out_color_space = components == 3 ? JCS_RGB : JCS_EXT_BGRX;
        jpeg_start_decompress(&d);
        while (d.output_scanline < d.output_height) {
            JSAMPROW row = pixels.get() + static_cast<std::size_t>(d.output_scanline) * kWidth * components;
            jpeg_read_scanlines(&d, &row, 1);
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        benchmark::DoNotOptimize(pixels.get());
    }
}

void BM_JpegBare(benchmark::State& state) { JpegBare(state, 3); }
void BM_JpegBareFourBytes(benchmark::State& state) { JpegBare(state, 4); }

void BM_JpegGlue(benchmark::State& state) {
    const auto& file = JpegFile();
    for (auto _ : state) {
        DxDraw::DibBuffer dib = DecodeJpegToDib(file);
        benchmark::DoNotOptimize(dib.data());
    }
}

// The 32-bit image the way a picture becomes a surface: decoded straight into it.
void BM_JpegGlueInto32BitImage(benchmark::State& state) {
    const auto& file = JpegFile();
    DxDraw::DxImage image(32);
    for (auto _ : state) benchmark::DoNotOptimize(DecodeJpegToImage(image, file));
}

// The same through the 24-bit DIB and its conversion, for comparison.
void BM_JpegGlueViaDibInto32BitImage(benchmark::State& state) {
    const auto& file = JpegFile();
    DxDraw::DxImage image(32);
    for (auto _ : state) {
        DxDraw::DibBuffer dib = DecodeJpegToDib(file);
        benchmark::DoNotOptimize(image.LoadFromDib(dib.bytes()));
    }
}

// Pinned iteration counts, so that every variant decodes the picture the same number of
// times; compare medians of --benchmark_repetitions runs. Each takes its file before its timed
// loop: the first call encodes it.
BENCHMARK(BM_PngBare)->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK(BM_PngBareFourBytes)->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK(BM_PngGlue)->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK(BM_PngGlueInto32BitImage)->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK(BM_PngGlueViaDibInto32BitImage)->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK(BM_JpegBare)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_JpegBareFourBytes)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_JpegGlue)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_JpegGlueInto32BitImage)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_JpegGlueViaDibInto32BitImage)->Unit(benchmark::kMillisecond)->Iterations(100);

}  // namespace
