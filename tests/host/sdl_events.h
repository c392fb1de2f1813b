// Events pushed into SDL's queue as SDL delivers them, and the window messages they become.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "host/video/sdl_window.h"

namespace sdltest {

inline void Push(SDL_Event event) {
    event.common.timestamp = SDL_GetTicks();
    ASSERT_EQ(SDL_PushEvent(&event), 1);
}

// A physical key going down or up; a repeat is the keyboard's own, of a key held down.
inline void PushKey(SDL_Scancode code, bool down, Uint16 mod = KMOD_NONE, bool repeat = false) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = SDL_GetKeyFromScancode(code);
    e.key.keysym.mod = mod;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat;
    Push(e);
}

// SDL_MOUSEMOTION, or a button going down or up, at (x, y) of the window.
inline void PushMouse(Uint32 type, int x, int y, Uint8 button = SDL_BUTTON_LEFT) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
        e.motion.x = x;
        e.motion.y = y;
    } else {
        e.button.button = button;
        e.button.x = x;
        e.button.y = y;
    }
    Push(e);
}

inline void PushWindowEvent(host::SdlWindow& window, Uint8 which) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = which;
    e.window.windowID = SDL_GetWindowID(window.sdl_window());
    Push(e);
}

// Every message the window has for the engine now.
inline std::vector<host::WindowMessage> Drain(host::SdlWindow& window) {
    std::vector<host::WindowMessage> out;
    host::WindowMessage m;
    while (window.PeekMessage(m)) out.push_back(m);
    return out;
}

}  // namespace sdltest
