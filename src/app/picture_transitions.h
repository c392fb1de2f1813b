// The picture transitions of the story: fades of the scene's picture to black and to white, the
// commit that brings a newly composed picture on screen, and the brand splash shown at start.
//
// Each runs its own frames (one StepFrame per level step, on the test host one 60th of a second)
// and may be left by a ScriptException from a frame step; the temporary views it adds are gone
// and the picture sprite's blend is put back before the exception travels on.
#pragma once

#include <cstdint>

// The fades and the commit work on the scene views (app/scene_views.h) and do nothing outside
// a game cycle, while there is no picture sprite.

// The picture sprite fades out from level 255 by 2 per frame; then the work surface is filled
// black and shown.
void FadeToBlack();
// The work surface is filled white and fades in over the picture from level 0 by 2 per frame;
// then it is shown.
void FadeToWhite();
// When a composed picture is pending: shown at once with the fast display speed or while
// skipping, else faded in over the picture (by 2 per frame after a fade to black or white, by 16
// otherwise). Then one frame, and nothing is pending any more.
void CommitPicture();
// The work surface copied onto the picture sprite's own surface and shown at once, unblended.
void ShowWorkSurface();
// The work surface filled with the colour (0xRRGGBB, opaque) and shown at once; a fill is then
// pending for the next transition.
void ShowFilledPicture(std::uint32_t rgb);

// The "brand" picture of the script archive fades in from level 0 by 4 per frame, stays for
// five seconds (a decide key or button ends the wait) and fades out by 4 per frame; a left click
// ends either fade at once. Throws the error exception when the picture is missing.
void BrandSplash();
