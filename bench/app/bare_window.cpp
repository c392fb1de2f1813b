// The floor of the start-up benchmark: an SDL program that opens an 800x600 window the way the
// game's window is drawn (the window's own pixels, no GPU renderer), presents one frame of a
// plain colour and waits until it is asked to end (SIGTERM, which SDL turns into a quit event).
#include <SDL.h>

#include <cstdio>
#include <memory>

namespace {

// SDL_Quit on every way out, after the window is gone.
struct SdlVideo {
    SdlVideo() : ok(SDL_Init(SDL_INIT_VIDEO) == 0) {}
    ~SdlVideo() { SDL_Quit(); }
    SdlVideo(const SdlVideo&) = delete;
    SdlVideo& operator=(const SdlVideo&) = delete;
    bool ok;
};

}  // namespace

int main() {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    const SdlVideo video;
    if (!video.ok) {
        std::fprintf(stderr, "bare_window: %s\n", SDL_GetError());
        return 1;
    }
    const std::unique_ptr<SDL_Window, void (*)(SDL_Window*)> window(
        SDL_CreateWindow("bare window", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 800, 600, SDL_WINDOW_SHOWN),
        SDL_DestroyWindow);
    SDL_Surface* surface = window ? SDL_GetWindowSurface(window.get()) : nullptr;  // owned by the window
    if (!surface) {
        std::fprintf(stderr, "bare_window: %s\n", SDL_GetError());
        return 1;
    }
    // Not black: the watcher tells the first frame from the empty window by it.
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0x30, 0x50, 0x70));
    SDL_UpdateWindowSurface(window.get());
    SDL_Event event;
    while (SDL_WaitEvent(&event) && event.type != SDL_QUIT) {}
    return 0;
}
