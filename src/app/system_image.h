// The system image: the parts sheet of the system archive (page cursors, window buttons, the
// message background, panels) that every screen cuts its small pictures from. It is loaded once
// when the data is opened and kept for the whole run; sprites that show it hold a reference of
// their own, so releasing the record never pulls a picture from under a sprite.
#pragma once

#include "dxdraw/dxsprite.h"
#include "dxdraw/dxsurface.h"
#include "lib/combase.h"

class IArchive;

// The process-wide sheet; empty until loaded. The runtime's start-up and teardown empty it.
extern ComPtr<DxDraw::DxSurface> SystemImage;

// Loads the picture "SYSTEM" in whichever format the archive holds it (as the story's pictures
// are loaded, app/cg_image.h) into SystemImage. A missing or unreadable sheet raises the error
// exception naming it.
void LoadSystemImage(IArchive& system_archive);

// Makes the sprite show the sheet (nothing while it is not loaded) with a reference of its own,
// released when the sprite goes.
void ShowSystemImage(DxDraw::DxSprite& sprite);
