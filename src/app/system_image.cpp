#include "app/system_image.h"

#include <string>

#include "archive/archive.h"
#include "dxdraw/load_surface.h"

ComPtr<DxDraw::DxSurface> SystemImage;

void LoadSystemImage(IArchive& system_archive) {
    constexpr std::u16string_view kBase = u"SYSTEM";
    std::u16string name(kBase);
    for (std::u16string_view extension : {u".png", u".bmp"}) {
        const std::u16string candidate = std::u16string(kBase) + std::u16string(extension);
        if (ProbeArchiveFile(system_archive, candidate)) {
            name = candidate;
            break;
        }
    }
    // Without either entry the loader reports the bare name as not found.
    SystemImage = LoadSurfaceArchive_Dx(&system_archive, name);
}

void ShowSystemImage(DxDraw::DxSprite& sprite) {
    sprite.SetSurface(SystemImage.Get());
    if (!SystemImage) return;
    SystemImage->AddRef();
    sprite.SetOwnsSurface(true);
}
