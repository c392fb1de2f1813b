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
    std::optional<std::vector<std::uint8_t>> file = archive ? LoadArchiveEntry(*archive, name) : LoadDiskFile(name);
    if (!file) return false;
    const std::span<const std::uint8_t> bytes(*file);

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
    ComPtr<DxDraw::DxSurface> surface = DxDraw::CreateSurface(32);
    if (!surface || !surface->Load(archive, name))
        ThrowError(u"dxdraw/dxdraw", 431, 0, 0, u"LoadSurfaceArchive_Dx: file not found '%s'.\n", name);
    return surface;
}
