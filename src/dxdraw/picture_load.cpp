#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "archive/archive.h"
#include "dxdraw/dib.h"
#include "dxdraw/dximage.h"
#include "dxdraw/load_surface.h"
#include "dxdraw/picture_decoders.h"
#include "lib/diskfile.h"
#include "lib/error.h"
#include "lib/text.h"

namespace DxDraw {

bool DxImage::Load(IArchive* archive, std::u16string_view name) {
    const std::optional<std::vector<std::uint8_t>> file =
        archive ? LoadArchiveEntry(*archive, name) : LoadDiskFile(name);
    return file && Decode(*file);
}

bool DxImage::Decode(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        if (depth_ != 16 && depth_ != 32) return false;
        const std::optional<DibView> dib = ParseBmpFile(bytes);
        return dib && ConvertDibToImage(*this, *dib);
    }
    // Byte 0 is not looked at: only "PNG" after it.
    if (bytes.size() >= 4 && std::memcmp(bytes.data() + 1, "PNG", 3) == 0) return DecodePngToImage(*this, bytes);
    if (bytes.size() >= 3 && std::memcmp(bytes.data(), "HBM", 3) == 0 && depth_ == 16)
        return LoadRawImage16(*this, bytes);
    return false;
}

}  // namespace DxDraw

ComPtr<DxDraw::DxSurface> LoadSurfaceArchive_Dx(IArchive* archive, std::u16string_view name) {
    constexpr std::u16string_view kSource = u"dxdraw/dxdraw";
    ComPtr<DxDraw::DxSurface> surface = DxDraw::CreateSurface(32);
    // A picture that is there but cannot be read says what is wrong with it; a missing one, or
    // one that does not decode, keeps the system's words.
    std::u16string unread;
    auto load = [&] {
        const std::optional<std::vector<std::uint8_t>> file =
            archive ? LoadArchiveEntry(*archive, name) : LoadDiskFile(name);
        if (file) return surface->Decode(*file);
        if (archive ? archive->Exists(name) : (errno != ENOENT && errno != ENOTDIR))
            unread = archive ? DescribeEntryError(*archive, name) : DescribeReadError(errno);
        return false;
    };
    const bool loaded = surface && CatchOutOfMemory(kSource, 431, name, load);
    if (!unread.empty()) ThrowError(kSource, 431, 0, 0, u"LoadSurfaceArchive_Dx: '%s' %s.\n", name, unread);
    if (!loaded) ThrowError(kSource, 431, 0, 0, u"LoadSurfaceArchive_Dx: file not found '%s'.\n", name);
    return surface;
}
