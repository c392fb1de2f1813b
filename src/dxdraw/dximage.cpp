#include "dxdraw/dximage.h"

#include <cstring>
#include <optional>

#include "dxdraw/dib.h"
#include "lib/diskfile.h"
#include "lib/text.h"

namespace DxDraw {
namespace {

void PutU16(std::uint8_t*& p, std::uint16_t v) {
    *p++ = static_cast<std::uint8_t>(v);
    *p++ = static_cast<std::uint8_t>(v >> 8);
}

void PutU32(std::uint8_t*& p, std::uint32_t v) {
    PutU16(p, static_cast<std::uint16_t>(v));
    PutU16(p, static_cast<std::uint16_t>(v >> 16));
}

std::uint8_t Expand5(unsigned c) { return static_cast<std::uint8_t>((c << 3) | (c & 7)); }

// One memory row of the image as it goes into a BMP file of outBits (24 or 32) bits.
void EncodeBmpRow(std::uint8_t* out, const std::uint8_t* row, int width, std::uint32_t depth, std::uint32_t outBits) {
    for (int x = 0; x < width; ++x) {
        std::uint8_t b, g, r, a;
        if (depth == 16) {
            const unsigned p = static_cast<unsigned>(row[2 * x] | row[2 * x + 1] << 8);
            b = Expand5(p & 31);
            g = Expand5((p >> 5) & 31);
            r = Expand5((p >> 10) & 31);
            a = (p & 0x8000) ? 0 : 255;
        } else {
            b = row[4 * x];
            g = row[4 * x + 1];
            r = row[4 * x + 2];
            a = static_cast<std::uint8_t>(row[4 * x + 3] ^ 0xFF);
        }
        *out++ = b;
        *out++ = g;
        *out++ = r;
        if (outBits == 32) *out++ = a;
    }
}

}  // namespace

std::size_t DibStride(std::int64_t width, std::uint32_t bits) {
    if (width < 1 || width > kMaxImageDimension || bits == 0 || bits > 32) return 0;
    return static_cast<std::size_t>((width * bits + 31) / 32 * 4);
}

DxImage::DxImage(std::uint32_t depth) : depth_(depth) {}

DxImage::~DxImage() = default;

bool DxImage::Create(int width, int height) {
    bits_.reset();
    palette_.clear();
    header_ = DibHeader{};
    stride_ = 0;

    const std::int64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
    const std::size_t stride = DibStride(width, depth_);
    if (stride == 0 || rows < 1 || rows > kMaxImageDimension) return false;
    const std::size_t size = stride * static_cast<std::size_t>(rows);
    if (size > kMaxImageBytes) return false;
    bits_.reset(static_cast<std::uint8_t*>(std::calloc(size, 1)));
    if (!bits_) return false;

    header_.biWidth = width;
    header_.biHeight = height;
    header_.biBitCount = static_cast<std::uint16_t>(depth_);
    stride_ = static_cast<std::uint32_t>(stride);
    if (depth_ == 1 || depth_ == 4 || depth_ == 8) {
        const std::size_t count = std::size_t{1} << depth_;
        palette_.resize(count);
        const unsigned step = 255 / static_cast<unsigned>(count - 1);
        for (std::size_t i = 0; i < count; ++i) {
            const auto g = static_cast<std::uint8_t>(i * step);
            palette_[i] = PaletteEntry{g, g, g, 0};
        }
    }
    return true;
}

std::ptrdiff_t DxImage::GetPitch() const {
    if (!bits_) return 0;
    return header_.biHeight < 0 ? static_cast<std::ptrdiff_t>(stride_) : -static_cast<std::ptrdiff_t>(stride_);
}

std::uint8_t* DxImage::GetPixelAddress(int x, int y) {
    return const_cast<std::uint8_t*>(static_cast<const DxImage*>(this)->GetPixelAddress(x, y));
}

const std::uint8_t* DxImage::GetPixelAddress(int x, int y) const {
    const std::ptrdiff_t row = header_.biHeight < 0 ? y : AbsHeight() - y - 1;
    return bits_.get() + row * static_cast<std::ptrdiff_t>(stride_) +
           static_cast<std::ptrdiff_t>(x) * header_.biBitCount / 8;
}

bool DxImage::LoadFromDib(std::span<const std::uint8_t> packedDib) {
    if (depth_ != 16 && depth_ != 32) return false;
    const std::optional<DibView> dib = ParsePackedDib(packedDib);
    return dib && ConvertDibToImage(*this, *dib);
}

bool DxImage::SaveBmp24(std::u16string_view path) const {
    if (!bits_ || (depth_ != 16 && depth_ != 32)) return false;
    return SaveBmp(path, 24);
}

bool DxImage::SaveBmp32(std::u16string_view path) const {
    if (!bits_ || (depth_ != 16 && depth_ != 32)) return false;
    return SaveBmp(path, 32);
}

bool DxImage::SaveBmp(std::u16string_view path, std::uint32_t outBits) const {
    const int width = header_.biWidth;
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * (outBits / 8) + 3) & ~3u;
    const std::uint32_t rows = static_cast<std::uint32_t>(AbsHeight());

    std::vector<std::uint8_t> bytes(54 + static_cast<std::size_t>(rows) * rowBytes, 0);
    std::uint8_t* p = bytes.data();
    *p++ = 'B';
    *p++ = 'M';
    PutU32(p, rows * rowBytes + 54);
    PutU32(p, 0);
    PutU32(p, 54);
    PutU32(p, 40);
    PutU32(p, static_cast<std::uint32_t>(width));
    PutU32(p, static_cast<std::uint32_t>(header_.biHeight));
    PutU16(p, 1);
    PutU16(p, static_cast<std::uint16_t>(outBits));

    // Rows go out in memory order, so the header's height keeps the image's own row order.
    for (std::uint32_t y = 0; y < rows; ++y)
        EncodeBmpRow(bytes.data() + 54 + static_cast<std::size_t>(y) * rowBytes,
                     bits_.get() + y * static_cast<std::size_t>(stride_), width, depth_, outBits);

    const FileHandle file = CreateFileForWrite(path);
    return file.valid() && file.Write(bytes.data(), bytes.size());
}

}  // namespace DxDraw
