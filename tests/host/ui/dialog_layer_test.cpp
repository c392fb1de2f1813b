// The dialog layer drawn by ImGui in a hidden SDL window (SDL's dummy video driver, no display):
// a drag on a slider reports where it was dragged to, a vertical slider counting from its top,
// and a picture control shows its pixels, repainted when the dialog changes them.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "../sdl_events.h"
#include "host/ui/host.h"
#include "host/ui/imgui_layer.h"
#include "host/video/sdl_window.h"

// The layer finds its face through fontconfig, whose configuration stays until the process ends
// (in the program the glyph source lets it go at exit): not a leak of what is tested here.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using namespace sdltest;

enum { kVertical = 1032, kHorizontal = 1052, kPicture = 1045 };

class SliderDialog : public host::Dialog {
public:
    SliderDialog() : Dialog(u"スライダー", 300, 220) {
        host::Control& vertical = Add({kVertical, host::ControlKind::Slider, {12, 10, 36, 170}});
        vertical.vertical = true;
        vertical.maximum = 255;
        Add({kHorizontal, host::ControlKind::Slider, {60, 10, 280, 34}});
        Add({kPicture, host::ControlKind::Picture, {60, 60, 140, 140}});
    }
    void OnInit() override {
        SetSliderPosition(kVertical, 100);
        SetSliderPosition(kHorizontal, 50);
        Paint(0xFF204080);
    }
    void OnScroll(int id, int position) override {
        scrolls.push_back({id, position});
        if (id == kHorizontal) Paint(0xFFE0C020);
    }
    void Paint(std::uint32_t colour) {
        host::Control& picture = *Find(kPicture);
        picture.picture_width = 80, picture.picture_height = 80;
        picture.pixels.assign(80 * 80, colour);
        ++picture.version;
    }

    std::vector<std::pair<int, int>> scrolls;
};

class DialogLayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_VIDEODRIVER", "dummy", 1); }

    // The window's pixel at (x, y) as 0xRRGGBB, as the layer last drew it.
    std::uint32_t Pixel(int x, int y) {
        std::uint32_t pixel = 0;
        const SDL_Rect at{x, y, 1, 1};
        SDL_RenderReadPixels(window.renderer(), &at, SDL_PIXELFORMAT_ARGB8888, &pixel, 4);
        return pixel & 0xFFFFFF;
    }
    // Runs the dialog: each step waits for its condition, then acts; the dialog is cancelled when
    // the steps are done (or after a few hundred frames).
    void Run(host::Dialog& dialog, std::vector<std::pair<std::function<bool()>, std::function<void()>>> steps) {
        std::size_t next = 0;
        int frames = 0;
        layer.SetFrameHook([&] {
            ++frames;
            if (next < steps.size() && steps[next].first()) steps[next++].second();
            if (next == steps.size() || frames > 600) dialog.End(-1);
        });
        layer.RunDialog(dialog);
        layer.SetFrameHook(nullptr);
        EXPECT_EQ(next, steps.size()) << "steps done";
    }
    SDL_Rect RectOf(int id) { return layer.ModalButtonRects().at(id); }

    std::unique_ptr<host::Host> platform = host::OpenSdlHost(u"test", true);
    host::SdlWindow& window = static_cast<host::SdlWindow&>(platform->window());
    host::ImGuiLayer& layer = static_cast<host::ImGuiLayer&>(platform->modal());
};

TEST_F(DialogLayerTest, DragsReportWhereTheSliderWasDraggedToAVerticalOneFromItsTop) {
    struct Case {
        int id;
        double from, to;  // along the slider, 0 its start (top or left) and 1 its end
        int position;     // reported at the end
    } cases[] = {
        {kVertical, 0.6, -0.5, 0},    // past the top: the minimum
        {kVertical, 0.5, 1.5, 255},   // past the bottom: the maximum
        {kHorizontal, 0.5, -1.0, 0},  // past the left end
        {kHorizontal, 0.2, 2.0, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        SliderDialog dialog;
        SDL_Rect r{};
        const auto point = [&](double along) {
            return c.id == kVertical ? SDL_Point{r.x + r.w / 2, r.y + static_cast<int>(r.h * along)}
                                     : SDL_Point{r.x + static_cast<int>(r.w * along), r.y + r.h / 2};
        };
        const auto push = [&](Uint32 type, double along) {
            return [&, type, along] { PushMouse(type, point(along).x, point(along).y); };
        };
        const auto always = [] { return true; };
        // The slider's place is known once the dialog has been drawn; then a press, a move and
        // the release there, a frame or more each.
        Run(dialog, {{[&] { return layer.ModalButtonRects().count(c.id) != 0; }, [&] { r = RectOf(c.id); }},
                     {always, push(SDL_MOUSEMOTION, c.from)},
                     {always, push(SDL_MOUSEBUTTONDOWN, c.from)},
                     {always, push(SDL_MOUSEMOTION, c.to)},
                     {always, push(SDL_MOUSEBUTTONUP, c.to)},
                     {always, [] {}}});
        ASSERT_FALSE(dialog.scrolls.empty());
        EXPECT_EQ(dialog.scrolls.back(), std::make_pair(c.id, c.position));
        EXPECT_EQ(dialog.SliderPosition(c.id), c.position);
        if (c.id == kVertical) {
            EXPECT_GT(r.h, 3 * r.w) << "drawn upright";
        }
    }
}

TEST_F(DialogLayerTest, APictureShowsItsPixelsAndIsRepaintedWhenTheyChange) {
    SliderDialog dialog;
    std::uint32_t before = 0, after = 0;
    SDL_Point centre{};
    Run(dialog, {{[&] { return layer.ModalButtonRects().count(kHorizontal) != 0; },
                  [&] {
                      // The picture lies 50 pixels below the slider's top, at its left.
                      const SDL_Rect r = RectOf(kHorizontal);
                      centre = {r.x + 40, r.y + 50 + 40};
                      before = Pixel(centre.x, centre.y);
                      dialog.Slide(kHorizontal, 70);  // the dialog repaints it
                  }},
                 {[] { return true; }, [] {}},
                 {[] { return true; }, [&] { after = Pixel(centre.x, centre.y); }}});
    EXPECT_EQ(before, 0x204080u);
    EXPECT_EQ(after, 0xE0C020u);
}

}  // namespace
