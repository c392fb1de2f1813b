// The real window on a (virtual) X server, run under xvfb-run: what is presented reaches the
// server's pixels below the menu bar, full screen scales the picture and comes back, the menu
// bar turns a click into a command message, message boxes and dialogs take their answers from
// the keyboard, and the frame step draws a view tree there and asks in a real message box
// before it quits on close.
#include <SDL.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "../host/sdl_events.h"
#include "../host/ui/x11_pixels.h"
#include "app/frame_step.h"
#include "app/runtime.h"
#include "dxdraw/dxsprite.h"
#include "dxdraw/frame_window.h"
#include "dxdraw/screen_surface.h"
#include "host/ui/host.h"
#include "host/ui/imgui_layer.h"
#include "host/video/scancodes.h"
#include "host/video/sdl_window.h"
#include "lib/error.h"
#include "lib/report.h"
#include "lib/report_hook.h"

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
