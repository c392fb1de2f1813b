// A keyboard event as SDL delivers it for a physical key, for tests that push events.
#pragma once

#include <SDL.h>

inline SDL_Event KeyEvent(SDL_Scancode code, bool down, Uint16 mod = KMOD_NONE) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = SDL_GetKeyFromScancode(code);
    e.key.keysym.mod = mod;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    return e;
}
