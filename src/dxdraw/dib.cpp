#include "dxdraw/dib.h"

#include <array>
#include <cstring>

namespace DxDraw {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
// The longest header a BMP writer puts in front of the palette (the fifth version).
constexpr std::uint32_t kMaxInfoHeaderSize = 124;

std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool IsReadableDepth(std::uint32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Checks header, palette and rows of a DIB whose header starts at headerOffset. The rows start
// at bitsOffset when given (a BMP file says where), else right after the palette.
std::optional<DibView> ParseDib(std::span<const std::uint8_t> bytes, std::size_t headerOffset,
                                std::optional<std::size_t> bitsOffset) {
    if (bytes.size() < headerOffset + kInfoHeaderSize) return std::nullopt;
    DibHeader header;
    std::memcpy(&header, bytes.data() + headerOffset, sizeof header);
    if (header.biSize < kInfoHeaderSize || header.biSize > kMaxInfoHeaderSize) return std::nullopt;
    if (header.biCompression != 0 || !IsReadableDepth(header.biBitCount)) return std::nullopt;
    if (header.biWidth < 1 || header.biWidth > kMaxImageDimension) return std::nullopt;
    if (header.biHeight == 0 || header.biHeight < -kMaxImageDimension || header.biHeight > kMaxImageDimension)
        return std::nullopt;

    DibView view;
    view.width = header.biWidth;
    view.topDown = header.biHeight < 0;
    view.height = view.topDown ? -header.biHeight : header.biHeight;
    view.bitCount = header.biBitCount;
    view.stride = DibStride(view.width, view.bitCount);
    if (view.stride == 0) return std::nullopt;

    const std::size_t paletteOffset = headerOffset + header.biSize;
    std::size_t paletteCount = 0;
    if (view.bitCount <= 8) {
        const std::uint32_t full = 1u << view.bitCount;
        if (header.biClrUsed > 256) return std::nullopt;
        paletteCount = header.biClrUsed ? header.biClrUsed : full;
    }
    const std::size_t paletteEnd = paletteOffset + paletteCount * sizeof(PaletteEntry);
    if (paletteEnd > bytes.size()) return std::nullopt;
    view.palette = {reinterpret_cast<const PaletteEntry*>(bytes.data() + paletteOffset),
                    std::min<std::size_t>(paletteCount, view.bitCount <= 8 ? 1u << view.bitCount : 0)};

    const std::size_t rowsOffset = bitsOffset.value_or(paletteEnd);
    if (rowsOffset < paletteEnd || rowsOffset > bytes.size()) return std::nullopt;
    const std::size_t rowsSize = view.stride * static_cast<std::size_t>(view.height);
    if (rowsSize > bytes.size() - rowsOffset) return std::nullopt;
    view.bits = bytes.data() + rowsOffset;
    return view;
}

std::uint32_t PaletteTo32(const PaletteEntry& e) {
    return static_cast<std::uint32_t>(e.blue) | static_cast<std::uint32_t>(e.green) << 8 |
           static_cast<std::uint32_t>(e.red) << 16;
}

std::uint16_t Reduce555(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    return static_cast<std::uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
}

std::uint8_t Expand5(unsigned c) { return static_cast<std::uint8_t>((c << 3) | (c & 7)); }

// Palette index of pixel x in a row of 1, 4 or 8 bits.
unsigned PaletteIndex(const std::uint8_t* row, int x, std::uint32_t bits) {
    switch (bits) {
        case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
        case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
        default: return row[x];
    }
}

void RowTo32(std::uint32_t* dst, const std::uint8_t* src, int width, const DibView& dib,
             const std::array<std::uint32_t, 256>& palette) {
    switch (dib.bitCount) {
        case 16:
            for (int x = 0; x < width; ++x) {
                const unsigned p = static_cast<unsigned>(src[2 * x] | src[2 * x + 1] << 8);
                dst[x] = static_cast<std::uint32_t>(Expand5(p & 31)) |
                         static_cast<std::uint32_t>(Expand5((p >> 5) & 31)) << 8 |
                         static_cast<std::uint32_t>(Expand5((p >> 10) & 31)) << 16 | ((p & 0x8000) ? 0xFF000000u : 0u);
            }
            break;
        case 24: {
            // Four bytes at a time with the fourth masked off; the last pixel on its own, so
            // that nothing past the row is read.
            int x = 0;
            for (; x + 1 < width; ++x, src += 3) {
                std::uint32_t p;
                std::memcpy(&p, src, 4);
                dst[x] = p & 0x00FFFFFFu;
            }
            dst[x] = static_cast<std::uint32_t>(src[0]) | static_cast<std::uint32_t>(src[1]) << 8 |
                     static_cast<std::uint32_t>(src[2]) << 16;
            break;
        }
        case 32:
            std::memcpy(dst, src, static_cast<std::size_t>(width) * 4);
            for (int x = 0; x < width; ++x) dst[x] ^= 0xFF000000u;
            break;
        default:
            for (int x = 0; x < width; ++x) dst[x] = palette[PaletteIndex(src, x, dib.bitCount)];
            break;
    }
}

void RowTo16(std::uint16_t* dst, const std::uint8_t* src, int width, const DibView& dib,
             const std::array<std::uint32_t, 256>& palette) {
    switch (dib.bitCount) {
        case 16: std::memcpy(dst, src, static_cast<std::size_t>(width) * 2); break;
        case 24:
            for (int x = 0; x < width; ++x, src += 3) dst[x] = Reduce555(src[0], src[1], src[2]);
            break;
        case 32:
            for (int x = 0; x < width; ++x, src += 4)
                dst[x] = static_cast<std::uint16_t>(Reduce555(src[0], src[1], src[2]) | (src[3] == 0 ? 0x8000 : 0));
            break;
        default:
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = palette[PaletteIndex(src, x, dib.bitCount)];
                dst[x] = Reduce555(p & 255, (p >> 8) & 255, (p >> 16) & 255);
            }
            break;
    }
}

}  // namespace

DibBuffer DibBuffer::Allocate(std::size_t size) {
    DibBuffer dib;
    if (size == 0) return dib;
    dib.data_.reset(static_cast<std::uint8_t*>(std::calloc(size, 1)));
    if (dib.data_) dib.size_ = size;
    return dib;
}

DibBuffer DibBuffer::Create(std::int32_t width, std::int32_t height, std::uint16_t bits, std::uint32_t colours) {
    if (width < 1 || height < 1 || height > kMaxImageDimension || colours > 256) return {};
    const std::size_t stride = DibStride(width, bits);
    if (stride == 0) return {};
    const std::size_t imageSize = stride * static_cast<std::size_t>(height);
    if (imageSize > kMaxImageBytes) return {};
    DibBuffer dib = Allocate(kInfoHeaderSize + colours * sizeof(PaletteEntry) + imageSize);
    if (!dib) return dib;
    DibHeader& h = dib.header();
    h = DibHeader{};
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = bits;
    h.biSizeImage = static_cast<std::uint32_t>(imageSize);
    h.biClrUsed = bits <= 8 ? colours : 0;
    return dib;
}

std::optional<DibView> ParsePackedDib(std::span<const std::uint8_t> dib) { return ParseDib(dib, 0, std::nullopt); }

std::optional<DibView> ParseBmpFile(std::span<const std::uint8_t> file) {
    if (file.size() < kFileHeaderSize || file[0] != 'B' || file[1] != 'M') return std::nullopt;
    const std::uint32_t bitsOffset = ReadU32(file.data() + 10);
    return ParseDib(file, kFileHeaderSize, bitsOffset);
}

bool ConvertDibToImage(DxImage& image, const DibView& dib) {
    const std::uint32_t depth = image.GetDepth();
    if (depth != 16 && depth != 32) return false;
    if (!image.Create(dib.width, dib.height) || !image.HasPixels()) return false;

    std::array<std::uint32_t, 256> palette{};
    for (std::size_t i = 0; i < dib.palette.size(); ++i) palette[i] = PaletteTo32(dib.palette[i]);

    for (int y = 0; y < dib.height; ++y) {
        const int stored = dib.topDown ? y : dib.height - 1 - y;
        const std::uint8_t* src = dib.bits + static_cast<std::size_t>(stored) * dib.stride;
        std::uint8_t* dst = image.GetPixelAddress(0, y);
        if (depth == 32)
            RowTo32(reinterpret_cast<std::uint32_t*>(dst), src, dib.width, dib, palette);
        else
            RowTo16(reinterpret_cast<std::uint16_t*>(dst), src, dib.width, dib, palette);
    }
    return true;
}

}  // namespace DxDraw

bool DibSection::Create(int width, int height, int bits) {
    *this = DibSection{};
    if (!(bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32)) return false;
    const std::uint32_t colours = bits < 16 ? 1u << bits : 0;
    DxDraw::DibBuffer dib = DxDraw::DibBuffer::Create(width, height, static_cast<std::uint16_t>(bits), colours);
    if (!dib) return false;
    stride_ = DxDraw::DibStride(width, static_cast<std::uint32_t>(bits));
    imageSize_ = stride_ * static_cast<std::size_t>(height);
    colours_ = colours;
    dib_ = std::move(dib);
    return true;
}
