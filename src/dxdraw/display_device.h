// The display device: the game window in window mode or desktop full screen, the display-mode
// matching that decides whether a full-screen request can be met (falling back to another
// colour depth, the default refresh rate or window mode, each announced to the player), and the
// switch between the two.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/video/window.h"

// One display driver offered to the driver choice.
struct DisplayDriverRecord {
    std::u16string description;  // at most 127 units
    std::u16string name;         // at most 127 units
};

// Gets the driver list and returns the index chosen, or -1 for the first.
using DisplayDriverChooser = std::function<int(int count, const DisplayDriverRecord* records)>;

inline constexpr std::size_t kMaxDisplayModes = 1024;
inline constexpr std::size_t kMaxDisplayDrivers = 32;
// The failure result of a device call (0x80004005, the generic failure code callers test for).
inline constexpr int kDisplayFailed = static_cast<int>(0x80004005u);

struct DirectDrawDevice {
    std::uint32_t reserved = 0;
    std::uint32_t windowed = 0;                         // 1 in window mode, 0 in full screen
    host::Window* window = nullptr;                     // null until InitDirectDraw, and after ReleaseDirectDraw
    bool surfaces_ready = false;                        // the window is set up for the current mode
    std::uint32_t lost = 0;                             // 1 while the application is inactive
    int width = 0, height = 0, depth = 0, refresh = 0;  // the mode in use (refresh 0: default)
    std::uint32_t present_by_gdi = 1;                   // the screen surface copies its rectangles itself
    std::vector<host::DisplayMode> modes;               // at most kMaxDisplayModes, as the display offers them
};

// The screen's bit depth after the surfaces were made, and whether a 16-bit screen is 5-5-5.
extern int ScreenBitDepth;
extern int Screen555;

// 0 on success, else a failure code (after a message box).
int InitDirectDraw(DirectDrawDevice& device, host::Window* window, int width, int height, int depth, bool full_screen,
                   const DisplayDriverChooser& chooser, int refresh);
int CreateDisplaySurfaces(DirectDrawDevice& device, bool full_screen);
void SetScreenMode(DirectDrawDevice& device, bool full_screen);
void ReleaseDirectDraw(DirectDrawDevice& device);
// Fills the whole picture with one colour (0xRRGGBB) and shows it.
void ClearBackBuffer(DirectDrawDevice& device, std::uint32_t colour);
// 0 exact; 1 no mode with that refresh rate; 2 none with that depth; 3 none of that size.
int MatchDisplayMode(const DirectDrawDevice& device, int width, int height, int depth, int refresh);
// The display's refresh rate in Hz, 0 when unknown.
int GetMonitorFrequency(const DirectDrawDevice& device);
void SetDeviceLost(DirectDrawDevice& device);
void ClearDeviceLost(DirectDrawDevice& device);
