// The dialog layer drawn by ImGui in a hidden SDL window (SDL's dummy video driver, no display):
// a drag on a slider reports where it was dragged to, a vertical slider counting from its top,
// and a picture control shows its pixels, repainted when the dialog changes them. Keys pushed as
// SDL delivers them answer boxes by their letters, press the buttons their letters mark, step a
// focused slider, reach an edit box at once (after a conversion cancelled, and all within one
// frame), and open, pick from and close the menu bar's popups; a list's selected line stands out
// from the line under the pointer, a slider's value stays clear of its bar, and a list shows its
// selected line.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <stdexcept>
#include <vector>

#include "../sdl_events.h"
#include "host/ui/host.h"
#include "host/ui/imgui_layer.h"
#include "host/video/scancodes.h"
#include "host/video/sdl_window.h"
#include "lib/report_hook.h"
#include "lib/text.h"

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

// A dialog for the keys: a comment box, a list, a button marked D, a slider.
enum { kEdit = 1023, kList = 1021, kDelete = 1025, kKeySlider = 1053 };
class KeyDialog : public host::Dialog {
public:
    KeyDialog() : Dialog(u"鍵", 400, 260) {
        Add({kEdit, host::ControlKind::Edit, {10, 10, 200, 34}});
        Add({kList, host::ControlKind::ListBox, {10, 44, 390, 150}});
        host::Control& slider = Add({kKeySlider, host::ControlKind::Slider, {10, 160, 390, 184}});
        slider.page_size = 10;
        Add({kDelete, host::ControlKind::Button, {10, 200, 100, 228}, u"削除(&D)"});
    }
    void OnInit() override {
        SetItems(kList, {u"一", u"二", u"三", u"四", u"五"});
        SetSelection(kList, 1);
        SetSliderPosition(kKeySlider, 50);
    }
    void OnCommand(int id, int notify) override {
        if (id == kDelete && notify == host::kNotifyClicked) ++deletes;
        Dialog::OnCommand(id, notify);
    }
    int deletes = 0;
};

// A letter key going down and up, with Alt held or not.
std::function<void()> Letter(SDL_Scancode code, Uint16 mod = KMOD_NONE) {
    return [code, mod] {
        PushKey(code, true, mod);
        PushKey(code, false, mod);
    };
}

TEST_F(DialogLayerTest, BoxesAnswerTheirButtonsLetters) {
    const struct {
        unsigned style;
        SDL_Scancode key;
        Uint16 mod;
        int answer;
    } cases[] = {
        {kMbYesNo | kMbIconQuestion, SDL_SCANCODE_Y, KMOD_NONE, kIdYes},
        {kMbYesNo | kMbDefaultButton2, SDL_SCANCODE_N, KMOD_NONE, kIdNo},
        {kMbYesNo, SDL_SCANCODE_N, KMOD_LALT, kIdNo},
        {kMbAbortRetryIgnore, SDL_SCANCODE_I, KMOD_NONE, kIdIgnore},
    };
    for (const auto& c : cases) {
        int frames = 0;
        layer.SetFrameHook([&] {
            if (++frames == 2) Letter(c.key, c.mod)();
            if (frames == 300) throw std::runtime_error("not answered");
        });
        try {
            EXPECT_EQ(layer.MessageBox(u"確認", u"よろしいですか？", c.style), c.answer) << c.style;
        } catch (const std::runtime_error& error) {
            ADD_FAILURE() << error.what() << " " << c.style;
        }
        layer.SetFrameHook(nullptr);
    }
}

TEST_F(DialogLayerTest, ALetterPressesTheButtonItMarksAndAFocusedSliderStepsWithTheTrackbarKeys) {
    KeyDialog dialog;
    const auto always = [] { return true; };
    int deletes_by_letter = -1, deletes_in_edit = -1;
    std::vector<int> positions;
    const auto note_position = [&] { positions.push_back(dialog.SliderPosition(kKeySlider)); };
    const auto key = [](SDL_Keycode code) {
        return [code] {
            PushKey(SDL_GetScancodeFromKey(code), true);
            PushKey(SDL_GetScancodeFromKey(code), false);
        };
    };
    Run(dialog, {{[&] { return layer.ModalButtonRects().count(kDelete) != 0; }, [&] { dialog.Focus(kList); }},
                 {always, Letter(SDL_SCANCODE_D)},
                 {always, [] {}},
                 {always, [&] { deletes_by_letter = dialog.deletes, dialog.Focus(kEdit); }},
                 {always, [] {}},
                 {always, Letter(SDL_SCANCODE_D)},
                 {always, [] {}},
                 {always, [&] { deletes_in_edit = dialog.deletes; }},
                 {always,
                  [] {
                      // Alt+D in the edit box: the button, and the character the key would type is dropped.
                      PushKey(SDL_SCANCODE_D, true, KMOD_LALT);
                      SDL_Event text{};
                      text.type = SDL_TEXTINPUT;
                      text.text.text[0] = 'd';
                      Push(text);
                      PushKey(SDL_SCANCODE_D, false, KMOD_LALT);
                  }},
                 {always, [] {}},
                 {always, [&] { dialog.Focus(kKeySlider); }},
                 {always, key(SDLK_PAGEDOWN)},
                 {always, note_position},
                 {always, key(SDLK_LEFT)},
                 {always, note_position},
                 {always, key(SDLK_END)},
                 {always, note_position},
                 {always, key(SDLK_HOME)},
                 {always, note_position},
                 {always, key(SDLK_UP)},
                 {always, note_position}});
    EXPECT_EQ(deletes_by_letter, 1) << "D with the list focused";
    EXPECT_EQ(deletes_in_edit, 1) << "D typed in the edit box presses nothing";
    EXPECT_EQ(dialog.deletes, 2) << "Alt+D from the edit box";
    EXPECT_EQ(dialog.Text(kEdit), u"");
    EXPECT_EQ(positions, (std::vector<int>{60, 59, 100, 0, 0}));
}

// Every trackbar key on a focused slider (page 10), each from 50: the arrows up and left a line
// towards the minimum, down and right towards the maximum, the page keys a page, Home and End.
TEST_F(DialogLayerTest, EachTrackbarKeyStepsAFocusedSliderItsOwnWay) {
    const struct {
        SDL_Keycode key;
        int position;
    } cases[] = {{SDLK_UP, 49},     {SDLK_LEFT, 49},     {SDLK_DOWN, 51}, {SDLK_RIGHT, 51},
                 {SDLK_PAGEUP, 40}, {SDLK_PAGEDOWN, 60}, {SDLK_HOME, 0},  {SDLK_END, 100}};
    KeyDialog dialog;
    const auto always = [] { return true; };
    std::vector<std::pair<std::function<bool()>, std::function<void()>>> steps{
        {[&] { return layer.ModalButtonRects().count(kKeySlider) != 0; }, [&] { dialog.Focus(kKeySlider); }}};
    std::vector<int> positions, expected;
    for (const auto& c : cases) {
        steps.push_back({always, [&dialog] { dialog.SetSliderPosition(kKeySlider, 50); }});
        steps.push_back({always, Letter(SDL_GetScancodeFromKey(c.key))});
        steps.push_back({always, [&] { positions.push_back(dialog.SliderPosition(kKeySlider)); }});
        expected.push_back(c.position);
    }
    Run(dialog, steps);
    EXPECT_EQ(positions, expected);
}

// The input method's composition as SDL tells of it (empty: none), and its text committed.
void Editing(const char* text) {
    SDL_Event e{};
    e.type = SDL_TEXTEDITING;
    SDL_strlcpy(e.edit.text, text, sizeof(e.edit.text));
    e.edit.length = static_cast<Sint32>(SDL_utf8strlen(text));
    Push(e);
}
void Commit(const char* text) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    SDL_strlcpy(e.text.text, text, sizeof(e.text.text));
    Push(e);
}

// SDL tells of the input method's composition by text-editing events; the composition is not in
// the box until committed. The Return that confirms it belongs to the input method, however the
// commit arrives; once the composition is gone (committed, or left with the box) Return accepts.
TEST_F(DialogLayerTest, TheReturnThatConfirmsAConversionDoesNotAcceptTheDialog) {
    const struct {
        const char* name;
        std::function<void(host::Dialog&)> confirm;
        std::u16string typed;
    } cases[] = {
        {"the composition cleared, then committed",
         [&](host::Dialog&) {
             PushKey(SDL_SCANCODE_RETURN, true), Editing(""), Commit("名前"), PushKey(SDL_SCANCODE_RETURN, false);
         },
         u"名前"},
        {"committed alone",
         [&](host::Dialog&) {
             PushKey(SDL_SCANCODE_RETURN, true), Commit("名前"), PushKey(SDL_SCANCODE_RETURN, false);
         },
         u"名前"},
        {"left behind in the box the focus left", [](host::Dialog& d) { d.Focus(kList); }, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KeyDialog dialog;
        bool ended_when_confirmed = true;
        std::u16string typed;
        int frames = 0;
        layer.SetFrameHook([&] {
            switch (++frames) {
                case 2: dialog.Focus(kEdit); break;
                case 4: Editing("なまえ"); break;
                case 6: c.confirm(dialog); break;
                case 9:
                    ended_when_confirmed = dialog.ended(), typed = dialog.Text(kEdit);
                    Letter(SDL_SCANCODE_RETURN)();
                    break;
                case 300: dialog.End(-1); break;
                default: break;
            }
        });
        const std::intptr_t result = layer.RunDialog(dialog);
        layer.SetFrameHook(nullptr);
        EXPECT_FALSE(ended_when_confirmed);
        EXPECT_EQ(typed, c.typed);
        EXPECT_EQ(result, kIdOk) << "the plain Return afterwards";
    }
}

// Keys in an edit box act at once: after a conversion cancelled (its composition emptied, nothing
// committed) Return, Escape and Backspace are the dialog's and the box's again; a Ctrl+A whose
// keys all go down and up within one frame selects the box's text.
TEST_F(DialogLayerTest, KeysInAnEditBoxActAtOnceAfterACancelledConversionAndWithinAFrame) {
    const auto key = [](SDL_Scancode code, Uint16 mod = KMOD_NONE) {
        return [code, mod] {
            if (mod) PushKey(SDL_SCANCODE_LCTRL, true, mod);
            Letter(code, mod)();
            if (mod) PushKey(SDL_SCANCODE_LCTRL, false);
        };
    };
    const auto cancelled = [](std::function<void()> then) {
        return [then] { Editing("なまえ"), Editing(""), then(); };
    };
    const struct {
        const char* name;
        std::function<void()> first, second;  // pushed two frames apart, after "名前" was typed
        std::intptr_t result;                 // -1: the dialog stays open
        std::u16string text;
    } cases[] = {
        {"Return", cancelled(key(SDL_SCANCODE_RETURN)), [] {}, kIdOk, u"名前"},
        {"Escape", cancelled(key(SDL_SCANCODE_ESCAPE)), [] {}, kIdCancel, u"名前"},
        {"Backspace", cancelled(key(SDL_SCANCODE_BACKSPACE)), [] {}, -1, u"名"},
        {"Ctrl+A", key(SDL_SCANCODE_A, KMOD_LCTRL), key(SDL_SCANCODE_BACKSPACE), -1, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KeyDialog dialog;
        std::u16string text;
        int frames = 0;
        layer.SetFrameHook([&] {
            switch (++frames) {
                case 2: dialog.Focus(kEdit); break;
                case 4: Commit("名前"); break;
                case 7: c.first(); break;
                case 9: c.second(); break;
                case 13:
                    text = dialog.Text(kEdit);
                    dialog.End(-1);
                    break;
                default: break;
            }
        });
        const std::intptr_t result = layer.RunDialog(dialog);
        layer.SetFrameHook(nullptr);
        EXPECT_EQ(result, c.result);
        if (c.result == -1) {
            EXPECT_EQ(text, c.text);
        }
    }
}

// The game window's close box clicked while a box or a dialog is open is the modal's: it is not
// asked about once the modal is answered.
TEST_F(DialogLayerTest, TheCloseBoxClickedUnderABoxOrADialogAsksNothingAfterwards) {
    for (const bool box : {true, false}) {
        SCOPED_TRACE(box ? "box" : "dialog");
        Drain(window);
        KeyDialog dialog;
        int frames = 0;
        layer.SetFrameHook([&] {
            ++frames;
            if (frames == 2) PushWindowEvent(window, SDL_WINDOWEVENT_CLOSE);
            if (frames == 5 && box) Letter(SDL_SCANCODE_N)();
            if (frames == 5 && !box) dialog.End(kIdCancel);
            if (frames == 300) throw std::runtime_error("not answered");
        });
        if (box)
            layer.MessageBox(u"確認", u"よろしいですか？", kMbYesNo);
        else
            layer.RunDialog(dialog);
        layer.SetFrameHook(nullptr);
        for (int frame = 0; frame < 3; ++frame) window.PumpEvents();
        for (const host::WindowMessage& m : Drain(window)) EXPECT_NE(m.message, host::kMsgClose);
    }
}

TEST_F(DialogLayerTest, TheSelectedLineIsMarkedMoreStronglyThanTheLineUnderThePointerAndNoValueCoversAKnob) {
    KeyDialog dialog;
    const auto darkness = [](std::uint32_t rgb) {
        return 765 - int(rgb >> 16 & 0xFF) - int(rgb >> 8 & 0xFF) - int(rgb & 0xFF);
    };
    int selected = 0, hovered = 0, plain = 0, dark_in_bar = -1, dark_beside = 0;
    SDL_Rect line{};
    Run(dialog, {{[&] {
                      return layer.ListItemRects().count({kList, 3}) != 0;
                  },
                  [&] {
                      line = layer.ListItemRects().at({kList, 3});
                      PushMouse(SDL_MOUSEMOTION, line.x + line.w - 20, line.y + line.h / 2);
                  }},
                 {[] { return true; }, [] {}},
                 {[] { return true; },
                  [&] {
                      // Right of the lines' text: the ground of each line alone.
                      const auto ground = [&](int item) {
                          const SDL_Rect r = layer.ListItemRects().at({kList, item});
                          return darkness(Pixel(r.x + r.w - 20, r.y + r.h / 2));
                      };
                      selected = ground(1), hovered = ground(3), plain = ground(2);
                      const SDL_Rect bar = RectOf(kKeySlider);
                      dark_in_bar = 0;
                      for (int y = bar.y; y < bar.y + bar.h; ++y) {
                          for (int x = bar.x; x < bar.x + bar.w; ++x) dark_in_bar += darkness(Pixel(x, y)) > 500;
                          for (int x = bar.x + bar.w; x < bar.x + 380; ++x) dark_beside += darkness(Pixel(x, y)) > 500;
                      }
                  }}});
    EXPECT_EQ(plain, 0);
    EXPECT_GT(hovered, 0) << "the line under the pointer is tinted";
    EXPECT_GT(selected, 2 * hovered);
    EXPECT_EQ(dark_in_bar, 0) << "no text over the slider's bar and knob";
    EXPECT_GT(dark_beside, 10) << "the value right of the bar";
}

// A dialog shows what it holds: typing past an edit box's limits never shows (with the box full,
// Backspace takes off a character the player sees), and a list scrolled to its end by the wheel
// shows whole lines only, its last among them.
TEST_F(DialogLayerTest, AnEditBoxShowsOnlyWhatItKeepsAndAListAtItsEndCutsNoLine) {
    KeyDialog dialog;
    dialog.Find(kEdit)->max_length = 6;
    dialog.Find(kEdit)->max_narrow_bytes = 8;
    SDL_Event text{}, wheel{};
    text.type = SDL_TEXTINPUT;
    std::strcpy(text.text.text, "あいうえおか");
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = -1;
    std::vector<int> cut;  // the lines the list's edges cut, and the last when it is not shown whole
    const auto always = [] { return true; };
    Run(dialog, {{[&] { return layer.ModalButtonRects().count(kList) != 0; },
                  [&] {
                      dialog.SetItems(kList, std::vector<std::u16string>(99, u"行"));
                      dialog.Focus(kEdit);
                      PushMouse(SDL_MOUSEMOTION, RectOf(kList).x + 20, RectOf(kList).y + 20);
                  }},
                 {always, [] {}},
                 {always,
                  [&] {
                      Push(text);
                      for (int i = 0; i < 40; ++i) Push(wheel);
                  }},
                 {always, [] { PushKey(SDL_SCANCODE_BACKSPACE, true); }},
                 {always, [] { PushKey(SDL_SCANCODE_BACKSPACE, false); }},
                 {always, [&] {
                      const SDL_Rect list = RectOf(kList);
                      for (int i = 0; i < 99; ++i) {
                          const SDL_Rect line = layer.ListItemRects().at({kList, i});
                          const int shown = std::min(line.y + line.h, list.y + list.h) - std::max(line.y, list.y);
                          if ((shown > 0 && shown < line.h) || (i == 98 && shown != line.h)) cut.push_back(i);
                      }
                  }}});
    EXPECT_EQ(dialog.Text(kEdit), u"あいう");
    EXPECT_TRUE(cut.empty()) << "line " << cut.front();
}

// A list shows its selected line from its first frame on, though it has never been drawn (the
// lines not yet measured); a key that selects a line out of sight scrolls to it, and so does the
// dialog class selecting the line again after the wheel has scrolled it away.
TEST_F(DialogLayerTest, AListShowsItsSelectedLineFromItsFirstFrameAndWhereAKeyMovesIt) {
    struct LongList : KeyDialog {
        void OnInit() override {
            KeyDialog::OnInit();
            SetItems(kList, std::vector<std::u16string>(99, u"行"));
            SetSelection(kList, 80);
            Focus(kList);
        }
    } dialog;
    const auto shown = [&](int line) {
        const SDL_Rect list = RectOf(kList), r = layer.ListItemRects().at({kList, line});
        return r.y >= list.y && r.y + r.h <= list.y + list.h;
    };
    std::vector<bool> seen;
    Run(dialog, {{[&] { return layer.ModalButtonRects().count(kList) != 0; },
                  [&] {
                      seen.push_back(shown(80));
                      Letter(SDL_SCANCODE_HOME)();
                  }},
                 {[] { return true; }, [] {}},
                 {[] { return true; },
                  [&] {
                      seen.push_back(dialog.Selection(kList) == 0 && shown(0));
                      const SDL_Rect list = RectOf(kList);
                      PushMouse(SDL_MOUSEMOTION, list.x + 20, list.y + 20);
                      SDL_Event wheel{};
                      wheel.type = SDL_MOUSEWHEEL;
                      wheel.wheel.y = -1;
                      for (int i = 0; i < 40; ++i) Push(wheel);
                  }},
                 {[] { return true; }, [] {}},
                 {[] { return true; },
                  [&] {
                      seen.push_back(shown(0));
                      dialog.SetSelection(kList, 0);
                  }},
                 {[] { return true; }, [] {}},
                 {[] { return true; }, [&] { seen.push_back(shown(0)); }}});
    EXPECT_EQ(seen, (std::vector<bool>{true, true, false, true}));
}

// Each box shows the icon its style names (our own drawing: the question's "?" on a blue disc),
// its text clear of the edges, and its buttons centred under it with room below and around
// their labels.
TEST_F(DialogLayerTest, BoxesShowTheirIconAndKeepTheirTextAndButtonsWithinMargins) {
    struct Done {};
    const auto sum = [](std::uint32_t p) { return int(p >> 16) + int(p >> 8 & 0xFF) + int(p & 0xFF); };
    const auto hue = [](std::uint32_t p) {
        const int r = p >> 16, g = p >> 8 & 0xFF, b = p & 0xFF;
        return b > r + 80 ? 'b' : r > b + 80 && g > b + 80 ? 'y' : r > g + 80 ? 'r' : '?';
    };
    const struct {
        unsigned style;
        char hue;
    } cases[] = {{kMbYesNoCancel | kMbIconQuestion, 'b'},
                 {kMbOk | kMbIconStop, 'r'},
                 {kMbOkCancel | kMbIconExclamation, 'y'},
                 {kMbOk | kMbIconInformation, 'b'}};
    std::map<unsigned, std::vector<bool>> marks;  // the pixels of each icon's middle that stand out
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        host::ImGuiLayer::BoxGeometry box;
        std::vector<SDL_Rect> buttons;
        std::vector<host::ImGuiLayer::LabelFit> fits;
        std::uint32_t ground = 0;
        std::vector<bool>& mark = marks[c.style & kMbIconMask];
        int frames = 0;
        layer.SetFrameHook([&] {
            if (++frames < 3) return;
            box = layer.TopBox();
            for (const auto& [answer, rect] : layer.ModalButtonRects()) buttons.push_back(rect);
            fits = layer.LabelFits();
            const int cx = box.icon.x + box.icon.w / 2, cy = box.icon.y + box.icon.h / 2;
            // Left of the mark: inside a disc by its middle, inside the triangle near its base.
            ground = (c.style & kMbIconMask) == kMbIconExclamation ? Pixel(cx - 8, cy + 10) : Pixel(cx - 12, cy);
            for (int y = cy - 8; y <= cy + 8; ++y)
                for (int x = cx - 4; x <= cx + 4; ++x) mark.push_back(std::abs(sum(Pixel(x, y)) - sum(ground)) > 200);
            throw Done{};
        });
        try {
            layer.MessageBox(u"確認", u"終了してもよろしいですか？\n二行目の少し長い説明の文です。", c.style);
            ADD_FAILURE() << "the box was answered";
        } catch (const Done&) {}
        layer.SetFrameHook(nullptr);
        ASSERT_FALSE(buttons.empty());
        const SDL_Rect &b = box.box, &text = box.text, &icon = box.icon;
        EXPECT_GE(text.x - (icon.x + icon.w), 12) << "room between the icon and the text";
        EXPECT_GE(b.x + b.w - (text.x + text.w), 12) << "room right of the text";
        int left = b.x + b.w, right = b.x, top = b.y + b.h, bottom = b.y;
        for (const SDL_Rect& r : buttons) {
            left = std::min(left, r.x), right = std::max(right, r.x + r.w);
            top = std::min(top, r.y), bottom = std::max(bottom, r.y + r.h);
        }
        EXPECT_LE(std::abs((left + right) - (2 * b.x + b.w)), 2) << "the buttons centred";
        EXPECT_GE(top - std::max(text.y + text.h, icon.y + icon.h), 8) << "the buttons under the text";
        EXPECT_GE(b.y + b.h - bottom, 12) << "room below the buttons";
        ASSERT_EQ(fits.size(), buttons.size());
        for (const auto& fit : fits) EXPECT_GE(fit.width - fit.text_width, 16) << Utf16ToUtf8(fit.text);
        EXPECT_EQ(hue(ground), c.hue) << std::hex << ground;
        EXPECT_GT(std::count(mark.begin(), mark.end(), true), 6) << "the mark on the icon";
    }
    EXPECT_NE(marks[kMbIconQuestion], marks[kMbIconInformation]) << "a question is not a notice";
}

TEST_F(DialogLayerTest, TheMenuBarsKeysOpenAPopupPickItsItemsAndEscapeClosesIt) {
    host::MenuItem& file = platform->menu().AddPopup(u"ファイル(&F)");
    host::MenuModel::AddItem(file, 40010, u"セーブする(&S)");
    host::MenuModel::AddItem(file, 40000, u"終了(&X)");
    host::MenuItem& view = platform->menu().AddPopup(u"表示(&V)");
    host::MenuModel::AddItem(view, 40004, u"通常");
    platform->menu().AddAccelerator({host::kKeyF10, false, false, false, 40002});
    const auto frames = [&](int n) {
        for (int i = 0; i < n; ++i) {
            window.PumpEvents();
            window.Redraw();
        }
    };
    const auto commands = [&] {
        std::vector<int> out;
        for (const host::WindowMessage& m : Drain(window))
            if (m.message == host::kMsgCommand) out.push_back(static_cast<int>(m.w));
        return out;
    };
    frames(2);
    Letter(SDL_SCANCODE_F, KMOD_LALT)();
    frames(3);
    EXPECT_TRUE(layer.OpenItemRects().count(40000)) << "Alt+F opens ファイル";
    Letter(SDL_SCANCODE_ESCAPE)();
    frames(3);
    EXPECT_TRUE(layer.OpenItemRects().empty()) << "Escape closes it";
    Letter(SDL_SCANCODE_V, KMOD_LALT)();
    frames(3);
    EXPECT_TRUE(layer.OpenItemRects().count(40004)) << "Alt+V opens 表示";
    Letter(SDL_SCANCODE_X)();  // not in 表示
    frames(3);
    EXPECT_TRUE(layer.OpenItemRects().count(40004));
    Letter(SDL_SCANCODE_F, KMOD_LALT)();
    frames(3);
    Letter(SDL_SCANCODE_X)();
    frames(3);
    EXPECT_TRUE(layer.OpenItemRects().empty()) << "a picked item closes the menu";
    Letter(SDL_SCANCODE_F10)();
    frames(3);
    EXPECT_TRUE(layer.OpenItemRects().empty()) << "F10 opens no menu";
    Letter(SDL_SCANCODE_S)();  // no popup open: a plain key
    frames(2);
    EXPECT_EQ(commands(), (std::vector<int>{40000, 40002}));
}

}  // namespace
