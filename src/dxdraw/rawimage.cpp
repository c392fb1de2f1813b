// The raw 16-bit picture record: a 16-byte header ("HBM", width, height, flags) followed by the
// 5-5-5 rows, stored as they are or as one zlib stream.
#include <algorithm>
#include <cstring>

#include <zlib.h>

#include "dxdraw/picture_decoders.h"

namespace {

constexpr std::size_t kHeaderSize = 16;
constexpr std::uint8_t kFlagCompressed = 0x10;
constexpr std::uint8_t kFlagBottomRowFirst = 0x20;

std::int32_t ReadI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                     static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

// Inflates exactly out.size() bytes; anything else (a short, long or broken stream) fails.
bool InflateExactly(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return false;
    stream.next_in = const_cast<Bytef*>(in.data());
    stream.avail_in = static_cast<uInt>(in.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    const bool ok = result == Z_STREAM_END && stream.total_out == out.size();
    inflateEnd(&stream);
    return ok;
}

}  // namespace

bool LoadRawImage16(DxDraw::DxImage& image, std::span<const std::uint8_t> record) {
    if (image.GetDepth() != 16 || record.size() < kHeaderSize || std::memcmp(record.data(), "HBM", 3) != 0)
        return false;
    const std::int32_t width = ReadI32(record.data() + 4);
    const std::int32_t height = ReadI32(record.data() + 8);
    const std::uint8_t flags = record[12];
    if (height < 1 || !image.Create(width, height)) return false;

    const bool bottomUpImage = image.GetHeight() > 0;
    const bool storedBottomFirst = (flags & kFlagBottomRowFirst) != 0;
    const bool reverse = bottomUpImage != storedBottomFirst;
    const std::size_t rowSize = image.GetStride();
    const std::size_t total = image.GetImageSize();
    std::uint8_t* bits = image.GetBits();

    bool ok;
    if (flags & kFlagCompressed) {
        ok = record.size() >= kHeaderSize + 4;
        if (ok) {
            const std::uint32_t length = static_cast<std::uint32_t>(ReadI32(record.data() + kHeaderSize));
            ok = length <= record.size() - kHeaderSize - 4 &&
                 InflateExactly(record.subspan(kHeaderSize + 4, length), {bits, total});
        }
    } else {
        ok = record.size() - kHeaderSize >= total;
        if (ok) std::memcpy(bits, record.data() + kHeaderSize, total);
    }
    if (!ok) {
        image.Create(0, 0);  // drops the half-read pixels
        return false;
    }
    if (reverse) {
        const std::size_t rows = total / rowSize;
        for (std::size_t i = 0; i < rows / 2; ++i)
            std::swap_ranges(bits + i * rowSize, bits + (i + 1) * rowSize, bits + (rows - 1 - i) * rowSize);
    }
    return true;
}
