// Test pictures written with the same libraries the decoders use.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "picture_test_util.h"

namespace picture_test {

struct PngPicture {
    int width = 0, height = 0, colourType = PNG_COLOR_TYPE_RGB, depth = 8;
    bool interlace = false;
    std::vector<std::vector<std::uint8_t>> rows;  // packed as PNG stores them
    std::vector<png_color> palette;
    std::vector<std::uint8_t> paletteAlpha;  // tRNS of a palette picture
    bool trnsColour = false;                 // tRNS of a grey or RGB picture
    png_color_16 trns{};
};

inline void PngWrite(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

inline std::vector<std::uint8_t> EncodePng(PngPicture& p) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, PngWrite, nullptr);
    png_set_IHDR(png, info, p.width, p.height, p.depth, p.colourType,
                 p.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!p.palette.empty()) png_set_PLTE(png, info, p.palette.data(), static_cast<int>(p.palette.size()));
    if (!p.paletteAlpha.empty())
        png_set_tRNS(png, info, p.paletteAlpha.data(), static_cast<int>(p.paletteAlpha.size()), nullptr);
    if (p.trnsColour) png_set_tRNS(png, info, nullptr, 0, &p.trns);
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (auto& r : p.rows) rows.push_back(r.data());
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Pixels R, G, B (components 3) or grey (1), or C, M, Y, K (4).
inline std::vector<std::uint8_t> EncodeJpeg(int width, int height, int components,
                                            const std::vector<std::uint8_t>& pixels, int quality = 90) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = components;
    c.in_color_space = components == 3 ? JCS_RGB : components == 1 ? JCS_GRAYSCALE : JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(pixels.data()) + c.next_scanline * width * components;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&c);
    std::free(buffer);
    return out;
}

// Decodes with the bare library into R, G, B rows (no glue), to compare the glue with.
inline std::vector<std::uint8_t> BareJpegDecode(const std::vector<std::uint8_t>& data, int* width, int* height) {
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

struct TiffPicture {
    int width = 0, height = 0;
    int bitsPerSample = 8, samplesPerPixel = 3, photometric = PHOTOMETRIC_RGB;
    int rowsPerStrip = 2;
    int compression = COMPRESSION_NONE;
    bool tiled = false;
    std::vector<std::uint16_t> red, green, blue;  // colour map
    std::vector<std::vector<std::uint8_t>> rows;  // packed as TIFF stores them
};

inline std::vector<std::uint8_t> EncodeTiff(const TiffPicture& p) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("qb_tiff_" + std::to_string(::getpid()) + ".tif")).string();
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, p.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, p.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, p.bitsPerSample);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, p.samplesPerPixel);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, p.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, p.compression);
    if (p.samplesPerPixel == 4) {
        std::uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (!p.red.empty()) TIFFSetField(tif, TIFFTAG_COLORMAP, p.red.data(), p.green.data(), p.blue.data());
    if (p.tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
        const tmsize_t tileSize = TIFFTileSize(tif);
        const std::size_t rowBytes = p.rows[0].size();
        for (int ty = 0; ty < p.height; ty += 16)
            for (int tx = 0; tx < p.width; tx += 16) {
                std::vector<std::uint8_t> tile(static_cast<std::size_t>(tileSize), 0);
                const std::size_t pixelBytes = rowBytes / static_cast<std::size_t>(p.width);
                for (int y = 0; y < 16 && ty + y < p.height; ++y)
                    for (int x = 0; x < 16 && tx + x < p.width; ++x)
                        std::memcpy(
                            &tile[(static_cast<std::size_t>(y) * 16 + x) * pixelBytes],
                            &p.rows[static_cast<std::size_t>(ty + y)][static_cast<std::size_t>(tx + x) * pixelBytes],
                            pixelBytes);
                TIFFWriteEncodedTile(
                    tif, TIFFComputeTile(tif, static_cast<std::uint32_t>(tx), static_cast<std::uint32_t>(ty), 0, 0),
                    tile.data(), tileSize);
            }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, p.rowsPerStrip);
        for (int y = 0; y < p.height; ++y)
            TIFFWriteScanline(tif, const_cast<std::uint8_t*>(p.rows[static_cast<std::size_t>(y)].data()),
                              static_cast<std::uint32_t>(y), 0);
    }
    TIFFClose(tif);
    std::vector<std::uint8_t> bytes = ReadFile(path);
    std::filesystem::remove(path);
    return bytes;
}

}  // namespace picture_test
