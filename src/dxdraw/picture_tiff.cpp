// TIFF glue: libtiff reads from memory through bounded client procedures. Palette and grey
// pictures of 1, 4 and 8 bits and 8-bit RGB(A) strips are copied into the DIB row by row;
// every other layout (16-bit samples, tiles, planes, other colour spaces) goes through the
// library's own RGBA conversion, which knows them all.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <tiffio.h>

#include "dxdraw/library_messages.h"
#include "dxdraw/picture_decoders.h"

namespace {

using DxDraw::DibBuffer;
using DxDraw::PaletteEntry;

constexpr std::int32_t kPixelsPerMetre = 2834;  // 72 dots per inch

struct TiffMemory {
    const std::uint8_t* base;
    std::uint64_t size;
    std::uint64_t position;
};

tmsize_t TiffReadProc(thandle_t handle, void* buffer, tmsize_t request) {
    auto* memory = static_cast<TiffMemory*>(handle);
    if (request <= 0) return 0;
    const std::uint64_t count =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(request), memory->size - memory->position);
    if (count == 0) return 0;
    std::memcpy(buffer, memory->base + memory->position, count);
    memory->position += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t TiffWriteProc(thandle_t, void*, tmsize_t) { return 0; }

// Positions outside the data are refused, so the cursor never leaves it.
toff_t TiffSeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* memory = static_cast<TiffMemory*>(handle);
    const auto signedOffset = static_cast<std::int64_t>(offset);
    std::int64_t base;
    switch (whence) {
        case SEEK_SET: base = 0; break;
        case SEEK_CUR: base = static_cast<std::int64_t>(memory->position); break;
        case SEEK_END: base = static_cast<std::int64_t>(memory->size); break;
        default: return static_cast<toff_t>(-1);
    }
    std::int64_t target;
    if (__builtin_add_overflow(base, signedOffset, &target) || target < 0 ||
        static_cast<std::uint64_t>(target) > memory->size)
        return static_cast<toff_t>(-1);
    memory->position = static_cast<std::uint64_t>(target);
    return memory->position;
}

int TiffCloseProc(thandle_t) { return 0; }
toff_t TiffSizeProc(thandle_t handle) { return static_cast<TiffMemory*>(handle)->size; }
// The data is handed to the library as a read-only mapping: it reads strips and tiles in place
// (it copies before any bit reversal, so the bytes are never written).
int TiffMapProc(thandle_t handle, void** base, toff_t* size) {
    auto* memory = static_cast<TiffMemory*>(handle);
    *base = const_cast<std::uint8_t*>(memory->base);
    *size = memory->size;
    return 1;
}
void TiffUnmapProc(thandle_t, void*, toff_t) {}

int TiffErrorHandler(TIFF*, void*, const char* module, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    TraceLibraryMessage(module ? u"libtiff error: " : u"libtiff: ", text);
    return 1;
}

// Warnings stay silent, but one the library gives for a tag it could not read (it drops the tag
// and goes on: a palette picture cut inside its colour map would come out grey) marks the
// picture as truncated.
int TiffWarningHandler(TIFF*, void* user, const char*, const char* format, va_list) {
    if (user && format && std::strncmp(format, "IO error", 8) == 0) *static_cast<bool*>(user) = true;
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

struct TiffOptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

struct TiffLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t bitsPerSample = 1;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t photometric = 0;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    std::uint32_t rowsPerStrip = 0;
};

// The DIB depth of a layout read strip by strip, or 0 when the library's conversion must do it.
std::uint16_t StripDepth(TIFF* tif, const TiffLayout& layout) {
    if (TIFFIsTiled(tif) || layout.planar != PLANARCONFIG_CONTIG) return 0;
    const bool indexed = layout.photometric == PHOTOMETRIC_PALETTE || layout.photometric == PHOTOMETRIC_MINISBLACK ||
                         layout.photometric == PHOTOMETRIC_MINISWHITE;
    std::uint16_t depth = 0;
    if (indexed && layout.samplesPerPixel == 1 &&
        (layout.bitsPerSample == 1 || layout.bitsPerSample == 4 || layout.bitsPerSample == 8))
        depth = layout.bitsPerSample;
    else if (layout.photometric == PHOTOMETRIC_RGB && layout.bitsPerSample == 8 &&
             (layout.samplesPerPixel == 3 || layout.samplesPerPixel == 4))
        depth = static_cast<std::uint16_t>(8 * layout.samplesPerPixel);
    if (depth == 0) return 0;
    // The library's row must be exactly what the depth says.
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(layout.width) * depth + 7) / 8;
    return static_cast<std::uint64_t>(TIFFScanlineSize64(tif)) == rowBytes ? depth : 0;
}

// Palette of a strip-read DIB of 8 bits or fewer.
bool FillPalette(TIFF* tif, const TiffLayout& layout, PaletteEntry* palette) {
    const std::uint32_t count = 1u << layout.bitsPerSample;
    if (layout.photometric != PHOTOMETRIC_PALETTE) {
        for (std::uint32_t i = 0; i < count; ++i) {
            auto g = static_cast<std::uint8_t>(i * 255 / (count - 1));
            if (layout.photometric == PHOTOMETRIC_MINISWHITE) g = static_cast<std::uint8_t>(255 - g);
            palette[i] = PaletteEntry{g, g, g, 0};
        }
        return true;
    }
    std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue) return false;
    // Maps are 16-bit by the format, but some writers store 8-bit values: one entry above 255
    // means the whole map is 16-bit.
    bool wide = false;
    for (std::uint32_t i = 0; i < count; ++i) wide = wide || red[i] > 255 || green[i] > 255 || blue[i] > 255;
    const auto level = [wide](std::uint16_t v) {
        return static_cast<std::uint8_t>(wide ? v * 255u / 65535u : v & 255u);
    };
    for (std::uint32_t i = 0; i < count; ++i)
        palette[i] = PaletteEntry{level(blue[i]), level(green[i]), level(red[i]), 0};
    return true;
}

DibBuffer ReadStrips(TIFF* tif, const TiffLayout& layout, std::uint16_t depth) {
    const auto width = static_cast<std::int32_t>(layout.width);
    const auto height = static_cast<std::int32_t>(layout.height);
    DibBuffer dib = DibBuffer::Create(width, height, depth, depth <= 8 ? 1u << depth : 0);
    if (!dib || (depth <= 8 && !FillPalette(tif, layout, dib.palette()))) return {};

    const std::size_t rowBytes = static_cast<std::size_t>(TIFFScanlineSize64(tif));
    const std::size_t stride = DxDraw::DibStride(width, depth);
    // RowsPerStrip 0 (invalid) or beyond the picture means one strip for the whole picture.
    const std::uint32_t rowsPerStrip =
        layout.rowsPerStrip == 0 || layout.rowsPerStrip > layout.height ? layout.height : layout.rowsPerStrip;
    const std::size_t stripBytes = rowBytes * rowsPerStrip;
    if (stripBytes > DxDraw::kMaxImageBytes) return {};
    std::vector<std::uint8_t> strip(stripBytes);

    for (std::uint32_t row = 0; row < layout.height; row += rowsPerStrip) {
        const std::uint32_t rows = std::min(rowsPerStrip, layout.height - row);
        const tmsize_t wanted = static_cast<tmsize_t>(rows * rowBytes);
        const tmsize_t got = TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, row, 0), strip.data(), wanted);
        if (got < 0) return {};
        std::fill(strip.begin() + got, strip.begin() + wanted, std::uint8_t{0});
        for (std::uint32_t r = 0; r < rows; ++r) {
            const std::uint8_t* src = strip.data() + r * rowBytes;
            std::uint8_t* dst = dib.rows() + (layout.height - 1 - (row + r)) * stride;
            if (depth == 24) {
                for (std::int32_t x = 0; x < width; ++x, src += 3, dst += 3) {
                    dst[0] = src[2];
                    dst[1] = src[1];
                    dst[2] = src[0];
                }
            } else if (depth == 32) {
                for (std::int32_t x = 0; x < width; ++x, src += 4, dst += 4) {
                    dst[0] = src[2];
                    dst[1] = src[1];
                    dst[2] = src[0];
                    dst[3] = src[3];
                }
            } else {
                std::memcpy(dst, src, rowBytes);
            }
        }
    }
    return dib;
}

// Any other layout: the library converts to R, G, B, A, bottom row first, which is a 32-bit
// DIB once red and blue are exchanged.
DibBuffer ReadThroughRgba(TIFF* tif, const TiffLayout& layout) {
    char message[1024];
    if (!TIFFRGBAImageOK(tif, message)) {
        TraceLibraryMessage(u"libtiff: ", message);
        return {};
    }
    const auto width = static_cast<std::int32_t>(layout.width);
    const auto height = static_cast<std::int32_t>(layout.height);
    DibBuffer dib = DibBuffer::Create(width, height, 32, 0);
    if (!dib) return {};
    auto* raster = reinterpret_cast<std::uint32_t*>(dib.rows());
    if (!TIFFReadRGBAImageOriented(tif, layout.width, layout.height, raster, ORIENTATION_BOTLEFT, 1)) return {};
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint32_t abgr = raster[i];
        raster[i] = (abgr & 0xFF00FF00u) | (abgr & 0xFFu) << 16 | (abgr >> 16 & 0xFFu);
    }
    return dib;
}

}  // namespace

DibBuffer LoadTiffAsDib(std::span<const std::uint8_t> data) {
    TiffMemory memory{data.data(), data.size(), 0};
    std::unique_ptr<TIFFOpenOptions, TiffOptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options) return {};
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), TiffErrorHandler, nullptr);
    bool unreadableTag = false;
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), TiffWarningHandler, &unreadableTag);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), static_cast<tmsize_t>(DxDraw::kMaxImageBytes));
    TiffHandle tif(TIFFClientOpenExt("", "r", &memory, TiffReadProc, TiffWriteProc, TiffSeekProc, TiffCloseProc,
                                     TiffSizeProc, TiffMapProc, TiffUnmapProc, options.get()));
    if (!tif) return {};
    if (unreadableTag) {
        TraceLibraryMessage(u"libtiff: ", "a tag of the directory lies past the end of the data, picture refused");
        return {};
    }

    TiffLayout layout;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &layout.width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &layout.height) || layout.width == 0 || layout.height == 0 ||
        layout.width > static_cast<std::uint32_t>(DxDraw::kMaxImageDimension) ||
        layout.height > static_cast<std::uint32_t>(DxDraw::kMaxImageDimension))
        return {};
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &layout.bitsPerSample);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &layout.samplesPerPixel);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &layout.planar);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ROWSPERSTRIP, &layout.rowsPerStrip);
    if (!TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &layout.photometric)) layout.photometric = 0xFFFF;

    const std::uint16_t depth = StripDepth(tif.get(), layout);
    DibBuffer dib = depth ? ReadStrips(tif.get(), layout, depth) : ReadThroughRgba(tif.get(), layout);
    if (dib) {
        dib.header().biXPelsPerMeter = kPixelsPerMetre;
        dib.header().biYPelsPerMeter = kPixelsPerMetre;
    }
    return dib;
}
