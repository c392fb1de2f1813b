#include "host/ui/imgui_layer.h"

#include <backends/imgui_impl_sdl.h>
#include <backends/imgui_impl_sdlrenderer.h>
#include <fontconfig/fontconfig.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>

#include "host/video/scancodes.h"
#include "lib/report_hook.h"
#include "lib/scope_guard.h"
#include "lib/text.h"

namespace host {
namespace {

constexpr float kFontPixels = 16.0f;

// Resource labels mark the access key with '&' ("終了(&X)"); ImGui shows none, "&&" is one '&'.
std::string Label(std::u16string_view text) {
    std::u16string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        plain += text[i];
    }
    return Utf16ToUtf8(plain);
}

std::string FindJapaneseFace() {
    std::string path;
    if (!FcInit()) return path;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("IPAGothic:lang=ja"));
    if (!pattern) return path;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
            path = reinterpret_cast<const char*>(file);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return path;
}

SDL_Rect ItemRect() {
    ImVec2 a = ImGui::GetItemRectMin(), b = ImGui::GetItemRectMax();
    return SDL_Rect{static_cast<int>(a.x), static_cast<int>(a.y), static_cast<int>(b.x - a.x),
                    static_cast<int>(b.y - a.y)};
}

const char* ButtonLabel(int answer) {
    switch (answer) {
        case kIdCancel: return "キャンセル";
        case kIdAbort: return "中止(A)";
        case kIdRetry: return "再試行(R)";
        case kIdIgnore: return "無視(I)";
        case kIdYes: return "はい(Y)";
        case kIdNo: return "いいえ(N)";
        default: return "OK";
    }
}

// Text drawn as it is, with none of ImGui's label rules ("##" ends a label): list and combo
// items are the program's data, not labels.
void DrawVerbatim(ImDrawList* list, ImVec2 at, const std::string& text, const ImVec4* clip = nullptr) {
    list->AddText(ImGui::GetFont(), ImGui::GetFontSize(), at, ImGui::GetColorU32(ImGuiCol_Text), text.data(),
                  text.data() + text.size(), 0.0f, clip);
}

}  // namespace

ImGuiLayer::ImGuiLayer(SdlWindow& window, MenuModel& menu) : window_(window), menu_(menu) {
    IMGUI_CHECKVERSION();
    context_ = ImGui::CreateContext();
    ImGui::SetCurrentContext(context_);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    std::string face = FindJapaneseFace();
    // The menu and the dialogs draw their text on whole pixels: horizontal oversampling would
    // only triple the rasterising of some three thousand glyphs before the first frame shows.
    ImFontConfig config;
    config.OversampleH = 1;
    config.PixelSnapH = true;
    if (face.empty() ||
        !io.Fonts->AddFontFromFileTTF(face.c_str(), kFontPixels, &config, io.Fonts->GetGlyphRangesJapanese()))
        io.Fonts->AddFontDefault();
    ImGui::StyleColorsLight();
    ImGui_ImplSDL2_InitForSDLRenderer(window_.sdl_window());
    ImGui_ImplSDLRenderer_Init(window_.renderer());
    menu_bar_height_ = static_cast<int>(kFontPixels + ImGui::GetStyle().FramePadding.y * 2 + 0.5f);
    window_.SetOverlay(this);
}

ImGuiLayer::~ImGuiLayer() {
    window_.SetOverlay(nullptr);
    views_.clear();
    ImGui::SetCurrentContext(context_);
    ImGui_ImplSDLRenderer_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext(context_);
}

bool ImGuiLayer::HandleEvent(const SDL_Event& event) {
    ImGui::SetCurrentContext(context_);
    ImGui_ImplSDL2_ProcessEvent(&event);
    switch (event.type) {
        case SDL_MOUSEMOTION:
            pointer_x_ = event.motion.x;
            pointer_y_ = event.motion.y;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            pointer_x_ = event.button.x;
            pointer_y_ = event.button.y;
            int i = event.button.button == SDL_BUTTON_LEFT ? 0 : event.button.button == SDL_BUTTON_RIGHT ? 1 : 2;
            pointer_down_[i] = event.type == SDL_MOUSEBUTTONDOWN;
            if (pointer_down_[i]) pointer_clicked_[i] = true;
            break;
        }
        default: break;
    }
    if (event.type != SDL_WINDOWEVENT) settle_frames_ = 3;

    bool input = event.type == SDL_KEYDOWN || event.type == SDL_KEYUP || event.type == SDL_TEXTINPUT ||
                 event.type == SDL_MOUSEMOTION || event.type == SDL_MOUSEBUTTONDOWN ||
                 event.type == SDL_MOUSEBUTTONUP || event.type == SDL_MOUSEWHEEL ||
                 (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) ||
                 event.type == SDL_QUIT;
    // The program is asked to end: every open box takes its last answer (No, Cancel or OK) and
    // every open dialog is cancelled, top first, so that the quit the window queues reaches the game.
    if (event.type == SDL_QUIT) stack_.RequestQuit();
    if (ModalOpen()) return input;

    if (event.type == SDL_KEYDOWN && !event.key.repeat) {
        SDL_Keymod mod = static_cast<SDL_Keymod>(event.key.keysym.mod);
        std::uint8_t code = ScanCodeFromSdl(event.key.keysym.scancode);
        if (auto command = menu_.TranslateAccelerator(code, mod & KMOD_CTRL, mod & KMOD_ALT, mod & KMOD_SHIFT)) {
            window_.PostMessage({kMsgCommand, static_cast<std::uintptr_t>(*command), 0, {}});
            return true;
        }
    }
    bool pointer_event = event.type == SDL_MOUSEMOTION || event.type == SDL_MOUSEBUTTONDOWN ||
                         event.type == SDL_MOUSEBUTTONUP || event.type == SDL_MOUSEWHEEL;
    return pointer_event && (menu_popup_open_ || wants_mouse_) && event.type != SDL_MOUSEMOTION;
}

bool ImGuiLayer::Animating() const { return ModalOpen() || menu_popup_open_ || settle_frames_ > 0; }

bool ImGuiLayer::CapturesKeyboard() const { return ModalOpen() || menu_popup_open_; }

bool ImGuiLayer::CapturesMouse() const { return ModalOpen() || menu_popup_open_ || wants_mouse_; }

void ImGuiLayer::Draw() {
    ImGui::SetCurrentContext(context_);
    ImGui_ImplSDLRenderer_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGuiIO& io = ImGui::GetIO();
    io.MousePos = ImVec2(static_cast<float>(pointer_x_), static_cast<float>(pointer_y_));
    for (int i = 0; i < 3; ++i) {
        io.MouseDown[i] = pointer_down_[i] || pointer_clicked_[i];
        pointer_clicked_[i] = false;
    }
    ImGui::NewFrame();
    focused_edit_.reset();
    popup_rects_.clear();
    item_rects_.clear();
    button_rects_.clear();
    list_item_rects_.clear();
    if (window_.MenuBarShown() && !menu_.popups().empty()) DrawMenuBar();
    SyncViews();
    for (std::size_t depth = 0; depth < stack_.depth(); ++depth) {
        OpenModal& modal = stack_.at(depth);
        const bool top = depth + 1 == stack_.depth();
        if (modal.dialog)
            DrawDialog(*modal.dialog, *views_[depth], top, depth);
        else
            DrawMessageBox(modal, top, depth);
        views_[depth]->was_top = top;
    }
    menu_popup_open_ = ImGui::IsPopupOpen(nullptr, ImGuiPopupFlags_AnyPopupId | ImGuiPopupFlags_AnyPopupLevel);
    wants_mouse_ = io.WantCaptureMouse && !ModalOpen() && window_.MenuBarShown();
    UpdateTextInput();
    ImGui::Render();
    ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
    if (settle_frames_ > 0) --settle_frames_;

    // What the player did in this frame takes effect now, outside the drawing. An action may
    // run further modals (nested calls) or throw; the actions after one that ended the top
    // dialog are dropped.
    auto actions = std::move(after_frame_);
    after_frame_.clear();
    Dialog* dialog = ModalOpen() ? stack_.top().dialog : nullptr;
    for (auto& action : actions) {
        if (dialog && dialog->ended()) break;
        action();
    }
    if (frame_hook_) frame_hook_();
}

ImGuiLayer::ModalView::~ModalView() {
    for (auto& [id, picture] : pictures)
        if (picture.first) SDL_DestroyTexture(picture.first);
}

void ImGuiLayer::SyncViews() {
    views_.resize(std::min(views_.size(), stack_.depth()));
    for (std::size_t depth = 0; depth < stack_.depth(); ++depth) {
        if (depth == views_.size()) views_.push_back(nullptr);
        if (!views_[depth] || views_[depth]->serial != stack_.at(depth).serial) {
            views_[depth] = std::make_unique<ModalView>();
            views_[depth]->serial = stack_.at(depth).serial;
        }
    }
}

void ImGuiLayer::DrawMenuBar() {
    if (!ImGui::BeginMainMenuBar()) return;
    int index = 0;
    for (const MenuItem& popup : menu_.popups()) {
        std::string label = Label(popup.label) + "##top" + std::to_string(index++);
        bool open = ImGui::BeginMenu(label.c_str(), !popup.grayed);
        popup_rects_.push_back(ItemRect());
        if (open) {
            DrawMenuItems(popup.children);
            ImGui::EndMenu();
        }
    }
    ImGui::EndMainMenuBar();
}

void ImGuiLayer::DrawMenuItems(const std::vector<MenuItem>& items) {
    int index = 0;
    for (const MenuItem& item : items) {
        ++index;
        switch (item.kind) {
            case MenuItem::Kind::Separator: ImGui::Separator(); break;
            case MenuItem::Kind::Popup: {
                std::string label = Label(item.label) + "##sub" + std::to_string(index);
                if (ImGui::BeginMenu(label.c_str(), !item.grayed)) {
                    DrawMenuItems(item.children);
                    ImGui::EndMenu();
                }
                break;
            }
            case MenuItem::Kind::Command: {
                std::string label = Label(item.label) + "##" + std::to_string(item.command);
                bool picked = ImGui::MenuItem(label.c_str(), nullptr, item.checked, !item.grayed);
                item_rects_[item.command] = ItemRect();
                if (picked) {
                    int command = item.command;
                    after_frame_.push_back([this, command] {
                        window_.PostMessage({kMsgCommand, static_cast<std::uintptr_t>(command), 0, {}});
                    });
                }
                break;
            }
        }
    }
}

void ImGuiLayer::DrawMessageBox(OpenModal& box, bool top, std::size_t depth) {
    SDL_Rect picture = window_.PictureRect();
    ImGui::SetNextWindowPos(ImVec2(picture.x + picture.w * 0.5f, picture.y + picture.h * 0.5f), ImGuiCond_Always,
                            ImVec2(0.5f, 0.5f));
    ImGuiWindowFlags flags = ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                             ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings;
    if (top)
        ImGui::SetNextWindowFocus();
    else
        flags |= ImGuiWindowFlags_NoInputs | ImGuiWindowFlags_NoBringToFrontOnFocus;
    std::string title = Utf16ToUtf8(box.caption) + "##messagebox" + std::to_string(depth);
    ImGui::Begin(title.c_str(), nullptr, flags);
    ImGui::PushTextWrapPos(picture.w * 0.8f);
    ImGui::TextUnformatted(Utf16ToUtf8(box.text).c_str());
    ImGui::PopTextWrapPos();
    ImGui::Spacing();
    const std::span<const int> answers = BoxAnswers(box.style);
    const std::size_t default_index = (box.style & kMbDefaultButton2) && answers.size() > 1 ? 1 : 0;
    int answer = 0;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        if (i) ImGui::SameLine();
        // The default button (the one Return answers) is framed, as the platform marks it.
        ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, i == default_index ? 1.0f : 0.0f);
        std::string label = std::string(ButtonLabel(answers[i])) + "##" + std::to_string(answers[i]);
        if (ImGui::Button(label.c_str(), ImVec2(96, 0))) answer = answers[i];
        ImGui::PopStyleVar();
        if (top) button_rects_[answers[i]] = ItemRect();
    }
    if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter)) ||
        ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_KeyPadEnter)))
        answer = answers[default_index];
    if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape))) {
        // Escape answers only a box that can be cancelled or just acknowledged; a yes/no box needs a choice.
        for (int a : answers)
            if (a == kIdCancel) answer = kIdCancel;
        if (answers.size() == 1) answer = kIdOk;
    }
    if (top && answer && !box.answer) box.answer = answer;
    ImGui::End();
}

void ImGuiLayer::DrawDialog(Dialog& dialog, ModalView& view, bool top, std::size_t depth) {
    SDL_Rect picture = window_.PictureRect();
    float title = ImGui::GetFrameHeight();
    ImGui::SetNextWindowPos(ImVec2(picture.x + picture.w * 0.5f, picture.y + picture.h * 0.5f), ImGuiCond_Always,
                            ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(static_cast<float>(dialog.width()), dialog.height() + title));
    ImGuiWindowFlags flags = ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                             ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoScrollbar;
    // A dialog under another modal is drawn but takes no input; the top one comes to the front
    // when it opens or when what was over it closes.
    if (!top) flags |= ImGuiWindowFlags_NoInputs | ImGuiWindowFlags_NoBringToFrontOnFocus;
    if (top && !view.was_top) ImGui::SetNextWindowFocus();
    std::string caption = Label(dialog.caption()) + "##dialog" + std::to_string(depth);
    bool open = true;
    ImGui::Begin(caption.c_str(), &open, flags);
    // Focus moved by the dialog class (or by a click the last frame) is given to ImGui once.
    const bool focus_moved = top && dialog.focused() != view.focus_seen;
    for (Control& control : dialog.controls()) {
        if (!control.visible) continue;
        ImGui::SetCursorPos(ImVec2(static_cast<float>(control.rect.left), control.rect.top + title));
        ImGui::BeginDisabled(!control.enabled);
        DrawControl(dialog, view, control, top, focus_moved);
        ImGui::EndDisabled();
    }
    if (top) {
        view.focus_seen = dialog.focused();
        bool typing = ImGui::IsAnyItemActive();
        Dialog* d = &dialog;
        if (!open || ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape)))
            after_frame_.push_back([d] { d->Cancel(); });
        else if (!typing && ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter)))
            after_frame_.push_back([d] { d->Accept(); });
    }
    ImGui::End();
}

void ImGuiLayer::DrawControl(Dialog& dialog, ModalView& view, Control& control, bool top, bool focus_moved) {
    Dialog* d = &dialog;
    const int id = control.id;
    // Only the top modal's controls act; the ones beneath are pictures of themselves.
    auto act = [&](std::function<void()> action) {
        if (top) after_frame_.push_back(std::move(action));
    };
    // The platform gives a control the focus when the pointer goes down on it.
    auto focus_on_press = [&] {
        if (ImGui::IsItemActivated()) act([d, id] { d->Focus(id); });
    };
    const ImVec2 size(static_cast<float>(control.rect.width()), static_cast<float>(control.rect.height()));
    std::string tag = "##c" + std::to_string(id);
    std::string label = Label(control.text) + tag;
    switch (control.kind) {
        case ControlKind::Static: {
            ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + size.x);
            ImGui::TextUnformatted(Label(control.text).c_str());
            ImGui::PopTextWrapPos();
            break;
        }
        case ControlKind::Picture: {
            auto& [texture, version] = view.pictures[id];
            if (texture && version != control.version) {
                SDL_DestroyTexture(texture);
                texture = nullptr;
            }
            if (!texture && control.picture_width > 0 && control.picture_height > 0 &&
                control.pixels.size() >= static_cast<std::size_t>(control.picture_width) * control.picture_height) {
                texture = SDL_CreateTexture(window_.renderer(), SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                            control.picture_width, control.picture_height);
                if (texture) {
                    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
                    SDL_UpdateTexture(texture, nullptr, control.pixels.data(), control.picture_width * 4);
                }
                version = control.version;
            }
            if (texture) ImGui::Image(static_cast<ImTextureID>(texture), size);
            break;
        }
        case ControlKind::Button:
        case ControlKind::DefaultButton:
            if (ImGui::Button(label.c_str(), size)) act([d, id] { d->Click(id); });
            focus_on_press();
            if (top) button_rects_[id] = ItemRect();
            break;
        case ControlKind::CheckBox: {
            bool checked = control.check != 0;
            if (ImGui::Checkbox(label.c_str(), &checked)) act([d, id] { d->Click(id); });
            focus_on_press();
            if (top) button_rects_[id] = ItemRect();
            break;
        }
        case ControlKind::RadioButton:
            if (ImGui::RadioButton(label.c_str(), control.check != 0)) act([d, id] { d->Click(id); });
            focus_on_press();
            if (top) button_rects_[id] = ItemRect();
            break;
        case ControlKind::Edit: {
            std::string& buffer = view.edit_buffers[id];
            if (view.edit_versions[id] != control.version || buffer.empty()) {
                buffer = Utf16ToUtf8(control.text);
                view.edit_versions[id] = control.version;
            }
            buffer.resize(std::max(buffer.size(), control.max_length * 3 + 1), '\0');
            ImGui::SetNextItemWidth(size.x);
            const bool active_before = ImGui::GetActiveID() == ImGui::GetID(tag.c_str());
            if (focus_moved && dialog.focused() == id && !active_before) ImGui::SetKeyboardFocusHere();
            if (ImGui::InputText(tag.c_str(), buffer.data(), buffer.size())) {
                std::u16string text = Utf8ToUtf16(buffer.c_str());
                act([d, id, text] { d->Type(id, text); });
            }
            focus_on_press();
            if (top) button_rects_[id] = ItemRect();
            if (focus_moved && dialog.focused() != id && ImGui::IsItemActive()) {
                ImGui::ClearActiveID();  // the dialog class moved the focus away while it was typed into
            } else if (top && ImGui::IsItemActive()) {
                focused_edit_ = ItemRect();
            }
            break;
        }
        case ControlKind::ListBox:
            if (ImGui::BeginListBox(tag.c_str(), size)) {
                DrawItems(dialog, control, top, true);
                ImGui::EndListBox();
            }
            break;
        case ControlKind::ComboBox: {
            // The choice shown in the closed box is drawn by hand, as it is, left of the arrow.
            ImDrawList* list = ImGui::GetWindowDrawList();
            const ImVec2 at = ImGui::GetCursorScreenPos();
            const ImVec2 padding = ImGui::GetStyle().FramePadding;
            const ImVec4 clip(at.x, at.y, at.x + size.x - ImGui::GetFrameHeight(), at.y + ImGui::GetFrameHeight());
            if (top)
                button_rects_[id] = SDL_Rect{static_cast<int>(at.x), static_cast<int>(at.y), static_cast<int>(size.x),
                                             static_cast<int>(ImGui::GetFrameHeight())};
            ImGui::SetNextItemWidth(size.x);
            const bool open = ImGui::BeginCombo(tag.c_str(), "");
            if (control.selection >= 0 && control.selection < static_cast<int>(control.items.size()))
                DrawVerbatim(list, ImVec2(at.x + padding.x, at.y + padding.y),
                             Utf16ToUtf8(control.items[control.selection]), &clip);
            if (open) {
                DrawItems(dialog, control, top, false);
                ImGui::EndCombo();
            }
            break;
        }
        case ControlKind::Slider: {
            int position = control.position;
            bool moved = false;
            if (control.vertical) {
                // ImGui puts a vertical slider's maximum at the top, the platform's trackbar its
                // minimum: the value is turned over on the way in and out. No number is drawn on
                // a bar too narrow to hold one.
                int shown = control.maximum + control.minimum - position;
                moved = ImGui::VSliderInt(tag.c_str(), size, &shown, control.minimum, control.maximum, "");
                position = control.maximum + control.minimum - shown;
            } else {
                ImGui::SetNextItemWidth(size.x);
                moved = ImGui::SliderInt(tag.c_str(), &position, control.minimum, control.maximum);
            }
            if (moved) act([d, id, position] { d->Slide(id, position); });
            focus_on_press();
            if (top) button_rects_[id] = ItemRect();
            break;
        }
    }
}

void ImGuiLayer::DrawItems(Dialog& dialog, Control& control, bool top, bool double_clicks) {
    Dialog* d = &dialog;
    const int id = control.id;
    const float height = ImGui::GetTextLineHeight();
    for (int i = 0; i < static_cast<int>(control.items.size()); ++i) {
        ImGui::PushID(i);
        const ImVec2 at = ImGui::GetCursorScreenPos();
        const bool picked = ImGui::Selectable(
            "##item", control.selection == i,
            double_clicks ? ImGuiSelectableFlags_AllowDoubleClick : ImGuiSelectableFlags_None, ImVec2(0, height));
        DrawVerbatim(ImGui::GetWindowDrawList(), at, Utf16ToUtf8(control.items[i]));
        if (top) {
            list_item_rects_[{id, i}] = ItemRect();
            if (ImGui::IsItemActivated()) after_frame_.push_back([d, id] { d->Focus(id); });
            if (picked) {
                const bool twice = double_clicks && ImGui::IsMouseDoubleClicked(0);
                after_frame_.push_back([d, id, i, twice] { d->Choose(id, i, twice); });
            }
        }
        ImGui::PopID();
    }
}

void ImGuiLayer::RunModal(OpenModal& modal) {
    // The game picture stays as it was; only the modal layer moves until it is answered.
    auto done = [&modal] {
        if (!modal.dialog) return modal.answer != 0;
        return ModalStack::HonourQuit(modal) || modal.dialog->ended();
    };
    while (!done()) {
        window_.PumpEvents();
        window_.Redraw();
        window_.SleepToDeadline();
    }
    settle_frames_ = 3;
    window_.Redraw();
}

int ImGuiLayer::MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) {
    return stack_.MessageBox(caption, text, style, [this](OpenModal& box) {
        RunModal(box);
        return box.answer;
    });
}

std::intptr_t ImGuiLayer::RunDialog(Dialog& dialog) {
    // However the run ends, what the window kept of the dialog goes with it (its pictures), and
    // no action of its frames is left to run on it.
    ScopeExit forget([this] {
        views_.resize(std::min(views_.size(), stack_.depth()));
        after_frame_.clear();
    });
    return stack_.RunDialog(dialog, [this](OpenModal& modal) { RunModal(modal); });
}

void ImGuiLayer::UpdateTextInput() {
    if (focused_edit_) {
        SDL_SetTextInputRect(&*focused_edit_);
        if (!SDL_IsTextInputActive()) SDL_StartTextInput();
    } else if (SDL_IsTextInputActive()) {
        SDL_StopTextInput();
    }
}

}  // namespace host
