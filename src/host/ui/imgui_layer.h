// Dear ImGui over the SDL window: the menu bar, modal message boxes and modal dialogs, drawn
// with a Japanese face over the frozen game picture. The modals stack (host/ui/modal_stack.h):
// all are drawn, bottom first, and only the top one takes input. Picks and control actions are
// collected while a frame is drawn and carried out after it: a menu pick becomes a command
// message in the window's queue, a control action a call of the dialog class (which may open
// further modals, or throw: the exception leaves the modal's run and goes on to its caller).
#pragma once

#include <SDL.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/ui/dialog.h"
#include "host/ui/menu.h"
#include "host/ui/modal_stack.h"
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
    // Where the buttons (and edit, list and combo boxes, sliders and pictures shown) of the top
    // message box or dialog lie, by answer or control id.
    const std::map<int, SDL_Rect>& ModalButtonRects() const { return button_rects_; }
    // Where the items of the top dialog's list boxes (and open combo box) lie, by control id
    // and item index.
    const std::map<std::pair<int, int>, SDL_Rect>& ListItemRects() const { return list_item_rects_; }
    // Each label of the top dialog: the width its text needs on one line (with a check box's or
    // radio button's mark, or a button's frame) and the width it is laid out in, in pixels.
    // For a button, also the width of its text alone.
    struct LabelFit {
        std::u16string text;
        int needed = 0, width = 0;
        bool button = false;
        int text_width = 0;
    };
    const std::vector<LabelFit>& LabelFits() const { return label_fits_; }
    // Where the top message box, its text and its icon lie, in window pixels (an empty icon
    // when its style names none).
    struct BoxGeometry {
        SDL_Rect box{}, text{}, icon{};
    };
    const BoxGeometry& TopBox() const { return top_box_; }
    // How many modals are open.
    std::size_t ModalDepth() const { return stack_.depth(); }
    // Called after every frame the layer draws, outside the drawing, also inside a modal's run:
    // tests look at the window and push their input from it.
    void SetFrameHook(std::function<void()> hook) { frame_hook_ = std::move(hook); }

private:
    // What the window keeps of one open modal between frames.
    struct ModalView {
        ModalView() = default;
        ModalView(const ModalView&) = delete;
        ModalView& operator=(const ModalView&) = delete;
        ~ModalView();

        std::uint64_t serial = 0;  // the modal it belongs to
        bool was_top = false;
        int focus_seen = 0;         // the dialog's focus as of the last frame
        bool list_dropped = false;  // a combo box's list is dropped down in this frame
        std::map<int, std::string> edit_buffers;
        std::map<int, std::uint64_t> edit_versions;
        std::map<int, std::pair<SDL_Texture*, std::uint64_t>> pictures;
        // Each list's scroll as last drawn, and the selection it last brought into view.
        std::map<int, float> list_scrolls;
        std::map<int, std::uint64_t> reveals_seen;
    };

    // Keys the modals and the menu answer: a box's letters, a dialog's access keys and the
    // trackbar keys of its focused slider; the access keys of the menu bar and its open popup,
    // and Escape closing the popup. True when the menu took the key.
    void HandleModalKey(const SDL_KeyboardEvent& key);
    bool HandleMenuKey(const SDL_KeyboardEvent& key);
    // Opens the popup an access key asked for, just before it is drawn under `label`.
    void OpenIfAsked(const MenuItem& popup, const std::string& label);
    void DrawMenuBar();
    void DrawMenuItems(const std::vector<MenuItem>& items);
    void DrawMessageBox(OpenModal& box, bool top, std::size_t depth);
    void DrawDialog(Dialog& dialog, ModalView& view, bool top, std::size_t depth);
    void DrawControl(Dialog& dialog, ModalView& view, Control& control, bool top, bool focus_moved);
    void DrawItems(Dialog& dialog, Control& control, bool top, bool double_clicks);
    // Runs the window until the modal is answered or its dialog has ended.
    void RunModal(OpenModal& modal);
    // Keeps one view per open modal, made afresh for a modal it has not seen at that depth.
    void SyncViews();
    // Text input (and so the input method) is on only while an edit box has focus, with the
    // input method's rectangle at that box; otherwise Return and Space stay plain keys.
    void UpdateTextInput();
    bool ModalOpen() const { return !stack_.empty(); }

    SdlWindow& window_;
    MenuModel& menu_;
    ImGuiContext* context_ = nullptr;
    int menu_bar_height_ = 0;
    bool menu_popup_open_ = false;
    bool close_menu_ = false;  // every open popup closes at the next frame
    // The items of the innermost popup drawn last, and the popup a key asked to open next; each
    // valid only while the menu model has not changed since.
    const std::vector<MenuItem>* open_items_ = nullptr;
    std::uint64_t open_items_version_ = 0;
    const MenuItem* open_next_ = nullptr;
    std::uint64_t open_next_version_ = 0;
    bool swallow_text_ = false;  // the text of the key just taken as an access key is dropped
    bool composing_ = false;     // the input method shows a composition (not yet in the box)
    bool wants_mouse_ = false;
    int settle_frames_ = 0;  // frames still to draw after an event, so hover and clicks settle
    // Taken from the tracked pointer, not from the global X pointer, so synthesised events work.
    int pointer_x_ = -1, pointer_y_ = -1;
    bool pointer_down_[3] = {};
    bool pointer_clicked_[3] = {};

    ModalStack stack_;
    std::vector<std::unique_ptr<ModalView>> views_;  // by depth
    std::vector<std::function<void()>> after_frame_;
    std::optional<SDL_Rect> focused_edit_;  // the edit box being typed into this frame
    std::function<void()> frame_hook_;

    std::vector<SDL_Rect> popup_rects_;
    std::map<int, SDL_Rect> item_rects_;
    std::map<int, SDL_Rect> button_rects_;
    std::map<std::pair<int, int>, SDL_Rect> list_item_rects_;
    std::vector<LabelFit> label_fits_;
    BoxGeometry top_box_;
};

}  // namespace host
