#include "app/cg_image.h"

#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "dxdraw/dib.h"
#include "dxdraw/load_surface.h"
#include "dxdraw/picture_decoders.h"
#include "lib/error.h"
#include "script/history.h"

namespace {

using DxDraw::DxSurface;

constexpr std::u16string_view kSource = u"script/scr_gui";

[[noreturn]] void RaiseNotFound(std::u16string_view base) {
    ThrowError(kSource, __LINE__, 0, 0, u"Script Error: file not found '%s'.", base);
}

// A new 32-bit surface holding the DIB's picture; null when there is none.
ComPtr<DxSurface> SurfaceFromDib(const std::optional<DxDraw::DibView>& dib) {
    if (!dib) return {};
    ComPtr<DxSurface> surface = DxDraw::CreateSurface(32);
    if (!surface || !DxDraw::ConvertDibToImage(*surface, *dib)) return {};
    return surface;
}

ComPtr<DxSurface> SurfaceFromPackedDib(const DxDraw::DibBuffer& dib) {
    if (!dib) return {};
    return SurfaceFromDib(DxDraw::ParsePackedDib(dib.bytes()));
}

// The picture's bytes. It was found before it is read, so a load that fails is one that is there
// and cannot be read: the error says what is wrong rather than that it is missing.
std::vector<std::uint8_t> Entry(IArchive& archive, std::u16string_view name) {
    std::optional<std::vector<std::uint8_t>> bytes = LoadArchiveEntry(archive, name);
    if (!bytes) ThrowError(kSource, __LINE__, 0, 0, u"Script Error: '%s' %s.", name, DescribeEntryError(archive, name));
    return std::move(*bytes);
}

ComPtr<DxSurface> LoadJpeg(IArchive& archive, std::u16string_view name, std::u16string_view base) {
    const std::vector<std::uint8_t> data = Entry(archive, name);
    ComPtr<DxSurface> surface = data.empty() ? nullptr : SurfaceFromPackedDib(DecodeJpegToDib(data));
    if (!surface) ThrowError(kSource, __LINE__, 0, 0, u"Script Error: JPEG decode error '%s'.", base);
    return surface;
}

ComPtr<DxSurface> LoadTiff(IArchive& archive, std::u16string_view name, std::u16string_view base) {
    const std::vector<std::uint8_t> data = Entry(archive, name);
    ComPtr<DxSurface> surface = data.empty() ? nullptr : SurfaceFromPackedDib(LoadTiffAsDib(data));
    if (!surface) RaiseNotFound(base);
    return surface;
}

ComPtr<DxSurface> LoadPng(IArchive& archive, std::u16string_view name, std::u16string_view) {
    return LoadSurfaceArchive_Dx(&archive, name);
}

ComPtr<DxSurface> LoadBmp(IArchive& archive, std::u16string_view name, std::u16string_view base) {
    const std::vector<std::uint8_t> data = Entry(archive, name);
    ComPtr<DxSurface> surface = SurfaceFromDib(DxDraw::ParseBmpFile(data));
    if (!surface) ThrowError(kSource, __LINE__, 0, 0, u"Script Error: BMP decode error '%s'.", base);
    return surface;
}

struct CgFormat {
    std::u16string_view extension;
    ComPtr<DxSurface> (*load)(IArchive& archive, std::u16string_view name, std::u16string_view base);
};
constexpr CgFormat kFormats[] = {
    {u".jpg", LoadJpeg},
    {u".tif", LoadTiff},
    {u".png", LoadPng},
    {u".bmp", LoadBmp},
};

}  // namespace

ComPtr<DxSurface> LoadCgImage(IArchive* archive, std::u16string_view base_name, bool quiet, bool record) {
    if (archive) {
        for (const CgFormat& format : kFormats) {
            const std::u16string name = std::u16string(base_name) + std::u16string(format.extension);
            if (!ProbeArchiveFile(*archive, name)) continue;
            if (record) TextScript::AddImageHistory(name);
            return CatchOutOfMemory(kSource, __LINE__, name, [&] { return format.load(*archive, name, base_name); });
        }
    }
    if (quiet) return {};
    RaiseNotFound(base_name);
}
