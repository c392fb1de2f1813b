#include "picture_writers.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

namespace media {

namespace {

void PngAppend(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

// Everything the PNG writer allocates lives outside the setjmp frame: libpng's errors jump
// back into it, past no destructor.
struct PngWriter {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWriter() { png_destroy_write_struct(&png, &info); }
};

void WritePngInto(PngWriter& w, const PngPicture& p, std::vector<png_bytep>& rows, std::vector<std::uint8_t>& out) {
    if (setjmp(png_jmpbuf(w.png))) throw std::runtime_error("libpng refuses the picture");
    png_set_write_fn(w.png, &out, PngAppend, nullptr);
    png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(p.width), static_cast<png_uint_32>(p.height), p.depth,
                 p.colourType, p.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!p.palette.empty()) png_set_PLTE(w.png, w.info, p.palette.data(), static_cast<int>(p.palette.size()));
    if (!p.paletteAlpha.empty())
        png_set_tRNS(w.png, w.info, p.paletteAlpha.data(), static_cast<int>(p.paletteAlpha.size()), nullptr);
    if (p.trnsColour) png_set_tRNS(w.png, w.info, nullptr, 0, &p.trns);
    png_write_info(w.png, w.info);
    png_write_image(w.png, rows.data());
    png_write_end(w.png, nullptr);
}

struct JpegErrors {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
};

void JpegFail(j_common_ptr c) { std::longjmp(reinterpret_cast<JpegErrors*>(c->err)->jump, 1); }

struct JpegWriter {
    jpeg_compress_struct c{};
    JpegErrors errors;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    ~JpegWriter() {
        jpeg_destroy_compress(&c);
        std::free(buffer);
    }
};

bool WriteJpegInto(JpegWriter& w, int width, int height, int components, std::span<const std::uint8_t> pixels,
                   int quality) {
    if (setjmp(w.errors.jump)) return false;
    jpeg_create_compress(&w.c);
    jpeg_mem_dest(&w.c, &w.buffer, &w.size);
    w.c.image_width = static_cast<JDIMENSION>(width);
    w.c.image_height = static_cast<JDIMENSION>(height);
    w.c.input_components = components;
    w.c.in_color_space = components == 3 ? JCS_RGB : components == 1 ? JCS_GRAYSCALE : JCS_CMYK;
    jpeg_set_defaults(&w.c);
    jpeg_set_quality(&w.c, quality, TRUE);
    jpeg_start_compress(&w.c, TRUE);
    const std::size_t stride = static_cast<std::size_t>(width) * static_cast<std::size_t>(components);
    while (w.c.next_scanline < w.c.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(pixels.data()) + w.c.next_scanline * stride;
        jpeg_write_scanlines(&w.c, &row, 1);
    }
    jpeg_finish_compress(&w.c);
    return true;
}

// libtiff writes through these into a growing byte buffer, seeking back to patch offsets.
struct TiffMemory {
    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
};

tmsize_t TiffRead(thandle_t h, void* data, tmsize_t size) {
    auto* m = static_cast<TiffMemory*>(h);
    const std::size_t n =
        std::min(static_cast<std::size_t>(size), m->bytes.size() - std::min(m->position, m->bytes.size()));
    if (n) std::memcpy(data, m->bytes.data() + m->position, n);
    m->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t TiffWrite(thandle_t h, void* data, tmsize_t size) {
    auto* m = static_cast<TiffMemory*>(h);
    const std::size_t n = static_cast<std::size_t>(size);
    if (m->bytes.size() < m->position + n) m->bytes.resize(m->position + n);
    std::memcpy(m->bytes.data() + m->position, data, n);
    m->position += n;
    return size;
}

toff_t TiffSeek(thandle_t h, toff_t offset, int whence) {
    auto* m = static_cast<TiffMemory*>(h);
    const std::size_t base = whence == SEEK_CUR ? m->position : whence == SEEK_END ? m->bytes.size() : 0;
    m->position = base + static_cast<std::size_t>(offset);
    return m->position;
}

int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t h) { return static_cast<TiffMemory*>(h)->bytes.size(); }

struct TiffClose_ {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

void WriteTiles(TIFF* tif, const TiffPicture& p) {
    constexpr int kTile = 16;
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, kTile);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, kTile);
    const tmsize_t tileSize = TIFFTileSize(tif);
    const std::size_t pixelBytes = p.rows[0].size() / static_cast<std::size_t>(p.width);
    for (int ty = 0; ty < p.height; ty += kTile)
        for (int tx = 0; tx < p.width; tx += kTile) {
            std::vector<std::uint8_t> tile(static_cast<std::size_t>(tileSize), 0);
            for (int y = 0; y < kTile && ty + y < p.height; ++y)
                for (int x = 0; x < kTile && tx + x < p.width; ++x)
                    std::memcpy(
                        &tile[(static_cast<std::size_t>(y) * kTile + x) * pixelBytes],
                        &p.rows[static_cast<std::size_t>(ty + y)][static_cast<std::size_t>(tx + x) * pixelBytes],
                        pixelBytes);
            const ttile_t index =
                TIFFComputeTile(tif, static_cast<std::uint32_t>(tx), static_cast<std::uint32_t>(ty), 0, 0);
            if (TIFFWriteEncodedTile(tif, index, tile.data(), tileSize) < 0)
                throw std::runtime_error("libtiff refuses a tile");
        }
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const PngPicture& p) {
    if (p.rows.size() != static_cast<std::size_t>(p.height))
        throw std::runtime_error("PNG rows do not match the height");
    PngWriter w;
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    w.info = w.png ? png_create_info_struct(w.png) : nullptr;
    if (!w.info) throw std::runtime_error("libpng: out of memory");
    std::vector<png_bytep> rows;
    for (const auto& r : p.rows) rows.push_back(const_cast<png_bytep>(r.data()));
    std::vector<std::uint8_t> out;
    WritePngInto(w, p, rows, out);
    return out;
}

std::vector<std::uint8_t> EncodeJpeg(int width, int height, int components, std::span<const std::uint8_t> pixels,
                                     int quality) {
    if (width <= 0 || height <= 0 || pixels.size() < static_cast<std::size_t>(width) * height * components)
        throw std::runtime_error("JPEG pixels do not cover the picture");
    JpegWriter w;
    w.c.err = jpeg_std_error(&w.errors.manager);
    w.errors.manager.error_exit = JpegFail;
    if (!WriteJpegInto(w, width, height, components, pixels, quality))
        throw std::runtime_error("libjpeg refuses the picture");
    return std::vector<std::uint8_t>(w.buffer, w.buffer + w.size);
}

std::vector<std::uint8_t> EncodeTiff(const TiffPicture& p) {
    if (p.rows.size() != static_cast<std::size_t>(p.height))
        throw std::runtime_error("TIFF rows do not match the height");
    TiffMemory memory;
    {
        // Closing writes the directory.
        std::unique_ptr<TIFF, TiffClose_> owner(TIFFClientOpen("memory", "wl", &memory, TiffRead, TiffWrite, TiffSeek,
                                                               TiffClose, TiffSize, nullptr, nullptr));
        TIFF* tif = owner.get();
        if (!tif) throw std::runtime_error("libtiff cannot start a file");
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, p.width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, p.height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, p.bitsPerSample);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, p.samplesPerPixel);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, p.photometric);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, p.compression);
        if (p.samplesPerPixel == 4) {
            const std::uint16_t extra = EXTRASAMPLE_UNASSALPHA;
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
        }
        if (!p.red.empty()) TIFFSetField(tif, TIFFTAG_COLORMAP, p.red.data(), p.green.data(), p.blue.data());
        if (p.tiled) {
            WriteTiles(tif, p);
        } else {
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, p.rowsPerStrip);
            for (int y = 0; y < p.height; ++y)
                if (TIFFWriteScanline(tif, const_cast<std::uint8_t*>(p.rows[static_cast<std::size_t>(y)].data()),
                                      static_cast<std::uint32_t>(y), 0) < 0)
                    throw std::runtime_error("libtiff refuses a row");
        }
    }
    return std::move(memory.bytes);
}

std::vector<std::uint8_t> EncodeBmp24(int width, int height, std::span<const std::uint8_t> rgb) {
    if (width <= 0 || height <= 0 || rgb.size() < static_cast<std::size_t>(width) * height * 3)
        throw std::runtime_error("BMP pixels do not cover the picture");
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(height);
    std::vector<std::uint8_t> out;
    auto u16 = [&](std::uint32_t v) { out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); };
    auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    out.insert(out.end(), {'B', 'M'});
    u32(14 + 40 + imageSize), u32(0), u32(14 + 40);
    u32(40), u32(static_cast<std::uint32_t>(width)), u32(static_cast<std::uint32_t>(height)), u16(1), u16(24), u32(0);
    u32(imageSize), u32(2835), u32(2835), u32(0), u32(0);
    for (int y = height - 1; y >= 0; --y) {
        const std::uint8_t* src = rgb.data() + static_cast<std::size_t>(y) * width * 3;
        const std::size_t start = out.size();
        for (int x = 0; x < width; ++x) out.insert(out.end(), {src[x * 3 + 2], src[x * 3 + 1], src[x * 3]});
        out.resize(start + stride, 0);
    }
    return out;
}

void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace media
