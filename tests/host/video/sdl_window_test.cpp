// The SDL window under SDL's dummy video driver: events pushed into SDL's queue must come out as
// the window messages and input snapshots the engine reads.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "../sdl_events.h"
#include "host/video/scancodes.h"
#include "host/video/sdl_window.h"
#include "host/video/window_icon.h"

namespace {

using namespace sdltest;

class SdlWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_VIDEODRIVER", "dummy", 1); }
    std::vector<host::WindowMessage> Drain() { return sdltest::Drain(window); }
    // Whether the messages hold one with that message and w.
    static bool Holds(const std::vector<host::WindowMessage>& messages, unsigned message, std::uintptr_t w) {
        return std::any_of(messages.begin(), messages.end(),
                           [&](const host::WindowMessage& m) { return m.message == message && m.w == w; });
    }

    host::SdlWindow window{"test", true};
};

// INTERNATIONAL3 is the yen key; keys the game never reads have no code.
TEST(ScanCodes, MapPhysicalKeysToTheClassicNumbering) {
    const std::pair<int, int> cases[] = {
        {SDL_SCANCODE_ESCAPE, 0x01}, {SDL_SCANCODE_RETURN, 0x1C}, {SDL_SCANCODE_KP_ENTER, 0x9C},
        {SDL_SCANCODE_LSHIFT, 0x2A}, {SDL_SCANCODE_RSHIFT, 0x36}, {SDL_SCANCODE_RCTRL, 0x9D},
        {SDL_SCANCODE_F12, 0x58},    {SDL_SCANCODE_UP, 0xC8},     {SDL_SCANCODE_KP_7, 0x47},
        {SDL_SCANCODE_Z, 0x2C},      {SDL_SCANCODE_MUTE, 0},      {SDL_SCANCODE_INTERNATIONAL3, 0x7D}};
    EXPECT_EQ(host::ScanCodeFromSdl(-1), 0);
    EXPECT_EQ(host::ScanCodeFromSdl(SDL_NUM_SCANCODES), 0);
    for (auto [sdl, code] : cases) EXPECT_EQ(host::ScanCodeFromSdl(sdl), code) << sdl;
}

TEST_F(SdlWindowTest, KeysAreHeldByScanCodeAndTypedAsCharacters) {
    Drain();
    PushKey(SDL_SCANCODE_RETURN, true);
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    SDL_strlcpy(text.text.text, "あ", sizeof(text.text.text));
    Push(text);
    auto messages = Drain();
    EXPECT_TRUE(messages.size() == 2 && Holds(messages, host::kMsgChar, 0x0D) &&
                Holds(messages, host::kMsgChar, 0x3042));

    std::uint8_t keys[256];
    ASSERT_TRUE(window.ReadKeyboard(keys));
    EXPECT_EQ(keys[0x1C], 0x80);
    EXPECT_EQ(keys[0x01], 0);
    PushKey(SDL_SCANCODE_RETURN, false);
    Drain();
    ASSERT_TRUE(window.ReadKeyboard(keys));
    EXPECT_EQ(keys[0x1C], 0);
}

TEST_F(SdlWindowTest, FocusChangesBecomeActivationAndReadsFailWithoutFocus) {
    Drain();
    PushKey(SDL_SCANCODE_LSHIFT, true);
    PushWindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_TRUE(Holds(Drain(), host::kMsgActivateApp, 0));
    std::uint8_t keys[256];
    EXPECT_FALSE(window.ReadKeyboard(keys));
    host::MouseReading mouse;
    EXPECT_FALSE(window.ReadMouse(mouse));

    PushWindowEvent(window, SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_TRUE(Holds(Drain(), host::kMsgActivateApp, 1));
    ASSERT_TRUE(window.ReadKeyboard(keys));
    EXPECT_EQ(keys[0x2A], 0) << "a key held when the focus went must not stay down";
}

TEST_F(SdlWindowTest, CloseExposeWheelAndQuitBecomeMessages) {
    Drain();
    PushWindowEvent(window, SDL_WINDOWEVENT_CLOSE);
    PushWindowEvent(window, SDL_WINDOWEVENT_EXPOSED);
    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = -1;
    Push(wheel);
    SDL_Event quit{};
    quit.type = SDL_QUIT;  // what a SIGINT or SIGTERM becomes: the quit, not the close question
    Push(quit);
    auto messages = Drain();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[3].message, host::kMsgQuit);
    EXPECT_EQ(messages[0].message, host::kMsgClose);
    EXPECT_EQ(messages[1].message, host::kMsgPaint);
    EXPECT_EQ(messages[1].rect, (host::Rect{0, 0, 800, 600}));
    EXPECT_EQ(messages[2].message, host::kMsgMouseWheel);
    EXPECT_EQ(static_cast<std::int16_t>(messages[2].w >> 16), -120);

    host::MouseReading mouse;
    ASSERT_TRUE(window.ReadMouse(mouse));
    EXPECT_EQ(mouse.dz, -120);
    ASSERT_TRUE(window.ReadMouse(mouse));
    EXPECT_EQ(mouse.dz, 0) << "the wheel turn is reported once";
}

TEST_F(SdlWindowTest, PointerIsInGameCoordinatesAndButtonsAreTracked) {
    // No overlay: the picture fills the 800x600 window.
    PushMouse(SDL_MOUSEMOTION, 123, 456);
    PushMouse(SDL_MOUSEBUTTONDOWN, 123, 456, SDL_BUTTON_RIGHT);
    Drain();
    int x = 0, y = 0;
    window.CursorPosition(x, y);
    EXPECT_EQ(x, 123);
    EXPECT_EQ(y, 456);
    host::MouseReading mouse;
    ASSERT_TRUE(window.ReadMouse(mouse));
    EXPECT_FALSE(mouse.buttons[0]);
    EXPECT_TRUE(mouse.buttons[1]);
}

// What each read of the keyboard and the mouse sees of the presses and releases before it: a
// press shorter than a frame is down at one read and up at the next, a press held over reads
// reads as its state, a quick release and press again reads up once and then down.
TEST_F(SdlWindowTest, NoPressIsLostBetweenTwoReads) {
    struct Read {
        std::vector<bool> before;  // downs (true) and ups (false) since the last read
        bool down;                 // what the read sees
    };
    const struct {
        const char* name;
        std::vector<Read> reads;
    } cases[] = {
        {"tap", {{{true, false}, true}, {{}, false}, {{}, false}}},
        {"held", {{{true}, true}, {{}, true}, {{false}, false}, {{}, false}}},
        {"up and down again while held", {{{true}, true}, {{false, true}, false}, {{}, true}, {{false}, false}}},
        {"two taps", {{{true, false, true, false}, true}, {{}, false}, {{}, false}}},
        {"held, let go, tapped", {{{true}, true}, {{false, true, false}, false}, {{}, true}, {{}, false}}},
        {"an up never seen down", {{{false}, false}, {{true}, true}, {{}, true}, {{false}, false}}},
        {"a second down without an up", {{{true}, true}, {{true}, true}, {{false}, false}, {{}, false}}},
    };
    for (const auto& c : cases)
        for (const bool mouse : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (mouse ? " (mouse)" : " (keyboard)"));
            for (std::size_t i = 0; i < c.reads.size(); ++i) {
                for (const bool down : c.reads[i].before) {
                    if (mouse)
                        PushMouse(down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP, 10, 10);
                    else
                        PushKey(SDL_SCANCODE_RETURN, down);
                }
                Drain();
                std::uint8_t keys[256];
                host::MouseReading reading;
                ASSERT_TRUE(window.ReadKeyboard(keys));
                ASSERT_TRUE(window.ReadMouse(reading));
                EXPECT_EQ(mouse ? reading.buttons[0] : keys[0x1C] == 0x80, c.reads[i].down) << "read " << i;
                EXPECT_EQ(mouse ? keys[0x1C] : reading.buttons[0] ? 0x80 : 0, 0) << "the other device";
            }
        }
}

// A click made and the pointer moved on before the next read (a tap, then a quick move): that read
// reports the press where it was made, so it lands on what was under the pointer; the read after
// is where the pointer is now.
TEST_F(SdlWindowTest, APressIsReadWhereItWasMadeThoughThePointerMovedOnBeforeTheRead) {
    for (const bool let_go : {true, false}) {
        SCOPED_TRACE(let_go ? "a tap" : "a press held");
        PushMouse(SDL_MOUSEMOTION, 700, 450);
        PushMouse(SDL_MOUSEBUTTONDOWN, 700, 450);
        if (let_go) PushMouse(SDL_MOUSEBUTTONUP, 700, 450);
        PushMouse(SDL_MOUSEMOTION, 300, 200);
        Drain();
        host::MouseReading mouse;
        int x = 0, y = 0;
        ASSERT_TRUE(window.ReadMouse(mouse));
        window.CursorPosition(x, y);
        EXPECT_TRUE(mouse.buttons[0]);
        EXPECT_EQ(x * 1000 + y, 700450);
        ASSERT_TRUE(window.ReadMouse(mouse));
        window.CursorPosition(x, y);
        EXPECT_EQ(mouse.buttons[0], !let_go);
        EXPECT_EQ(x * 1000 + y, 300200);
        PushMouse(SDL_MOUSEBUTTONUP, 300, 200);
        Drain();
        ASSERT_TRUE(window.ReadMouse(mouse));
    }
}

// The overlay (the modal layer) takes its keys as states once a frame too: a tap between two of
// its frames is drawn as down in the next one and is up in the one after.
TEST_F(SdlWindowTest, TheOverlayDrawsATappedKeyDownOnce) {
    class KeyOverlay final : public host::SdlWindow::Overlay {
    public:
        bool HandleEvent(const SDL_Event& event) override {
            if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP)
                return_down_ =
                    event.key.keysym.scancode == SDL_SCANCODE_RETURN ? event.type == SDL_KEYDOWN : return_down_;
            return false;
        }
        void Draw() override { drawn.push_back(return_down_); }
        bool Animating() const override { return false; }
        bool CapturesKeyboard() const override { return false; }
        bool CapturesMouse() const override { return false; }
        int MenuBarHeight() const override { return 0; }
        std::vector<bool> drawn;

    private:
        bool return_down_ = false;
    } overlay;
    window.SetOverlay(&overlay);
    const struct {
        std::vector<bool> before;  // Return's downs and ups before the frame
        bool drawn;
    } frames[] = {{{true, false}, true}, {{}, false}, {{true}, true}, {{}, true}, {{false}, false}, {{}, false}};
    for (const auto& frame : frames) {
        for (const bool down : frame.before) PushKey(SDL_SCANCODE_RETURN, down);
        Drain();
        window.Redraw();
    }
    window.SetOverlay(nullptr);
    std::vector<bool> expected;
    for (const auto& frame : frames) expected.push_back(frame.drawn);
    EXPECT_EQ(overlay.drawn, expected);
}

// The Return that answers a box stays the box's while it is held: the game does not read it as
// down when the box has closed, not even when the keyboard starts repeating it (a player holding
// the key past the repeat delay), and a fresh press after letting it go is the game's again.
TEST_F(SdlWindowTest, AKeyThatAnsweredABoxStaysUpForTheGameThroughItsRepeats) {
    class BoxOverlay final : public host::SdlWindow::Overlay {
    public:
        bool HandleEvent(const SDL_Event&) override { return open; }
        void Draw() override {}
        bool Animating() const override { return false; }
        bool CapturesKeyboard() const override { return open; }
        bool CapturesMouse() const override { return open; }
        int MenuBarHeight() const override { return 0; }
        bool open = true;
    } box;
    window.SetOverlay(&box);
    const auto read_return = [&] {
        Drain();
        std::uint8_t keys[256];
        EXPECT_TRUE(window.ReadKeyboard(keys));
        return keys[0x1C] == 0x80;
    };
    PushKey(SDL_SCANCODE_RETURN, true);
    EXPECT_FALSE(read_return()) << "the box's key";
    box.open = false;  // answered
    EXPECT_FALSE(read_return()) << "held after the box closed";
    for (int repeat = 0; repeat < 3; ++repeat) PushKey(SDL_SCANCODE_RETURN, true, KMOD_NONE, true);
    EXPECT_FALSE(read_return()) << "repeating after the box closed";
    PushKey(SDL_SCANCODE_RETURN, false);
    EXPECT_FALSE(read_return());
    PushKey(SDL_SCANCODE_RETURN, true);
    EXPECT_TRUE(read_return()) << "pressed again";
    window.SetOverlay(nullptr);
}

// With SDL_VIDEODRIVER unset and no display to reach, SDL would start its off-screen driver;
// the window refuses it. Named, it is taken (the tests here run on the dummy driver so).
TEST(SdlWindowDisplay, TheOffScreenDriversServeOnlyWhenNamed) {
    const struct {
        const char* driver;  // SDL_VIDEODRIVER
        bool opens;
    } cases[] = {{"offscreen", true}, {"x11,offscreen", true}, {"dummy", true}, {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.driver);
        ::setenv("SDL_VIDEODRIVER", c.driver, 1);
        ::setenv("DISPLAY", "", 1);  // no X server, whatever this process was given
        ::setenv("WAYLAND_DISPLAY", "", 1);
        if (c.opens) {
            EXPECT_NO_THROW(host::SdlWindow("test", true));
        } else {
            try {
                host::SdlWindow window("test", true);
                ADD_FAILURE() << "opened on " << SDL_GetCurrentVideoDriver();
            } catch (const std::runtime_error& error) {
                EXPECT_NE(std::string(error.what()).find("SDL video"), std::string::npos) << error.what();
            }
        }
    }
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
}

// The lighthouse: a rounded square of night sky, the tower's white and red bands from its foot
// up, the lit lantern above them.
TEST(WindowIcon, IsTheLighthouseInARoundedSquare) {
    const std::vector<std::uint32_t> icon = host::DrawWindowIcon();
    const int size = host::kWindowIconSize;
    ASSERT_EQ(icon.size(), static_cast<std::size_t>(size * size));
    auto at = [&](int x, int y) { return icon[static_cast<std::size_t>(y * size + x)]; };
    for (auto [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}})
        EXPECT_EQ(at(x, y) >> 24, 0u) << "corner " << x << "," << y;
    for (int i = 0; i < size; ++i) {
        EXPECT_EQ(at(i, size / 2) >> 24, 0xFFu) << "row across the middle at " << i;
        EXPECT_EQ(at(size / 2, i) >> 24, 0xFFu) << "column down the middle at " << i;
    }
    // Down the tower's lit side, from the lantern to the rock: the colours in the order met.
    auto kind = [](std::uint32_t p) {
        const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
        if (r > 200 && g > 200 && b > 200) return 'W';
        if (r > 180 && g < 120 && b < 120) return 'R';
        if (r > 200 && g > 180 && b < 190) return 'Y';
        return '.';
    };
    std::string met;
    for (int y = 0; y < size; ++y) {
        const char k = kind(at(size * 15 / 32, y));
        if (k != '.' && (met.empty() || met.back() != k)) met += k;
    }
    EXPECT_EQ(met, "YWRWRW");
}

TEST_F(SdlWindowTest, PresentClipsRectanglesToThePicture) {
    std::vector<std::uint32_t> picture(800 * 600, 0xFF336699u);
    const host::Rect rects[] = {{-10, -10, 20, 20}, {790, 590, 900, 700}, {900, 0, 1000, 10}};
    window.Present(picture.data(), 800 * 4, rects);  // must not read outside the picture
    window.Redraw();
    SDL_Rect r = window.PictureRect();
    EXPECT_EQ(r.w, 800);
    EXPECT_EQ(r.h, 600);
    // Desktop full screen scales the picture: the game size is always among the modes.
    bool game_size = false;
    for (const host::DisplayMode& m : window.DisplayModes()) game_size |= m.width == 800 && m.height == 600;
    EXPECT_TRUE(game_size);
}

// The window's own pixels as 0xRRGGBB (the dummy driver keeps them in memory).
std::vector<std::uint32_t> WindowPixels(SDL_Window* window) {
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    std::vector<std::uint32_t> out(surface ? static_cast<std::size_t>(surface->w) * surface->h : 0);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int x = static_cast<int>(i % surface->w), y = static_cast<int>(i / surface->w);
        Uint32 pixel = 0;
        Uint8 r, g, b;
        std::memcpy(&pixel,
                    static_cast<Uint8*>(surface->pixels) + y * surface->pitch + x * surface->format->BytesPerPixel,
                    surface->format->BytesPerPixel);
        SDL_GetRGB(pixel, surface->format, &r, &g, &b);
        out[i] = static_cast<std::uint32_t>(r) << 16 | g << 8 | b;
    }
    return out;
}

TEST_F(SdlWindowTest, ChangedPartsReachTheWindowExactlyAsAWholeRedrawWould) {
    std::mt19937 random(99);
    std::vector<std::uint32_t> picture(800 * 600);
    for (auto& p : picture) p = random() & 0xFFFFFF;
    const host::Rect whole{0, 0, 800, 600};
    // The game size, then a larger window: the picture scaled and letterboxed.
    for (auto [w, h] : {std::pair{800, 600}, std::pair{1000, 700}}) {
        SDL_SetWindowSize(window.sdl_window(), w, h);
        Drain();
        window.Present(picture.data(), 800 * 4, std::span(&whole, 1));
        window.Redraw();
        const std::vector<std::uint32_t> before = WindowPixels(window.sdl_window());
        ASSERT_EQ(before.size(), static_cast<std::size_t>(w) * h);

        // A cursor-sized change and a few others, shown alone.
        const host::Rect parts[] = {{700, 540, 716, 556}, {0, 0, 1, 1}, {333, 100, 500, 101}, {799, 599, 800, 600}};
        for (const host::Rect& part : parts)
            for (int y = part.top; y < part.bottom; ++y)
                for (int x = part.left; x < part.right; ++x) picture[static_cast<std::size_t>(y) * 800 + x] ^= 0x808080;
        window.Present(picture.data(), 800 * 4, parts);
        window.ShowPending();
        const std::vector<std::uint32_t> shown = WindowPixels(window.sdl_window());
        SDL_Rect area = window.PictureRect();
        const int cx = area.x + 708 * area.w / 800, cy = area.y + 548 * area.h / 600;
        EXPECT_NE(shown[static_cast<std::size_t>(cy) * w + cx], before[static_cast<std::size_t>(cy) * w + cx]);

        window.Redraw();
        EXPECT_EQ(shown, WindowPixels(window.sdl_window())) << w << "x" << h;
    }
}

}  // namespace
