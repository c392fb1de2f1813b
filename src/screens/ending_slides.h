// The ending credits of END and END2: the full-screen pictures "ed01", "ed02", ... (as many as
// config.xml's ending credit says), each faded in, held and faded out, and then the music faded
// out and stopped.
#pragma once

// Each slide rises over 17 frames, holds 5 seconds (the last 20) unless a decide key or click
// ends the hold early, and sinks over 17 frames. After the last slide, music still playing on
// channel 0 is faded out in 40 steps of 100 ms and stopped; music switched off in the settings is
// stopped without a fade, so that the fade never makes it audible. With no slides the music is
// left alone. A request from the window's menu takes the sprite down and passes on; a missing
// picture raises the picture loader's error.
void EndingSlides();
