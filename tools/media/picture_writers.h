// Pictures in the formats the engine reads, written with the same libraries its decoders use:
// the sample-game builder draws its pictures with them, the tests and benchmarks make their
// inputs with them. Every writer returns the file's bytes and throws std::runtime_error when the
// library refuses.
#pragma once

#include <png.h>
#include <tiffio.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace media {

struct PngPicture {
    int width = 0, height = 0, colourType = PNG_COLOR_TYPE_RGB, depth = 8;
    bool interlace = false;
    std::vector<std::vector<std::uint8_t>> rows;  // packed as PNG stores them, top row first
    std::vector<png_color> palette;
    std::vector<std::uint8_t> paletteAlpha;  // tRNS of a palette picture
    bool trnsColour = false;                 // tRNS of a grey or RGB picture
    png_color_16 trns{};
};
std::vector<std::uint8_t> EncodePng(const PngPicture& picture);

// Baseline JPEG of top-down rows of R, G, B (components 3), grey (1) or C, M, Y, K (4).
std::vector<std::uint8_t> EncodeJpeg(int width, int height, int components, std::span<const std::uint8_t> pixels,
                                     int quality = 90);

struct TiffPicture {
    int width = 0, height = 0;
    int bitsPerSample = 8, samplesPerPixel = 3, photometric = PHOTOMETRIC_RGB;
    int rowsPerStrip = 2;
    int compression = COMPRESSION_NONE;
    bool tiled = false;                           // 16 x 16 tiles instead of strips
    std::vector<std::uint16_t> red, green, blue;  // colour map
    std::vector<std::vector<std::uint8_t>> rows;  // packed as TIFF stores them, top row first
};
// Little-endian TIFF, one directory; a fourth sample is unassociated alpha.
std::vector<std::uint8_t> EncodeTiff(const TiffPicture& picture);

// Uncompressed 24-bit bottom-up BMP of top-down rows of R, G, B.
std::vector<std::uint8_t> EncodeBmp24(int width, int height, std::span<const std::uint8_t> rgb);

// Writes the bytes, creating the folders on the way.
void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace media
