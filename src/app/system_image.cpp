#include "app/system_image.h"

#include "app/cg_image.h"

ComPtr<DxDraw::DxSurface> SystemImage;

void LoadSystemImage(IArchive& system_archive) { SystemImage = LoadCgImage(&system_archive, u"SYSTEM", false, false); }

void ShowSystemImage(DxDraw::DxSprite& sprite) {
    sprite.SetSurface(SystemImage.Get());
    if (!SystemImage) return;
    SystemImage->AddRef();
    sprite.SetOwnsSurface(true);
}
