// The real window on a (virtual) X server, run under xvfb-run: what is presented reaches the
// server's pixels below the menu bar, full screen scales the picture and comes back, the menu
// bar turns a click into a command message, message boxes and dialogs take their answers from
// the keyboard, a box over a dialog is drawn over it and alone takes the input, a quit answers
// every open modal, an exception leaves through the modals, edit boxes hear the focus come and
// go, list items are shown as they are, the save dialog asks over itself before it overwrites or
// deletes and keeps a typed Japanese comment to its byte limit, and the frame step draws a view
// tree there and asks in a real message box before it quits on close.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "../host/sdl_events.h"
#include "../host/ui/x11_pixels.h"
#include "app/frame_step.h"
#include "app/runtime.h"
#include "app/settings.h"
#include "dxdraw/dxsprite.h"
#include "dxdraw/frame_window.h"
#include "dxdraw/screen_surface.h"
#include "host/ui/host.h"
#include "host/ui/imgui_layer.h"
#include "host/ui/report_sink.h"
#include "host/video/scancodes.h"
#include "host/video/sdl_window.h"
#include "lib/error.h"
#include "lib/report.h"
#include "lib/report_hook.h"
#include "lib/scope_guard.h"
#include "lib/text.h"
#include "screens/save_database.h"
#include "screens/save_load_dialog.h"
#include "screens/save_slots.h"
#include "support/temp_folder.h"

namespace {

using namespace sdltest;

class RealWindow : public ::testing::Test {
protected:
    RealWindow() {
        host::MenuItem& system = platform->menu().AddPopup(u"システム");
        host::MenuModel::AddItem(system, 40000, u"終了(&X)");
        host::MenuItem& scenario = platform->menu().AddPopup(u"シナリオ");
        host::MenuModel::AddItem(scenario, 40003, u"タイトルに戻る(&X)");
        host::MenuModel::AddSeparator(scenario);
        host::MenuModel::AddItem(scenario, 40010, u"セーブする(&S)");
        platform->menu().AddAccelerator({host::kKeyReturn, false, true, false, 40001});
    }

    // Reconnecting to the server right after the previous test let go of it fails now and then
    // on a loaded machine; a few more tries tell that apart from a server that is not there.
    static std::unique_ptr<host::Host> Open() {
        for (int attempt = 1;; ++attempt) {
            try {
                return host::OpenSdlHost(u"Saffronwake 体験版");
            } catch (const std::runtime_error& error) {
                if (attempt == 20) throw;
                std::fprintf(stderr, "%s (attempt %d)\n", error.what(), attempt);
                SDL_Delay(100);
            }
        }
    }

    // Lets the window system and the layer settle: events read, frames drawn.
    void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            window.PumpEvents();
            window.ShowPending();  // as the frame loop shows: only changed parts when it can
            SDL_Delay(10);
        }
    }

    std::uint32_t ServerPixel(int x, int y) { return ReadServerPixel(window.sdl_window(), x, y); }
    void Click(int x, int y) {
        for (Uint32 type : {SDL_MOUSEMOTION, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
            PushMouse(type, x, y);
            Frames(3);
        }
    }
    // Answers a modal with a key that is down when it appears: its first frame sees the press.
    int AnswerWith(SDL_Scancode key, const std::function<int()>& show) {
        PushKey(key, true);
        const int answer = show();
        PushKey(key, false);
        Frames(2);
        return answer;
    }
    // The command messages among what the window has for the engine; no key was also typed.
    std::vector<int> Commands() {
        std::vector<int> commands;
        for (const host::WindowMessage& m : Drain(window)) {
            if (m.message == host::kMsgCommand) commands.push_back(static_cast<int>(m.w));
            EXPECT_NE(m.message, host::kMsgChar);
        }
        return commands;
    }

    std::unique_ptr<host::Host> platform = Open();
    host::SdlWindow& window = static_cast<host::SdlWindow&>(platform->window());
    host::ImGuiLayer& layer = static_cast<host::ImGuiLayer&>(platform->modal());
};

TEST_F(RealWindow, PresentedPictureReachesTheServerBelowTheMenuBar) {
    std::vector<std::uint32_t> picture(800 * 600, 0x00102030u);
    for (int y = 100; y < 200; ++y)
        for (int x = 300; x < 400; ++x) picture[static_cast<std::size_t>(y) * 800 + x] = 0xFF00C000u;  // alpha ignored
    const host::Rect whole{0, 0, 800, 600};
    window.Present(picture.data(), 800 * 4, std::span(&whole, 1));
    Frames(5);
    const int top = layer.MenuBarHeight();
    ASSERT_GT(top, 10);
    SDL_Rect r = window.PictureRect();
    EXPECT_EQ(r.y, top);
    EXPECT_EQ(r.w, 800);
    EXPECT_EQ(ServerPixel(350, top + 150), 0x00C000u);
    EXPECT_EQ(ServerPixel(10, top + 10), 0x102030u);

    PushMouse(SDL_MOUSEMOTION, 400, top + 300);
    Frames(1);
    int x = 0, y = 0;
    window.CursorPosition(x, y);
    EXPECT_EQ(x, 400);
    EXPECT_EQ(y, 300) << "the pointer is in game pixels below the menu bar";
}

TEST_F(RealWindow, FullScreenScalesThePictureAndComesBack) {
    ASSERT_TRUE(window.SetFullScreen(true));
    Frames(10);
    EXPECT_TRUE(window.IsFullScreen());
    int w = 0, h = 0;
    SDL_GetWindowSize(window.sdl_window(), &w, &h);
    SDL_Rect r = window.PictureRect();
    EXPECT_EQ(r.w * 600, r.h * 800) << "aspect kept";
    EXPECT_LE(r.w, w);
    EXPECT_LE(r.h, h);
    EXPECT_EQ(r.y, (h - r.h) / 2) << "no menu bar above the picture in full screen";

    // The scaled picture (without a window manager the server may keep the window's size, and
    // the picture its own), then one changed part of it sent alone.
    std::vector<std::uint32_t> picture(800 * 600, 0x204060u);
    const host::Rect whole{0, 0, 800, 600}, part{600, 500, 616, 516};
    window.Present(picture.data(), 800 * 4, std::span(&whole, 1));
    Frames(2);
    for (auto& p : picture) p = 0xF0E0D0u;
    window.Present(picture.data(), 800 * 4, std::span(&part, 1));
    Frames(2);
    auto at = [&](int x, int y) { return ServerPixel(r.x + x * r.w / 800, r.y + y * r.h / 600); };
    EXPECT_EQ(at(608, 508), 0xF0E0D0u);
    EXPECT_EQ(at(590, 508), 0x204060u);
    EXPECT_EQ(at(100, 100), 0x204060u);

    // The menu bar shown at the top edge stays above a change under it.
    ASSERT_TRUE(window.MenuBarShown());
    const int bar = layer.MenuBarHeight();
    const host::Rect top_rows{0, 0, 800, 60};
    window.Present(picture.data(), 800 * 4, std::span(&top_rows, 1));
    Frames(2);
    EXPECT_NE(ServerPixel(w / 2, bar / 2), 0xF0E0D0u) << "the menu bar, not the picture";
    EXPECT_EQ(ServerPixel(w / 2, bar + 4), 0xF0E0D0u) << "the changed rows below it";

    ASSERT_TRUE(window.SetFullScreen(false));
    Frames(10);
    EXPECT_FALSE(window.IsFullScreen());
    SDL_GetWindowSize(window.sdl_window(), &w, &h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600 + layer.MenuBarHeight());
}

TEST_F(RealWindow, MenuPickAndAcceleratorBecomeCommandMessages) {
    Frames(3);
    ASSERT_EQ(layer.PopupLabelRects().size(), 2u);
    SDL_Rect label = layer.PopupLabelRects()[1];
    Click(label.x + label.w / 2, label.y + label.h / 2);
    ASSERT_TRUE(layer.OpenItemRects().count(40003)) << "the popup opened";
    SDL_Rect item = layer.OpenItemRects().at(40003);
    Click(item.x + item.w / 2, item.y + item.h / 2);
    EXPECT_EQ(Commands(), std::vector<int>{40003});
    PushKey(SDL_SCANCODE_RETURN, true, KMOD_LALT);
    PushKey(SDL_SCANCODE_RETURN, false, KMOD_LALT);
    EXPECT_EQ(Commands(), std::vector<int>{40001}) << "an accelerator is a command, not a typed key";
}

// A dialog class drawn for real: Return accepts it through its own command handler.
class NameDialog : public host::Dialog {
public:
    NameDialog() : Dialog(u"名前変更", 320, 120) {
        Add({1000, host::ControlKind::Static, {10, 10, 300, 30}, u"名前を入力してください。"});
        Add({1001, host::ControlKind::Edit, {10, 40, 200, 64}, u"ユウ"});
        Add({1002, host::ControlKind::CheckBox, {220, 40, 300, 64}, u"既定"});
        Add({1003, host::ControlKind::ListBox, {10, 70, 150, 110}});
        Add({1, host::ControlKind::DefaultButton, {220, 80, 300, 110}, u"OK"});
    }
    void OnInit() override { SetItems(1003, {u"一", u"二"}); }
    void OnCommand(int id, int notify) override {
        if (id != 1) return Dialog::OnCommand(id, notify);
        End(Text(1001) == u"ユウ" ? 42 : 0);
    }
};

TEST_F(RealWindow, MessageBoxesAndDialogsTakeTheirAnswersFromTheKeyboard) {
    Frames(2);
    EXPECT_EQ(AnswerWith(SDL_SCANCODE_RETURN,
                         [&] { return layer.MessageBox(u"終了", u"終了してもよろしいですか？", kMbYesNo | 0x100); }),
              kIdNo)
        << "Return answers the default button, the second one here";
    // The program's own message boxes appear in the window while it is open.
    EXPECT_EQ(AnswerWith(SDL_SCANCODE_ESCAPE, [] { return ShowMessage(u"エラー", u"初期化に失敗しました。", kMbOk); }),
              kIdOk);
    NameDialog dialog, cancelled;
    EXPECT_EQ(AnswerWith(SDL_SCANCODE_RETURN, [&] { return layer.RunDialog(dialog); }), 42);
    EXPECT_EQ(AnswerWith(SDL_SCANCODE_ESCAPE, [&] { return layer.RunDialog(cancelled); }), 2);
    EXPECT_TRUE(Commands().empty()) << "keys of a modal box do not reach the game";
}

// Asks before it overwrites: Yes ends it with 5, No leaves it open.
class OverwriteDialog : public host::Dialog {
public:
    explicit OverwriteDialog(host::ModalUi& modal) : Dialog(u"セーブ", 400, 300), modal_(modal) {
        Add({1021, host::ControlKind::ListBox, {10, 10, 390, 200}});
        Add({2, host::ControlKind::Button, {200, 250, 290, 280}, u"ｷｬﾝｾﾙ"});
        Add({1, host::ControlKind::DefaultButton, {300, 250, 390, 280}, u"セーブ"});
    }
    void OnCommand(int id, int notify) override {
        if (id != 1 || notify != host::kNotifyClicked) return Dialog::OnCommand(id, notify);
        if (nested) {
            modal_.RunDialog(*nested);
            return;
        }
        answers.push_back(
            modal_.MessageBox(u"上書き", u"1番のデータに上書きしてもよろしいですか？", kMbYesNo | kMbIconQuestion));
        if (answers.back() == kIdYes) End(5);
    }
    std::vector<int> answers;
    host::Dialog* nested = nullptr;  // when set, OK opens this dialog instead of asking

private:
    host::ModalUi& modal_;
};

// Test steps run from the layer's frame hook, inside the modals' own loops: one step a frame,
// each waiting until its condition holds and the window has settled for a few frames.
class HookScript {
public:
    struct Step {
        std::function<bool()> ready;
        std::function<void()> act;
    };
    explicit HookScript(std::vector<Step> steps) : steps_(std::move(steps)) {}
    void operator()() {
        // A script stuck on a step throws out of the modal's run (which the layer lets through),
        // so the test fails instead of hanging.
        if (++frames_ == 600) throw std::runtime_error("stuck at step " + std::to_string(next_));
        if (next_ >= steps_.size()) return;
        if (!steps_[next_].ready()) {
            settled_ = 0;
            return;
        }
        if (++settled_ < 4) return;
        settled_ = 0;
        steps_[next_++].act();
    }
    std::size_t done() const { return next_; }

private:
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    int settled_ = 0, frames_ = 0;
};

bool Bluish(std::uint32_t rgb) { return (rgb & 0xFF) > ((rgb >> 16) & 0xFF) + 30; }
SDL_Point Inside(const SDL_Rect& r) { return {r.x + 4, r.y + r.h / 2}; }
// A click just inside the left edge of a rectangle, pushed at once: the layer holds a button
// that went down and up between two frames down for one frame.
void PushClick(const SDL_Rect& r) {
    const SDL_Point at = Inside(r);
    for (Uint32 type : {SDL_MOUSEMOTION, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) PushMouse(type, at.x, at.y);
}

TEST_F(RealWindow, ABoxOverADialogIsDrawnOverItAndTakesTheInputUntilAnswered) {
    Frames(2);
    OverwriteDialog dialog(layer);
    SDL_Rect save{}, cancel{};
    std::uint32_t no_pixel = 0, save_pixel = 0;
    std::size_t depth_after_cancel_click = 0, depth_after_no = 0;
    bool open_after_cancel_click = false;
    auto shown = [&](std::size_t depth, int button) {
        return layer.ModalDepth() == depth && layer.ModalButtonRects().count(button) != 0;
    };
    HookScript script({
        {[&] { return shown(1, 1); },
         [&] {
             save = layer.ModalButtonRects().at(1);
             cancel = layer.ModalButtonRects().at(2);
             PushClick(save);
         }},
        {[&] { return shown(2, kIdNo); },
         [&] {
             // The box's button shows where the dialog's list lies beneath it; the dialog's own
             // buttons, outside the box, are still drawn.
             no_pixel = ServerPixel(Inside(layer.ModalButtonRects().at(kIdNo)).x,
                                    Inside(layer.ModalButtonRects().at(kIdNo)).y);
             save_pixel = ServerPixel(Inside(save).x, Inside(save).y);
             // Beneath the box the dialog takes no input: not a click, not Escape.
             PushClick(cancel);
             PushKey(SDL_SCANCODE_ESCAPE, true);
         }},
        {[&] { return shown(2, kIdNo); },
         [&] {
             depth_after_cancel_click = layer.ModalDepth();
             open_after_cancel_click = !dialog.ended();
             PushKey(SDL_SCANCODE_ESCAPE, false);
             PushClick(layer.ModalButtonRects().at(kIdNo));
         }},
        {[&] { return shown(1, 1); },
         [&] {
             depth_after_no = layer.ModalDepth();
             PushKey(SDL_SCANCODE_ESCAPE, true);  // released after the run
         }},
    });
    layer.SetFrameHook(std::ref(script));
    const std::intptr_t result = layer.RunDialog(dialog);
    layer.SetFrameHook(nullptr);
    PushKey(SDL_SCANCODE_ESCAPE, false);
    EXPECT_EQ(script.done(), 4u);
    EXPECT_TRUE(Bluish(no_pixel)) << std::hex << no_pixel << ": the box is drawn over the dialog";
    EXPECT_TRUE(Bluish(save_pixel)) << std::hex << save_pixel << ": the dialog beneath is drawn";
    EXPECT_EQ(depth_after_cancel_click, 2u) << "a click on the dialog beneath the box did nothing";
    EXPECT_TRUE(open_after_cancel_click) << "neither did Escape";
    EXPECT_EQ(dialog.answers, std::vector<int>{kIdNo});
    EXPECT_EQ(depth_after_no, 1u) << "No leaves the dialog open";
    EXPECT_EQ(result, 2) << "then Escape cancels it";
    EXPECT_EQ(layer.ModalDepth(), 0u);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(RealWindow, AskedToEndTheProgramEveryOpenModalIsAnsweredTopFirst) {
    Frames(2);
    OverwriteDialog dialog(layer);
    HookScript script({
        {[&] { return layer.ModalButtonRects().count(1) != 0; }, [&] { PushClick(layer.ModalButtonRects().at(1)); }},
        {[&] { return layer.ModalDepth() == 2; },
         [] {
             SDL_Event quit{};
             quit.type = SDL_QUIT;
             Push(quit);
         }},
    });
    layer.SetFrameHook(std::ref(script));
    const std::intptr_t result = layer.RunDialog(dialog);
    layer.SetFrameHook(nullptr);
    EXPECT_EQ(script.done(), 2u);
    EXPECT_EQ(dialog.answers, std::vector<int>{kIdNo}) << "the box took its last answer";
    EXPECT_EQ(result, 2) << "then the dialog beneath was cancelled";
    EXPECT_EQ(layer.ModalDepth(), 0u);
    Drain(window);
}

// Its button throws, as a dialog class does when the save database fails.
class FailingDialog : public host::Dialog {
public:
    FailingDialog() : Dialog(u"セーブ", 300, 120) {
        Add({1, host::ControlKind::DefaultButton, {200, 80, 290, 110}, u"OK"});
    }
    void OnCommand(int id, int notify) override {
        if (id == 1 && notify == host::kNotifyClicked) throw std::runtime_error("save failed");
        Dialog::OnCommand(id, notify);
    }
};

TEST_F(RealWindow, AnExceptionFromADialogReachesTheCallerAndTheLayerGoesOn) {
    Frames(2);
    FailingDialog failing;
    OverwriteDialog beneath(layer);
    beneath.nested = &failing;  // its OK opens the failing dialog over it
    HookScript script({
        {[&] { return layer.ModalDepth() == 1 && layer.ModalButtonRects().count(1); },
         [] { PushKey(SDL_SCANCODE_RETURN, true); }},
        {[] { return true; }, [] { PushKey(SDL_SCANCODE_RETURN, false); }},
        {[&] { return layer.ModalDepth() == 2 && layer.ModalButtonRects().count(1); },
         [] { PushKey(SDL_SCANCODE_RETURN, true); }},
    });
    layer.SetFrameHook(std::ref(script));
    try {
        layer.RunDialog(beneath);
        ADD_FAILURE() << "the exception was lost";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "save failed");
    }
    layer.SetFrameHook(nullptr);
    EXPECT_EQ(layer.ModalDepth(), 0u);
    PushKey(SDL_SCANCODE_RETURN, false);
    Frames(2);
    NameDialog next;
    EXPECT_EQ(AnswerWith(SDL_SCANCODE_RETURN, [&] { return layer.RunDialog(next); }), 42) << "the next dialog runs";
    EXPECT_TRUE(Commands().empty());
}

// A comment box whose Return renames instead of accepting: OK with the focus in the box sends
// the focus to the list; OK elsewhere ends the dialog with 7.
class CommentDialog : public host::Dialog {
public:
    CommentDialog() : Dialog(u"ロード", 400, 240) {
        Add({1021, host::ControlKind::ListBox, {10, 10, 390, 150}});
        Add({1023, host::ControlKind::Edit, {10, 160, 390, 184}});
        Add({1, host::ControlKind::DefaultButton, {300, 200, 390, 230}, u"OK"});
    }
    void OnCommand(int id, int notify) override {
        heard.push_back({id, notify});
        if (id != 1 || notify != host::kNotifyClicked) return Dialog::OnCommand(id, notify);
        if (focused() == 1023) {
            Focus(1021);
            return;
        }
        End(7);
    }
    std::vector<std::pair<int, int>> heard;
};

TEST_F(RealWindow, EditBoxesHearTheFocusComeAndGoAroundReturnAndClicks) {
    Frames(2);
    CommentDialog dialog;
    HookScript script({
        {[&] { return layer.ModalButtonRects().count(1023) != 0; },
         [&] { PushClick(layer.ModalButtonRects().at(1023)); }},
        {[&] { return dialog.focused() == 1023; }, [&] { PushKey(SDL_SCANCODE_RETURN, true); }},
        {[] { return true; }, [&] { PushKey(SDL_SCANCODE_RETURN, false); }},
        {[&] { return dialog.focused() == 1021; }, [&] { PushClick(layer.ModalButtonRects().at(1)); }},
    });
    layer.SetFrameHook(std::ref(script));
    const std::intptr_t result = layer.RunDialog(dialog);
    layer.SetFrameHook(nullptr);
    EXPECT_EQ(script.done(), 4u);
    EXPECT_EQ(result, 7);
    using host::kNotifyClicked, host::kNotifyKillFocus, host::kNotifySetFocus;
    EXPECT_EQ(dialog.heard,
              (std::vector<std::pair<int, int>>{
                  {1023, kNotifySetFocus}, {1, kNotifyClicked}, {1023, kNotifyKillFocus}, {1, kNotifyClicked}}))
        << "the click into the box, Return there, the focus sent to the list, then OK";
}

// The leftmost and rightmost dark (text) pixels found in a row of text.
struct Ink {
    int left = -1, right = -1;
    int width() const { return right < 0 ? 0 : right - left + 1; }
};

TEST_F(RealWindow, ListAndComboItemsAreShownAsTheyAreWithAmpersandsAndHashes) {
    Frames(2);
    const std::u16string amps(16, u'&'), hashes(14, u'#');
    const std::vector<std::u16string> items{u"A", u"&", u"#", u"A" + amps, u"A##" + hashes};
    class ListDialog : public host::Dialog {
    public:
        explicit ListDialog(std::vector<std::u16string> items) : Dialog(u"一覧", 400, 240), items_(std::move(items)) {
            Add({1003, host::ControlKind::ListBox, {10, 10, 390, 180}});
            Add({1004, host::ControlKind::ComboBox, {10, 190, 390, 214}});
        }
        void OnInit() override {
            SetItems(1003, items_);
            SetItems(1004, {items_.back()});
            SetSelection(1004, 0);
        }

    private:
        std::vector<std::u16string> items_;
    } dialog(items);
    // The dark (text) pixels across the middle rows of a rectangle, up to `right` (exclusive).
    auto measure = [&](const SDL_Rect& r, int right) {
        Ink ink;
        for (int y = r.y + r.h / 2 - 1; y <= r.y + r.h / 2 + 1; ++y)
            for (int x = r.x; x < right; ++x) {
                const std::uint32_t p = ServerPixel(x, y);
                if (((p >> 16) & 0xFF) >= 0x80 || ((p >> 8) & 0xFF) >= 0x80 || (p & 0xFF) >= 0x80) continue;
                if (ink.left < 0 || x < ink.left) ink.left = x;
                ink.right = std::max(ink.right, x);
            }
        return ink;
    };
    std::vector<Ink> ink(items.size());
    Ink combo;
    HookScript script({{[&] { return layer.ListItemRects().size() == items.size(); },
                        [&] {
                            for (std::size_t i = 0; i < items.size(); ++i) {
                                const SDL_Rect r = layer.ListItemRects().at({1003, static_cast<int>(i)});
                                ink[i] = measure(r, r.x + r.w);
                            }
                            // The closed combo box, left of its arrow (a square of its height).
                            const SDL_Rect r = layer.ModalButtonRects().at(1004);
                            combo = measure(r, r.x + r.w - r.h);
                            PushKey(SDL_SCANCODE_ESCAPE, true);  // released after the run
                        }}});
    layer.SetFrameHook(std::ref(script));
    layer.RunDialog(dialog);
    layer.SetFrameHook(nullptr);
    PushKey(SDL_SCANCODE_ESCAPE, false);
    ASSERT_EQ(script.done(), 1u);
    ASSERT_GT(ink[0].width(), 0);
    ASSERT_GT(ink[1].width(), 0);
    ASSERT_GT(ink[2].width(), 0);
    // Sixteen glyphs past the "A" take more than twelve of their own ink widths: "&&" is not
    // one '&' and "##" hides nothing.
    EXPECT_GT(ink[3].right - ink[0].right, 12 * ink[1].width()) << "A + 16 x '&'";
    EXPECT_GT(ink[4].right - ink[0].right, 12 * ink[2].width()) << "A + 16 x '#'";
    EXPECT_GT(combo.width(), ink[0].width() + 12 * ink[2].width()) << "the combo box's choice, A + 16 x '#'";
}

// The save/load dialog's message boxes, recorded on their way to the window's modal layer.
class RecordingModal : public host::ModalUi {
public:
    explicit RecordingModal(host::ModalUi& inner) : inner_(inner) {}
    int MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) override {
        captions.emplace_back(caption);
        return inner_.MessageBox(caption, text, style);
    }
    std::intptr_t RunDialog(host::Dialog& dialog) override { return inner_.RunDialog(dialog); }
    std::vector<std::u16string> captions;

private:
    host::ModalUi& inner_;
};

// UTF-8 typed as the input method hands it over.
void PushText(const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::snprintf(e.text.text, sizeof e.text.text, "%s", utf8);
    Push(e);
}

TEST_F(RealWindow, SaveDialogAsksOverItselfBeforeOverwritingOrDeletingAndSavesAJapaneseComment) {
    testsupport::TempFolder folder("qb_saveload_xvfb");
    const std::u16string saved_folder = SettingsFolders.settings_folder;
    SettingsFolders.settings_folder = folder.Path("");
    const ScopeExit restore([&] { SettingsFolders.settings_folder = saved_folder; });
    {
        const DatabaseScope scope = OpenSaveDatabase();
        CreateSaveSchema();
    }
    ASSERT_EQ(SaveSlot(1, u"古い"), 1);
    Frames(2);
    RecordingModal modal(layer);
    // The dialog's boxes go through the report hook, as the program's window sink sends them.
    host::ModalReportSink sink(modal);
    const ScopedReportSink report(&sink);
    SaveLoadDialog dialog(SaveLoadDialog::kSaveMode, 0);
    auto dialog_ready = [&] { return layer.ModalDepth() == 1 && layer.ModalButtonRects().count(1) != 0; };
    auto box_ready = [&] { return layer.ModalDepth() == 2 && layer.ModalButtonRects().count(kIdNo) != 0; };
    std::uint32_t no_pixel = 0;
    bool open_after_no = false, kept_after_delete_no = false;
    HookScript script({
        // Slot 1 is flagged and chosen: saving over it asks first, over the dialog.
        {dialog_ready, [&] { PushClick(layer.ModalButtonRects().at(1)); }},
        {box_ready,
         [&] {
             const SDL_Point at = Inside(layer.ModalButtonRects().at(kIdNo));
             no_pixel = ServerPixel(at.x, at.y);
             PushClick(layer.ModalButtonRects().at(kIdNo));
         }},
        {dialog_ready,
         [&] {
             open_after_no = !dialog.ended();
             PushClick(layer.ModalButtonRects().at(SaveLoadDialog::kDeleteButton));
         }},
        {box_ready, [&] { PushClick(layer.ModalButtonRects().at(kIdNo)); }},
        {[&] {
             return dialog_ready() && layer.ListItemRects().count({SaveLoadDialog::kSlotList, 2}) != 0;
         },
         [&] {
             kept_after_delete_no = SlotExists(1);
             PushClick(layer.ListItemRects().at({SaveLoadDialog::kSlotList, 2}));
         }},
        {[&] { return dialog.Selection(SaveLoadDialog::kSlotList) == 2; },
         [&] { PushClick(layer.ModalButtonRects().at(SaveLoadDialog::kCommentEdit)); }},
        {[&] { return dialog.focused() == SaveLoadDialog::kCommentEdit; },
         [] {
             // 20 characters, 40 CP932 bytes: the field keeps the first 32 bytes.
             PushText("日本語のコメントです");
             PushText("日本語のコメントです");
         }},
        {[&] { return dialog.Text(SaveLoadDialog::kCommentEdit).size() == 16; },
         [&] { PushClick(layer.ModalButtonRects().at(1)); }},
    });
    layer.SetFrameHook(std::ref(script));
    const std::intptr_t result = layer.RunDialog(dialog);
    layer.SetFrameHook(nullptr);
    EXPECT_EQ(script.done(), 8u);
    EXPECT_EQ(result, 2);
    EXPECT_TRUE(Bluish(no_pixel)) << std::hex << no_pixel << ": the box is drawn over the dialog";
    EXPECT_TRUE(open_after_no) << "No keeps the dialog open";
    EXPECT_TRUE(kept_after_delete_no) << "deleting asks first";
    EXPECT_EQ(modal.captions, (std::vector<std::u16string>{u"上書き", u"削除"}));
    EXPECT_EQ(Utf16ToUtf8(ReadSlotRecord(1).value.comment), "古い");
    EXPECT_EQ(Utf16ToUtf8(ReadSlotRecord(3).value.comment), "日本語のコメントです日本語のコメ");
    EXPECT_EQ(layer.ModalDepth(), 0u);
    EXPECT_TRUE(Commands().empty());
}

// The part of the application's procedure that the frame step's quit relies on.
class ClosingFrame : public DxDraw::DxFrame {
public:
    std::intptr_t WindowProc(const host::WindowMessage& m) override {
        if (m.message == host::kMsgClose) {
            if (ShowMessage(u"終了", u"終了してもよろしいですか？", kMbYesNo | kMbIconQuestion) == kIdYes)
                QuitRequested = 1;
            return 0;
        }
        std::intptr_t result = DxFrame::WindowProc(m);
        if (m.message == host::kMsgActivateApp) AppActive = static_cast<std::int32_t>(IsActive());
        return result;
    }
};

TEST_F(RealWindow, FrameStepDrawsTheViewTreeAndCloseAsksBeforeQuitting) {
    ClosingFrame frame;
    ScopedRuntime runtime(*platform, {.frame = &frame});
    {
        DxDraw::DxScreenSurface* screen = &runtime.screen();
        ComPtr<DxDraw::DxSurface> box = DxDraw::CreateSurface(32);
        box->SetSize(40, 30);
        box->FillRect(nullptr, 0x20C040, 255);
        auto* sprite = new DxDraw::DxSprite(box.Get());
        sprite->SetPosition(500, 400);
        screen->Add(sprite);

        WaitFrames(10, 0);
        SDL_Rect picture = window.PictureRect();
        EXPECT_EQ(ServerPixel(picture.x + 510, picture.y + 410), 0x20C040u);
        EXPECT_EQ(ServerPixel(picture.x + 100, picture.y + 100), 0x000000u);

        // Close: the box appears inside the frame step; Return answers its default, Yes.
        PushWindowEvent(window, SDL_WINDOWEVENT_CLOSE);
        PushKey(SDL_SCANCODE_RETURN, true);
        try {
            WaitClick();
            ADD_FAILURE() << "the frame step did not quit";
        } catch (const ExceptionHandle& e) {
            EXPECT_EQ(e.type, 1u);
            EXPECT_EQ(std::u16string(e.message), u"Quit");
        }
    }
}

}  // namespace
