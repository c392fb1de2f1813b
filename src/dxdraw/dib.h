// Packed DIBs: the in-memory picture every decoder produces and every image loads from.
//
// A packed DIB is a 40-byte header (or a longer one, as its biSize says), the palette for
// depths of 8 bits and fewer, then the pixel rows, each padded to 4 bytes, bottom row first for
// a positive height. Every size, count and offset is checked against the bytes at hand before
// use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "dxdraw/dximage.h"

namespace DxDraw {

// A packed DIB owned in one heap block.
class DibBuffer {
public:
    DibBuffer() = default;
    // A zeroed block of the given size; empty when it cannot be allocated.
    static DibBuffer Allocate(std::size_t size);
    // A zeroed DIB with a filled header for these dimensions and a palette of `colours`
    // entries; the header's biSizeImage is stride x height. Empty when out of bounds.
    static DibBuffer Create(std::int32_t width, std::int32_t height, std::uint16_t bits, std::uint32_t colours);

    explicit operator bool() const { return static_cast<bool>(data_); }
    std::uint8_t* data() { return data_.get(); }
    const std::uint8_t* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    std::span<const std::uint8_t> bytes() const { return {data_.get(), size_}; }

    // Only for a DIB made by Create (or otherwise known to be well formed).
    DibHeader& header() { return *reinterpret_cast<DibHeader*>(data_.get()); }
    const DibHeader& header() const { return *reinterpret_cast<const DibHeader*>(data_.get()); }
    PaletteEntry* palette() { return reinterpret_cast<PaletteEntry*>(data_.get() + header().biSize); }
    std::uint8_t* rows() { return reinterpret_cast<std::uint8_t*>(palette() + PaletteCount()); }
    std::uint32_t PaletteCount() const {
        const DibHeader& h = header();
        if (h.biBitCount > 8) return 0;
        return h.biClrUsed ? h.biClrUsed : 1u << h.biBitCount;
    }

private:
    std::unique_ptr<std::uint8_t, FreeDeleter> data_;
    std::size_t size_ = 0;
};

// A checked look at a DIB held elsewhere.
struct DibView {
    std::int32_t width = 0;
    std::int32_t height = 0;                // always positive
    bool topDown = false;                   // the header's height was negative
    std::uint32_t bitCount = 0;             // 1, 4, 8, 16, 24 or 32
    std::span<const PaletteEntry> palette;  // depths 1 to 8 only
    const std::uint8_t* bits = nullptr;     // first stored row
    std::size_t stride = 0;
};

// Checks a packed DIB: header, palette and rows must lie inside the bytes.
std::optional<DibView> ParsePackedDib(std::span<const std::uint8_t> dib);
// Checks a BMP file: the file header's pixel offset locates the rows; only uncompressed files
// (BI_RGB) of 1, 4, 8, 16, 24 or 32 bits are read.
std::optional<DibView> ParseBmpFile(std::span<const std::uint8_t> file);

// Writes the DIB's pixels into the image, top row first, in the image's depth (16 or 32),
// after resizing it (through its Create) to the DIB's size. False for other depths or when
// the image cannot be sized.
bool ConvertDibToImage(DxImage& image, const DibView& dib);

}  // namespace DxDraw

// A zeroed DIB with a zeroed palette, for pictures built pixel by pixel (save thumbnails).
class DibSection {
public:
    DibSection() = default;
    // Depths 1, 4, 8, 16, 24 and 32; those below 16 get a palette of 2^bits entries. False
    // for another depth or a size out of bounds.
    bool Create(int width, int height, int bits);

    const DxDraw::DibHeader* GetHeader() const { return dib_ ? &dib_.header() : nullptr; }
    std::uint8_t* GetBits() { return dib_ ? dib_.rows() : nullptr; }
    DxDraw::PaletteEntry* GetPalette() { return dib_ && colours_ ? dib_.palette() : nullptr; }
    std::uint32_t GetColourCount() const { return colours_; }
    std::size_t GetStride() const { return stride_; }
    std::size_t GetImageSize() const { return imageSize_; }
    // The whole packed DIB, for LoadFromDib.
    std::span<const std::uint8_t> GetPackedDib() const { return dib_.bytes(); }

private:
    DxDraw::DibBuffer dib_;
    std::size_t stride_ = 0;
    std::size_t imageSize_ = 0;
    std::uint32_t colours_ = 0;
};
