// PNG glue: libpng reads from memory through our callback; a library error jumps back into a
// small frame that owns no C++ objects, so no destructor is ever skipped.
#include <csetjmp>
#include <cstring>
#include <vector>

#include <png.h>

#include "dxdraw/library_messages.h"
#include "dxdraw/picture_decoders.h"

namespace {

using DxDraw::DibBuffer;
using DxDraw::PaletteEntry;

constexpr const char* kReadPastEnd = "Read beyond the end of the data";
// Deflate never expands more than 1032 to 1.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

struct PngSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;
};

// What the header says the DIB must look like, once the transforms are set.
struct PngLayout {
    png_uint_32 width;
    png_uint_32 height;
    std::uint16_t bits;
    std::uint32_t colours;
    PaletteEntry palette[256];
};

void PngReadCallback(png_structp png, png_bytep out, png_size_t count) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > source->size - source->position) png_error(png, kReadPastEnd);
    std::memcpy(out, source->data + source->position, count);
    source->position += count;
}

// Data found too short before the library reads it is reported as the library reports a read
// past the end.
void ReportReadPastEnd() {
    ShowLibraryMessage(kReadPastEnd, u"\n\nOnMemory:\n", u"libpng error", LibraryMessageKind::Error);
}

[[noreturn]] void PngErrorHandler(png_structp png, png_const_charp message) {
    ShowLibraryMessage(message, u"\n\nOnMemory:\n", u"libpng error", LibraryMessageKind::Error);
    png_longjmp(png, 1);
}

void PngWarningHandler(png_structp, png_const_charp message) {
    ShowLibraryMessage(message, u"\n\nOnMemory:\n", u"libpng warning", LibraryMessageKind::Warning);
}

// What the rows are decoded into: a DIB of the layout's depth, or a 32-bit image's pixels
// (B, G, R and the image's inverted alpha: 0 opaque), the bytes the DIB's conversion would give.
enum class PngTarget { Dib, Image32 };

// Reads the header and chooses the transforms. Owns nothing: a library error lands on the
// setjmp and returns 0.
int ReadPngHeader(png_structp png, png_infop info, PngLayout* layout, PngTarget target) {
    if (setjmp(png_jmpbuf(png))) return 0;
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colourType = 0, interlace = 0;
    if (!png_get_IHDR(png, info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr)) return 0;
    // The rows are one zlib stream, which gives at most kMaxDeflateRatio bytes per byte: a file
    // too short for the rows it declares is refused before anything is allocated for them.
    const auto* source = static_cast<const PngSource*>(png_get_io_ptr(png));
    const std::uint64_t rowData = std::uint64_t{height} * (png_get_rowbytes(png, info) + 1);
    if (rowData / kMaxDeflateRatio > source->size - source->position) {
        ReportReadPastEnd();
        return 0;
    }
    const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (depth == 16) png_set_strip_16(png);

    layout->colours = 0;
    switch (colourType) {
        case PNG_COLOR_TYPE_PALETTE:
            if (transparency) {
                png_set_expand(png);
                png_set_tRNS_to_alpha(png);
                layout->bits = 32;
            } else {
                png_colorp entries = nullptr;
                int count = 0;
                if (!png_get_PLTE(png, info, &entries, &count) || count < 1 || count > 256) return 0;
                if (depth < 8) png_set_packing(png);
                layout->bits = 8;
                layout->colours = static_cast<std::uint32_t>(count);
                for (int i = 0; i < count; ++i)
                    layout->palette[i] = PaletteEntry{entries[i].blue, entries[i].green, entries[i].red, 0};
            }
            break;
        case PNG_COLOR_TYPE_GRAY:
            if (transparency) {
                png_set_gray_to_rgb(png);
                png_set_tRNS_to_alpha(png);
                layout->bits = 32;
            } else {
                if (depth < 8) png_set_packing(png);
                layout->bits = 8;
                layout->colours = depth < 8 ? 1u << depth : 256u;
                for (std::uint32_t i = 0; i < layout->colours; ++i) {
                    const auto g = static_cast<std::uint8_t>(i * 255 / (layout->colours - 1));
                    layout->palette[i] = PaletteEntry{g, g, g, 0};
                }
            }
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            png_set_gray_to_rgb(png);
            layout->bits = 32;
            break;
        case PNG_COLOR_TYPE_RGB:
            if (transparency) png_set_tRNS_to_alpha(png);
            layout->bits = transparency ? 32 : 24;
            break;
        case PNG_COLOR_TYPE_RGB_ALPHA: layout->bits = 32; break;
        default: return 0;
    }
    if (target == PngTarget::Image32) {
        if (layout->bits == 8) {  // palette or grey levels, widened to 8 bits as their palette has them
            png_set_expand(png);
            if (colourType != PNG_COLOR_TYPE_PALETTE) png_set_gray_to_rgb(png);
            layout->bits = 24;
            layout->colours = 0;
        }
        if (layout->bits == 24)
            png_set_filler(png, 0, PNG_FILLER_AFTER);
        else
            png_set_invert_alpha(png);
        layout->bits = 32;
    }
    if (layout->bits >= 24) png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    // The library's own idea of a row must be the target's.
    if (png_get_bit_depth(png, info) != 8 || png_get_channels(png, info) * 8u != layout->bits) return 0;
    layout->width = width;
    layout->height = height;
    return 1;
}

// Decodes every row into the table's rows. Owns nothing, for the same reason.
int ReadPngRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return 0;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return 1;
}

class PngReader {
public:
    PngReader() {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorHandler, PngWarningHandler);
        if (png_) info_ = png_create_info_struct(png_);
    }
    ~PngReader() {
        if (png_) png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
    }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

// False when a chunk declares more data than the file holds. The library allocates and clears a
// chunk's declared length before it reads the chunk, so a few bytes that declare a chunk of 2 GB
// would cost 2 GB. Anything else short (a missing checksum or end chunk) is the library's to find.
bool ChunksFitInData(const PngSource& source) {
    constexpr std::size_t kHeader = 8;  // the signature, and each chunk's length and type
    constexpr std::size_t kChecksum = 4;
    for (std::size_t at = kHeader; at <= source.size && source.size - at >= kHeader;) {
        const std::uint8_t* chunk = source.data + at;
        const std::uint64_t length = png_get_uint_32(chunk);
        if (length > source.size - at - kHeader) return false;
        if (std::memcmp(chunk + 4, "IEND", 4) == 0) break;
        at += kHeader + length + kChecksum;
    }
    return true;
}

// Starts a read of `data`; false when the library cannot be set up or the data is cut short.
bool StartPng(PngReader& reader, PngSource& source) {
    if (!reader.png() || !reader.info()) return false;
    if (!ChunksFitInData(source)) {
        ReportReadPastEnd();
        return false;
    }
    png_set_read_fn(reader.png(), &source, PngReadCallback);
    png_set_user_limits(reader.png(), DxDraw::kMaxImageDimension, DxDraw::kMaxImageDimension);
    // Profiles are not used here, so their checks would only add warnings.
    png_set_option(reader.png(), PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
    return true;
}

}  // namespace

DibBuffer DecodePngToDib(std::span<const std::uint8_t> data) {
    PngReader reader;
    PngSource source{data.data(), data.size(), 0};
    PngLayout layout;
    if (!StartPng(reader, source) || !ReadPngHeader(reader.png(), reader.info(), &layout, PngTarget::Dib)) return {};
    DibBuffer dib = DibBuffer::Create(static_cast<std::int32_t>(layout.width), static_cast<std::int32_t>(layout.height),
                                      layout.bits, layout.colours);
    if (!dib) return {};
    std::copy(layout.palette, layout.palette + layout.colours, dib.palette());

    // Row i of the picture is DIB row height - 1 - i: the DIB is bottom-up.
    const std::size_t stride = DxDraw::DibStride(layout.width, layout.bits);
    std::vector<png_bytep> rows(layout.height);
    for (png_uint_32 i = 0; i < layout.height; ++i) rows[i] = dib.rows() + (layout.height - 1 - i) * stride;
    if (!ReadPngRows(reader.png(), rows.data())) return {};
    return dib;
}

bool DecodePngToImage(DxDraw::DxImage& image, std::span<const std::uint8_t> data) {
    if (image.GetDepth() == 16) {
        const DibBuffer dib = DecodePngToDib(data);
        return dib && image.LoadFromDib(dib.bytes());
    }
    if (image.GetDepth() != 32) return false;
    PngReader reader;
    PngSource source{data.data(), data.size(), 0};
    PngLayout layout;
    if (!StartPng(reader, source) || !ReadPngHeader(reader.png(), reader.info(), &layout, PngTarget::Image32))
        return false;
    if (!image.Create(static_cast<int>(layout.width), static_cast<int>(layout.height)) || !image.HasPixels())
        return false;
    std::vector<png_bytep> rows(layout.height);
    for (png_uint_32 i = 0; i < layout.height; ++i) rows[i] = image.GetPixelAddress(0, static_cast<int>(i));
    if (!ReadPngRows(reader.png(), rows.data())) {
        image.Create(0, 0);  // no half-decoded picture left behind
        return false;
    }
    return true;
}
