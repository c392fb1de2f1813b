// The floor of the start-up and frame benchmarks: an SDL program that opens an 800x600 window the
// way the game's window is drawn (the window's own pixels, no GPU renderer), presents one frame of
// a plain colour and waits until it is asked to end (SIGTERM, which SDL turns into a quit event).
// With --every-frame it presents the whole window anew on every frame of a 60 Hz deadline, paced
// as the game's window paces itself, until it is asked to end: what the least program pays for
// a picture that changes everywhere on every frame.
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

namespace {

// SDL_Quit on every way out, after the window is gone.
struct SdlVideo {
    SdlVideo() : ok(SDL_Init(SDL_INIT_VIDEO) == 0) {}
    ~SdlVideo() { SDL_Quit(); }
    SdlVideo(const SdlVideo&) = delete;
    SdlVideo& operator=(const SdlVideo&) = delete;
    bool ok;
};

// Frames of a colour that changes every frame, until a quit event. The deadline moves on by one
// period a frame and starts afresh after a stall, as the game's frame pacing does.
void PresentEveryFrame(SDL_Window* window, SDL_Surface* surface) {
    constexpr auto kFramePeriod = std::chrono::microseconds(16667);
    auto deadline = std::chrono::steady_clock::now();
    for (unsigned frame = 0;; ++frame) {
        SDL_Event event;
        while (SDL_PollEvent(&event))
            if (event.type == SDL_QUIT) return;
        const auto level = static_cast<Uint8>(0x40 + frame % 64);
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0x30, level, 0x70));
        SDL_UpdateWindowSurface(window);
        const auto now = std::chrono::steady_clock::now();
        deadline += kFramePeriod;
        if (deadline < now - kFramePeriod) deadline = now;
        if (deadline > now) std::this_thread::sleep_until(deadline);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool every_frame = argc > 1 && std::strcmp(argv[1], "--every-frame") == 0;
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
    if (every_frame) {
        PresentEveryFrame(window.get(), surface);
        return 0;
    }
    SDL_Event event;
    while (SDL_WaitEvent(&event) && event.type != SDL_QUIT) {}
    return 0;
}
