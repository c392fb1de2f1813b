// Pictures of the story by base name, in whichever of the four formats the archive holds.
#pragma once

#include <string_view>

#include "dxdraw/dxsurface.h"
#include "lib/combase.h"

class IArchive;

// Tries the base name with ".jpg", ".tif", ".png" and ".bmp" in that order and loads the first
// entry the archive holds into a new 32-bit surface; with `record` the picture's title joins the
// image history. None found: null when `quiet`, else the error exception "Script Error: file not
// found". A picture found but unreadable always raises the error exception (one that cannot be
// read, being too large, not a file, damaged or more than memory holds, says which). A null
// archive holds nothing.
ComPtr<DxDraw::DxSurface> LoadCgImage(IArchive* archive, std::u16string_view base_name, bool quiet, bool record);
