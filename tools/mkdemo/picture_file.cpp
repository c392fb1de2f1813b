#include "picture_file.h"

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

namespace mkdemo {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenForWriting(const std::filesystem::path& path) {
    std::filesystem::create_directories(path.parent_path());
    File f(std::fopen(path.c_str(), "wb"));
    if (!f) throw std::runtime_error("cannot write " + path.string());
    return f;
}

std::uint8_t Byte(float v) { return std::uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

// The picture's rows as 8-bit RGB(A), top row first.
std::vector<std::uint8_t> Bytes(const Canvas& canvas, bool withAlpha) {
    int channels = withAlpha ? 4 : 3;
    std::vector<std::uint8_t> out(std::size_t(canvas.width()) * canvas.height() * channels);
    std::size_t i = 0;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const Color& p = canvas.at(x, y);
            // An opaque picture flattens any leftover transparency onto black.
            float k = withAlpha ? 1.0f : std::clamp(p.a, 0.0f, 1.0f);
            out[i++] = Byte(p.r * k);
            out[i++] = Byte(p.g * k);
            out[i++] = Byte(p.b * k);
            if (withAlpha) out[i++] = Byte(p.a);
        }
    }
    return out;
}

}  // namespace

void WritePng(const std::filesystem::path& path, const Canvas& canvas, bool withAlpha) {
    File file = OpenForWriting(path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw std::runtime_error("libpng: out of memory");
    }
    std::vector<std::uint8_t> bytes = Bytes(canvas, withAlpha);
    std::vector<png_bytep> rows(canvas.height());
    std::size_t stride = std::size_t(canvas.width()) * (withAlpha ? 4 : 3);
    for (int y = 0; y < canvas.height(); ++y) rows[y] = bytes.data() + y * stride;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng: cannot write " + path.string());
    }
    png_init_io(png, file.get());
    png_set_compression_level(png, 6);
    png_set_IHDR(png, info, canvas.width(), canvas.height(), 8, withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
}

void WriteJpeg(const std::filesystem::path& path, const Canvas& canvas, int quality) {
    File file = OpenForWriting(path);
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file.get());
    cinfo.image_width = canvas.width();
    cinfo.image_height = canvas.height();
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<std::uint8_t> bytes = Bytes(canvas, false);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = bytes.data() + std::size_t(cinfo.next_scanline) * canvas.width() * 3;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
}

void WriteBmp(const std::filesystem::path& path, const Canvas& canvas) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    if (!out) throw std::runtime_error("cannot write " + path.string());
    std::uint32_t stride = (std::uint32_t(canvas.width()) * 3 + 3) & ~3u;
    std::uint32_t imageSize = stride * canvas.height();
    auto u16 = [&](std::uint16_t v) { out.put(char(v & 255)).put(char(v >> 8)); };
    auto u32 = [&](std::uint32_t v) { u16(std::uint16_t(v & 0xFFFF)), u16(std::uint16_t(v >> 16)); };
    out.write("BM", 2);
    u32(14 + 40 + imageSize), u32(0), u32(14 + 40);
    u32(40), u32(canvas.width()), u32(canvas.height()), u16(1), u16(24), u32(0), u32(imageSize);
    u32(2835), u32(2835), u32(0), u32(0);
    std::vector<std::uint8_t> bytes = Bytes(canvas, false);
    std::vector<char> row(stride, 0);
    for (int y = canvas.height() - 1; y >= 0; --y) {
        const std::uint8_t* src = bytes.data() + std::size_t(y) * canvas.width() * 3;
        for (int x = 0; x < canvas.width(); ++x) {
            row[x * 3] = char(src[x * 3 + 2]), row[x * 3 + 1] = char(src[x * 3 + 1]), row[x * 3 + 2] = char(src[x * 3]);
        }
        out.write(row.data(), stride);
    }
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace mkdemo
