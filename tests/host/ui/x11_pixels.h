// Reads what the X server shows of a window (kept apart: X11's macros clash with GoogleTest's).
#pragma once

#include <SDL.h>

#include <cstdint>

// One pixel of the window as 0xRRGGBB, or 0xDEADBEEF when it cannot be read.
std::uint32_t ReadServerPixel(SDL_Window* window, int x, int y);
