// Images: an owned block of pixel rows with the layout of a device-independent bitmap.
//
// Rows are padded to 4 bytes. A positive height stores the bottom row first (bottom-up), a
// negative height the top row first; GetPixelAddress and GetPitch hide the difference.
// Pixel formats: 16 bits are 5-5-5 (blue low) with bit 15 marking a transparent pixel; 32 bits
// are the bytes B, G, R, A with the alpha byte inverted (0 opaque, 255 transparent). Depths of
// 8 bits and fewer carry a palette, a grey ramp after Create.
//
// Every drawing surface is an image; a surface overrides Create to keep its own rectangle in
// step, and the loaders below resize through that override.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

class IArchive;

namespace DxDraw {

// The 40-byte header of a packed DIB and of a BMP file (little-endian on disk).
struct DibHeader {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;  // 0: uncompressed rows (the only kind read)
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};
static_assert(sizeof(DibHeader) == 40);

struct PaletteEntry {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;

    friend constexpr bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};
static_assert(sizeof(PaletteEntry) == 4);

// Bounds on what is ever allocated for one picture, so that a header that lies about its size
// gets an error instead of an enormous allocation.
inline constexpr std::int32_t kMaxImageDimension = 8192;
inline constexpr std::size_t kMaxImageBytes = std::size_t{128} << 20;

// Row stride of a DIB: bits per row rounded up to whole 32-bit words. 0 when the size is out of
// the bounds above.
std::size_t DibStride(std::int64_t width, std::uint32_t bits);

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

class DxImage {
public:
    explicit DxImage(std::uint32_t depth);
    virtual ~DxImage();
    DxImage(const DxImage&) = delete;
    DxImage& operator=(const DxImage&) = delete;

    // Replaces the pixels with zeroed ones of this size (a negative height makes a top-down
    // image). False, and no pixels, when the size is 0 or beyond the bounds.
    virtual bool Create(int width, int height);
    // Converts a packed DIB (header, palette, rows) into this image's depth (16 or 32).
    bool LoadFromDib(std::span<const std::uint8_t> packedDib);
    // Reads a picture file (BMP, PNG or the raw 16-bit record) from the archive, or from disk
    // when archive is null, and converts it into this image's depth.
    bool Load(IArchive* archive, std::u16string_view name);
    // The same for the bytes of a picture file already read.
    bool Decode(std::span<const std::uint8_t> bytes);
    // Writes the image (depth 16 or 32) as a BMP file of 24 or 32 bits (32 bits with ordinary
    // alpha, 255 opaque), rows in memory order. False when the file cannot be written.
    bool SaveBmp24(std::u16string_view path) const;
    bool SaveBmp32(std::u16string_view path) const;

    bool HasPixels() const { return static_cast<bool>(bits_); }
    std::uint32_t GetDepth() const { return depth_; }
    // 0 without pixels.
    std::int32_t GetWidth() const { return bits_ ? header_.biWidth : 0; }
    // With its sign: negative for a top-down image. 0 without pixels.
    std::int32_t GetHeight() const { return bits_ ? header_.biHeight : 0; }
    std::uint32_t GetBitCount() const { return bits_ ? header_.biBitCount : 0; }
    std::uint32_t GetStride() const { return bits_ ? stride_ : 0; }
    // Signed step in bytes from a row to the one below it.
    std::ptrdiff_t GetPitch() const;
    // Pixel x of row y counted from the top. x and y must lie inside the image.
    std::uint8_t* GetPixelAddress(int x, int y);
    const std::uint8_t* GetPixelAddress(int x, int y) const;
    std::uint8_t* GetBits() { return bits_.get(); }
    const std::uint8_t* GetBits() const { return bits_.get(); }
    std::size_t GetImageSize() const { return bits_ ? stride_ * static_cast<std::size_t>(AbsHeight()) : 0; }
    const DibHeader& GetHeader() const { return header_; }
    // The palette of depths 8 and below (2^depth entries); empty otherwise.
    std::span<PaletteEntry> GetPalette() { return palette_; }
    std::span<const PaletteEntry> GetPalette() const { return palette_; }

protected:
    std::int32_t AbsHeight() const { return header_.biHeight < 0 ? -header_.biHeight : header_.biHeight; }

private:
    bool SaveBmp(std::u16string_view path, std::uint32_t outBits) const;

    DibHeader header_;
    std::vector<PaletteEntry> palette_;
    std::unique_ptr<std::uint8_t, FreeDeleter> bits_;
    std::uint32_t stride_ = 0;
    std::uint32_t depth_;
};

}  // namespace DxDraw
