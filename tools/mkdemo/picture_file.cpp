#include "picture_file.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "media/picture_writers.h"

namespace mkdemo {

namespace {

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
    media::PngPicture picture;
    picture.width = canvas.width();
    picture.height = canvas.height();
    picture.colourType = withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
    const std::vector<std::uint8_t> bytes = Bytes(canvas, withAlpha);
    const std::size_t stride = std::size_t(canvas.width()) * (withAlpha ? 4 : 3);
    for (int y = 0; y < canvas.height(); ++y) {
        const auto row = bytes.begin() + std::ptrdiff_t(y * stride);
        picture.rows.emplace_back(row, row + std::ptrdiff_t(stride));
    }
    media::WriteFile(path, media::EncodePng(picture));
}

void WriteJpeg(const std::filesystem::path& path, const Canvas& canvas, int quality) {
    media::WriteFile(path, media::EncodeJpeg(canvas.width(), canvas.height(), 3, Bytes(canvas, false), quality));
}

void WriteBmp(const std::filesystem::path& path, const Canvas& canvas) {
    media::WriteFile(path, media::EncodeBmp24(canvas.width(), canvas.height(), Bytes(canvas, false)));
}

}  // namespace mkdemo
