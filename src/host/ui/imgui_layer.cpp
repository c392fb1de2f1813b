#include "host/ui/imgui_layer.h"

#include <backends/imgui_impl_sdl.h>
#include <backends/imgui_impl_sdlrenderer.h>
#include <fontconfig/fontconfig.h>
#include <imgui.h>

#include <algorithm>

#include "host/video/scancodes.h"
#include "lib/report_hook.h"
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

struct BoxButtons {
    int answers[3];
    const char* labels[3];
    int count;
};

BoxButtons ButtonsFor(unsigned style) {
    switch (style & kMbButtonMask) {
        case kMbOkCancel: return {{kIdOk, kIdCancel}, {"OK", "キャンセル"}, 2};
        case kMbAbortRetryIgnore: return {{kIdAbort, kIdRetry, kIdIgnore}, {"中止(A)", "再試行(R)", "無視(I)"}, 3};
        case kMbYesNoCancel: return {{kIdYes, kIdNo, kIdCancel}, {"はい(Y)", "いいえ(N)", "キャンセル"}, 3};
        case kMbYesNo: return {{kIdYes, kIdNo}, {"はい(Y)", "いいえ(N)"}, 2};
        default: return {{kIdOk}, {"OK"}, 1};
    }
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
    ReleasePictures();
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
    if (event.type == SDL_QUIT && ModalOpen()) {
        // The program is asked to end: the open box takes its last answer (No, Cancel or OK)
        // and the open dialog is cancelled, so that the quit the window queues reaches the game.
        if (box_) box_->answer = ButtonsFor(box_->style).answers[ButtonsFor(box_->style).count - 1];
        if (Dialog* dialog = dialog_)
            after_frame_.push_back([dialog] {
                dialog->Cancel();
                if (!dialog->ended()) dialog->End(-1);
            });
    }
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
    if (window_.MenuBarShown() && !menu_.popups().empty()) DrawMenuBar();
    if (box_) DrawMessageBox();
    if (dialog_) DrawDialog();
    menu_popup_open_ = ImGui::IsPopupOpen(nullptr, ImGuiPopupFlags_AnyPopupId | ImGuiPopupFlags_AnyPopupLevel);
    wants_mouse_ = io.WantCaptureMouse && !ModalOpen() && window_.MenuBarShown();
    UpdateTextInput();
    ImGui::Render();
    ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
    if (settle_frames_ > 0) --settle_frames_;

    // What the player did in this frame takes effect now, outside the drawing.
    auto actions = std::move(after_frame_);
    after_frame_.clear();
    for (auto& action : actions) {
        if (dialog_ && dialog_->ended()) break;
        action();
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

void ImGuiLayer::DrawMessageBox() {
    SDL_Rect picture = window_.PictureRect();
    ImGui::SetNextWindowPos(ImVec2(picture.x + picture.w * 0.5f, picture.y + picture.h * 0.5f), ImGuiCond_Always,
                            ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowFocus();
    std::string title = box_->caption + "##messagebox";
    ImGui::Begin(title.c_str(), nullptr,
                 ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                     ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings);
    ImGui::PushTextWrapPos(picture.w * 0.8f);
    ImGui::TextUnformatted(box_->text.c_str());
    ImGui::PopTextWrapPos();
    ImGui::Spacing();
    BoxButtons buttons = ButtonsFor(box_->style);
    int default_index = (box_->style & kMbDefaultButton2) && buttons.count > 1 ? 1 : 0;
    for (int i = 0; i < buttons.count; ++i) {
        if (i) ImGui::SameLine();
        // The default button (the one Return answers) is framed, as the platform marks it.
        ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, i == default_index ? 1.0f : 0.0f);
        if (ImGui::Button(buttons.labels[i], ImVec2(96, 0))) box_->answer = buttons.answers[i];
        ImGui::PopStyleVar();
        button_rects_[buttons.answers[i]] = ItemRect();
    }
    if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter)) ||
        ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_KeyPadEnter)))
        box_->answer = buttons.answers[default_index];
    if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape))) {
        // Escape answers only a box that can be cancelled or just acknowledged; a yes/no box needs a choice.
        for (int i = 0; i < buttons.count; ++i)
            if (buttons.answers[i] == kIdCancel) box_->answer = kIdCancel;
        if (buttons.count == 1) box_->answer = kIdOk;
    }
    ImGui::End();
}

void ImGuiLayer::DrawDialog() {
    SDL_Rect picture = window_.PictureRect();
    float title = ImGui::GetFrameHeight();
    ImGui::SetNextWindowPos(ImVec2(picture.x + picture.w * 0.5f, picture.y + picture.h * 0.5f), ImGuiCond_Always,
                            ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(static_cast<float>(dialog_->width()), dialog_->height() + title));
    std::string caption = Label(dialog_->caption()) + "##dialog";
    bool open = true;
    ImGui::Begin(caption.c_str(), &open,
                 ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoScrollbar);
    for (Control& control : dialog_->controls()) {
        if (!control.visible) continue;
        ImGui::SetCursorPos(ImVec2(static_cast<float>(control.rect.left), control.rect.top + title));
        ImGui::BeginDisabled(!control.enabled);
        DrawControl(control);
        ImGui::EndDisabled();
    }
    bool typing = ImGui::IsAnyItemActive();
    Dialog* dialog = dialog_;
    if (!open || ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape)))
        after_frame_.push_back([dialog] { dialog->Cancel(); });
    else if (!typing && ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter)))
        after_frame_.push_back([dialog] { dialog->Accept(); });
    ImGui::End();
}

void ImGuiLayer::DrawControl(Control& control) {
    Dialog* dialog = dialog_;
    const int id = control.id;
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
            auto& [texture, version] = pictures_[id];
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
            if (ImGui::Button(label.c_str(), size)) after_frame_.push_back([dialog, id] { dialog->Click(id); });
            button_rects_[id] = ItemRect();
            break;
        case ControlKind::CheckBox: {
            bool checked = control.check != 0;
            if (ImGui::Checkbox(label.c_str(), &checked)) after_frame_.push_back([dialog, id] { dialog->Click(id); });
            button_rects_[id] = ItemRect();
            break;
        }
        case ControlKind::RadioButton:
            if (ImGui::RadioButton(label.c_str(), control.check != 0))
                after_frame_.push_back([dialog, id] { dialog->Click(id); });
            button_rects_[id] = ItemRect();
            break;
        case ControlKind::Edit: {
            std::string& buffer = edit_buffers_[id];
            if (edit_versions_[id] != control.version || buffer.empty()) {
                buffer = Utf16ToUtf8(control.text);
                edit_versions_[id] = control.version;
            }
            buffer.resize(std::max(buffer.size(), control.max_length * 3 + 1), '\0');
            ImGui::SetNextItemWidth(size.x);
            if (ImGui::InputText(tag.c_str(), buffer.data(), buffer.size())) {
                std::u16string text = Utf8ToUtf16(buffer.c_str());
                after_frame_.push_back([dialog, id, text] { dialog->Type(id, text); });
            }
            if (ImGui::IsItemActive()) focused_edit_ = ItemRect();
            break;
        }
        case ControlKind::ListBox:
            if (ImGui::BeginListBox(tag.c_str(), size)) {
                for (int i = 0; i < static_cast<int>(control.items.size()); ++i) {
                    std::string item = Label(control.items[i]) + "##i" + std::to_string(i);
                    if (ImGui::Selectable(item.c_str(), control.selection == i,
                                          ImGuiSelectableFlags_AllowDoubleClick)) {
                        bool twice = ImGui::IsMouseDoubleClicked(0);
                        after_frame_.push_back([dialog, id, i, twice] { dialog->Choose(id, i, twice); });
                    }
                }
                ImGui::EndListBox();
            }
            break;
        case ControlKind::ComboBox: {
            std::string preview = control.selection >= 0 && control.selection < static_cast<int>(control.items.size())
                                      ? Label(control.items[control.selection])
                                      : std::string();
            ImGui::SetNextItemWidth(size.x);
            if (ImGui::BeginCombo(tag.c_str(), preview.c_str())) {
                for (int i = 0; i < static_cast<int>(control.items.size()); ++i) {
                    std::string item = Label(control.items[i]) + "##i" + std::to_string(i);
                    if (ImGui::Selectable(item.c_str(), control.selection == i))
                        after_frame_.push_back([dialog, id, i] { dialog->Choose(id, i); });
                }
                ImGui::EndCombo();
            }
            break;
        }
        case ControlKind::Slider: {
            int position = control.position;
            ImGui::SetNextItemWidth(size.x);
            if (ImGui::SliderInt(tag.c_str(), &position, control.minimum, control.maximum))
                after_frame_.push_back([dialog, id, position] { dialog->Slide(id, position); });
            break;
        }
    }
}

void ImGuiLayer::RunModal(const std::function<bool()>& done) {
    // The game picture stays as it was; only the modal layer moves until it is answered.
    while (!done()) {
        window_.PumpEvents();
        window_.Redraw();
        window_.SleepToDeadline();
    }
    settle_frames_ = 3;
    window_.Redraw();
}

int ImGuiLayer::MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) {
    if (ModalOpen()) return ButtonsFor(style).answers[0];  // a box from inside a box: never stacked
    box_ = MessageBoxState{Utf16ToUtf8(caption), Utf16ToUtf8(text), style, 0};
    RunModal([this] { return box_->answer != 0; });
    int answer = box_->answer;
    box_.reset();
    return answer;
}

std::intptr_t ImGuiLayer::RunDialog(Dialog& dialog) {
    if (ModalOpen()) return -1;
    dialog_ = &dialog;
    dialog.OnInit();
    RunModal([&dialog] { return dialog.ended(); });
    dialog_ = nullptr;
    after_frame_.clear();
    edit_buffers_.clear();
    edit_versions_.clear();
    ReleasePictures();
    return dialog.result();
}

void ImGuiLayer::UpdateTextInput() {
    if (focused_edit_) {
        SDL_SetTextInputRect(&*focused_edit_);
        if (!SDL_IsTextInputActive()) SDL_StartTextInput();
    } else if (SDL_IsTextInputActive()) {
        SDL_StopTextInput();
    }
}

void ImGuiLayer::ReleasePictures() {
    for (auto& [id, picture] : pictures_)
        if (picture.first) SDL_DestroyTexture(picture.first);
    pictures_.clear();
}

}  // namespace host
