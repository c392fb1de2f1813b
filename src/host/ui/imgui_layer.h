// Dear ImGui over the SDL window: the menu bar, modal message boxes and modal dialogs, drawn
// with a Japanese face over the frozen game picture. Picks and control actions are collected
// while a frame is drawn and carried out after it: a menu pick becomes a command message in
// the window's queue, a control action a call of the dialog class.
#pragma once

#include <SDL.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/ui/dialog.h"
#include "host/ui/menu.h"
#include "host/video/sdl_window.h"

struct ImGuiContext;

namespace host {

class ImGuiLayer final : public SdlWindow::Overlay, public ModalUi {
public:
    ImGuiLayer(SdlWindow& window, MenuModel& menu);
    ~ImGuiLayer() override;
    ImGuiLayer(const ImGuiLayer&) = delete;
    ImGuiLayer& operator=(const ImGuiLayer&) = delete;

    bool HandleEvent(const SDL_Event& event) override;
    void Draw() override;
    bool Animating() const override;
    bool CapturesKeyboard() const override;
    bool CapturesMouse() const override;
    int MenuBarHeight() const override { return menu_bar_height_; }

    int MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) override;
    std::intptr_t RunDialog(Dialog& dialog) override;

    // Where the menu bar's top-level popups lie, in window pixels (for tests that click them).
    const std::vector<SDL_Rect>& PopupLabelRects() const { return popup_rects_; }
    // Where the items of the open popup lie, by command id, in window pixels.
    const std::map<int, SDL_Rect>& OpenItemRects() const { return item_rects_; }
    // Where the buttons of the open message box or dialog lie, by answer or control id.
    const std::map<int, SDL_Rect>& ModalButtonRects() const { return button_rects_; }

private:
    struct MessageBoxState {
        std::string caption, text;
        unsigned style = 0;
        int answer = 0;
    };

    void DrawMenuBar();
    void DrawMenuItems(const std::vector<MenuItem>& items);
    void DrawMessageBox();
    void DrawDialog();
    void DrawControl(Control& control);
    void RunModal(const std::function<bool()>& done);
    void ReleasePictures();
    // Text input (and so the input method) is on only while an edit box has focus, with the
    // input method's rectangle at that box; otherwise Return and Space stay plain keys.
    void UpdateTextInput();
    bool ModalOpen() const { return box_.has_value() || dialog_ != nullptr; }

    SdlWindow& window_;
    MenuModel& menu_;
    ImGuiContext* context_ = nullptr;
    int menu_bar_height_ = 0;
    bool menu_popup_open_ = false;
    bool wants_mouse_ = false;
    int settle_frames_ = 0;  // frames still to draw after an event, so hover and clicks settle
    // Taken from the tracked pointer, not from the global X pointer, so synthesised events work.
    int pointer_x_ = -1, pointer_y_ = -1;
    bool pointer_down_[3] = {};
    bool pointer_clicked_[3] = {};

    std::optional<MessageBoxState> box_;
    Dialog* dialog_ = nullptr;
    std::vector<std::function<void()>> after_frame_;
    std::map<int, std::string> edit_buffers_;
    std::map<int, std::uint64_t> edit_versions_;
    std::optional<SDL_Rect> focused_edit_;  // the edit box being typed into this frame
    std::map<int, std::pair<SDL_Texture*, std::uint64_t>> pictures_;

    std::vector<SDL_Rect> popup_rects_;
    std::map<int, SDL_Rect> item_rects_;
    std::map<int, SDL_Rect> button_rects_;
};

}  // namespace host
