// Loading a picture file straight into a new 32-bit surface.
#pragma once

#include <string_view>

#include "dxdraw/dxsurface.h"

class IArchive;

// A new 32-bit surface holding the picture (BMP, PNG; see DxImage::Load) read from the archive,
// or from disk when archive is null. A picture that is missing or does not decode raises the
// error exception "LoadSurfaceArchive_Dx: file not found '%s'.\n"; one that is there but cannot
// be read (too large, not a file, damaged, more than memory holds) raises it with what is wrong.
ComPtr<DxDraw::DxSurface> LoadSurfaceArchive_Dx(IArchive* archive, std::u16string_view name);
