#include "host/ui/imgui_layer.h"

#include <backends/imgui_impl_sdl.h>
#include <backends/imgui_impl_sdlrenderer.h>
#include <fontconfig/fontconfig.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <utility>

#include "host/ui/access_key.h"
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

// The key's letter or digit as an access key names it (upper case); 0 for any other key.
char16_t KeyCharacter(const SDL_Keysym& key) {
    if (key.mod & KMOD_CTRL) return 0;
    if (key.sym >= SDLK_a && key.sym <= SDLK_z) return static_cast<char16_t>(u'A' + (key.sym - SDLK_a));
    if (key.sym >= SDLK_0 && key.sym <= SDLK_9) return static_cast<char16_t>(key.sym);
    return 0;
}

void SetModifiers(Uint16 mod) {
    ImGuiIO& io = ImGui::GetIO();
    io.KeyCtrl = (mod & KMOD_CTRL) != 0;
    io.KeyShift = (mod & KMOD_SHIFT) != 0;
    io.KeyAlt = (mod & KMOD_ALT) != 0;
    io.KeySuper = (mod & KMOD_GUI) != 0;
}

// The step a trackbar takes for a key, none for other keys.
std::optional<SliderStep> TrackbarStep(SDL_Keycode key) {
    switch (key) {
        case SDLK_LEFT:
        case SDLK_UP: return SliderStep::LineUp;
        case SDLK_RIGHT:
        case SDLK_DOWN: return SliderStep::LineDown;
        case SDLK_PAGEUP: return SliderStep::PageUp;
        case SDLK_PAGEDOWN: return SliderStep::PageDown;
        case SDLK_HOME: return SliderStep::Top;
        case SDLK_END: return SliderStep::Bottom;
        default: return std::nullopt;
    }
}

// The step a list box takes for a key, none for other keys.
std::optional<ListStep> ListKeyStep(SDL_Keycode key) {
    switch (key) {
        case SDLK_UP: return ListStep::LineUp;
        case SDLK_DOWN: return ListStep::LineDown;
        case SDLK_PAGEUP: return ListStep::PageUp;
        case SDLK_PAGEDOWN: return ListStep::PageDown;
        case SDLK_HOME: return ListStep::First;
        case SDLK_END: return ListStep::Last;
        default: return std::nullopt;
    }
}

// Text drawn as it is, with none of ImGui's label rules ("##" ends a label): list and combo
// items are the program's data, not labels.
void DrawVerbatim(ImDrawList* list, ImVec2 at, const std::string& text, const ImVec4* clip = nullptr,
                  const ImVec4& colour = ImGui::GetStyleColorVec4(ImGuiCol_Text)) {
    list->AddText(ImGui::GetFont(), ImGui::GetFontSize(), at, ImGui::GetColorU32(colour), text.data(),
                  text.data() + text.size(), 0.0f, clip);
}

// An edit box being typed into refuses, as the player types or pastes, what it cannot keep, so
// that what it shows is what the dialog gets.
struct EditLimits {
    const Control* control;
    const char* before;  // the text as the dialog last had it
};

int KeepWhatFits(ImGuiInputTextCallbackData* data) {
    if (data->EventFlag != ImGuiInputTextFlags_CallbackEdit) return 0;
    const EditLimits& limits = *static_cast<const EditLimits*>(data->UserData);
    const std::u16string after = Utf8ToUtf16(std::string_view(data->Buf, static_cast<std::size_t>(data->BufTextLen)));
    std::size_t cursor = 0;
    const std::u16string kept = FitEditChange(*limits.control, Utf8ToUtf16(limits.before), after, &cursor);
    if (kept == after) return 0;
    const std::string text = Utf16ToUtf8(kept);
    data->DeleteChars(0, data->BufTextLen);
    data->InsertChars(0, text.data(), text.data() + text.size());
    data->CursorPos = static_cast<int>(Utf16ToUtf8(std::u16string_view(kept).substr(0, cursor)).size());
    data->SelectionStart = data->SelectionEnd = data->CursorPos;
    return 0;
}

// A message box: the margin round its icon, text and buttons, and the room between them.
constexpr float kBoxMargin = 16.0f;
constexpr float kIconSize = 32.0f;
constexpr float kIconGap = 12.0f;
constexpr float kTextToButtons = 16.0f;
constexpr float kButtonGap = 8.0f;
constexpr float kBoxButtonWidth = 88.0f;
constexpr float kBoxButtonHeight = 26.0f;
// The widest the text runs before it wraps, as a share of the picture's width.
constexpr float kBoxTextShare = 0.6f;
// Room left and right of a button's label, inside its frame.
constexpr float kLabelMargin = 8.0f;

// The room between a list's lines, half above and half below each line's text.
constexpr float kListLineGap = 4.0f;

// The height of a list's line, and how many whole lines the list shows: it is a whole number of
// lines high, so that scrolled to either end it cuts no line in half.
float ListPitch() { return ImGui::GetTextLineHeight() + kListLineGap; }
int ListLinesShown(const Control& list) {
    return std::max(1, static_cast<int>(std::floor(static_cast<float>(list.rect.height()) / ListPitch())));
}

// Where the next window begins scrolled to, from its first frame on (a list's child window keeps
// its scroll from one dialog to the next, and a target set inside it would show a frame late).
void SetNextWindowScrollY(float y) {
    ImGuiContext& g = *ImGui::GetCurrentContext();
    g.NextWindowData.Flags |= ImGuiNextWindowDataFlags_HasScroll;
    g.NextWindowData.ScrollVal = ImVec2(-1.0f, y);
}

// A box's icon, our own drawing of the four kinds: a red disc with a cross for an error, a blue
// one with "?" for a question and with "i" for a notice, a yellow triangle with "!" for a warning.
void DrawBoxIcon(ImDrawList* list, unsigned kind, ImVec2 centre) {
    const float r = kIconSize / 2;
    const ImU32 white = IM_COL32(255, 255, 255, 255);
    const auto mark = [&](const char* glyph, ImU32 colour, float dy) {
        const float size = kIconSize * 0.75f;
        const ImVec2 extent = ImGui::GetFont()->CalcTextSizeA(size, FLT_MAX, 0.0f, glyph);
        list->AddText(ImGui::GetFont(), size, ImVec2(centre.x - extent.x / 2, centre.y - extent.y / 2 + dy), colour,
                      glyph);
    };
    switch (kind) {
        case kMbIconStop: {
            list->AddCircleFilled(centre, r, IM_COL32(208, 40, 40, 255), 32);
            const float d = r * 0.45f;
            list->AddLine(ImVec2(centre.x - d, centre.y - d), ImVec2(centre.x + d, centre.y + d), white, 3.5f);
            list->AddLine(ImVec2(centre.x - d, centre.y + d), ImVec2(centre.x + d, centre.y - d), white, 3.5f);
            break;
        }
        case kMbIconExclamation:
            list->AddTriangleFilled(ImVec2(centre.x, centre.y - r), ImVec2(centre.x + r, centre.y + r * 0.85f),
                                    ImVec2(centre.x - r, centre.y + r * 0.85f), IM_COL32(240, 192, 24, 255));
            mark("!", IM_COL32(40, 32, 0, 255), r * 0.15f);
            break;
        case kMbIconQuestion:
            list->AddCircleFilled(centre, r, IM_COL32(40, 100, 210, 255), 32);
            mark("?", white, 0.0f);
            break;
        default:
            list->AddCircleFilled(centre, r, IM_COL32(40, 100, 210, 255), 32);
            mark("i", white, 0.0f);
            break;
    }
}

// The selected line of a list is filled solid with light text on it; the line under the pointer
// only tinted, so that the pointer passing over the list never looks like a choice.
const ImVec4 kSelectedLine(0.26f, 0.59f, 0.98f, 1.0f);
const ImVec4 kHoveredLine(0.26f, 0.59f, 0.98f, 0.18f);
const ImVec4 kSelectedText(1.0f, 1.0f, 1.0f, 1.0f);

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
    // While the input method shows a composition the keys are its own: the Return that confirms
    // a conversion does not press the dialog's default button, nor does a Backspace that edits
    // the composition take a character from the box.
    if (event.type == SDL_TEXTEDITING) composing_ = event.edit.text[0] != '\0';
    if (event.type == SDL_TEXTINPUT) composing_ = false;
    if (event.type == SDL_KEYDOWN && composing_) return true;
    // A key that answered as an access key is not typed into an edit box as well.
    if (event.type == SDL_TEXTINPUT && std::exchange(swallow_text_, false)) return true;
    if (event.type == SDL_KEYDOWN) swallow_text_ = false;
    ImGui_ImplSDL2_ProcessEvent(&event);
    // The backend takes the modifiers as SDL holds them now, after every waiting event was
    // pumped: the keys of a Ctrl+A tapped within a frame would all read as without Ctrl. A key
    // event carries the modifiers it was made with.
    if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) SetModifiers(event.key.keysym.mod);
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
    if (ModalOpen()) {
        if (event.type == SDL_KEYDOWN) HandleModalKey(event.key);
        return input;
    }

    if (event.type == SDL_KEYDOWN && !event.key.repeat) {
        SDL_Keymod mod = static_cast<SDL_Keymod>(event.key.keysym.mod);
        std::uint8_t code = ScanCodeFromSdl(event.key.keysym.scancode);
        if (auto command = menu_.TranslateAccelerator(code, mod & KMOD_CTRL, mod & KMOD_ALT, mod & KMOD_SHIFT)) {
            window_.PostMessage({kMsgCommand, static_cast<std::uintptr_t>(*command), 0, {}});
            return true;
        }
        if (HandleMenuKey(event.key)) return true;
    }
    bool pointer_event = event.type == SDL_MOUSEMOTION || event.type == SDL_MOUSEBUTTONDOWN ||
                         event.type == SDL_MOUSEBUTTONUP || event.type == SDL_MOUSEWHEEL;
    return pointer_event && (menu_popup_open_ || wants_mouse_) && event.type != SDL_MOUSEMOTION;
}

void ImGuiLayer::HandleModalKey(const SDL_KeyboardEvent& key) {
    OpenModal& top = stack_.top();
    const char16_t letter = KeyCharacter(key.keysym);
    if (!top.dialog) {
        // A box's buttons answer their letters, with Alt or without.
        if (const int answer = BoxAnswerForKey(top.style, letter); answer && !key.repeat && !top.answer) {
            top.answer = answer;
            swallow_text_ = true;
        }
        return;
    }
    Dialog* d = top.dialog;
    const Control* focused = d->focused() ? d->Find(d->focused()) : nullptr;
    // A focused list moves its selection with the list keys, held keys repeating.
    if (const auto step = ListKeyStep(key.keysym.sym); step && focused && focused->kind == ControlKind::ListBox) {
        after_frame_.push_back(
            [d, id = focused->id, step = *step, lines = ListLinesShown(*focused)] { d->StepList(id, step, lines); });
        return;
    }
    // A focused slider steps with the trackbar's keys, held keys repeating.
    if (const auto step = TrackbarStep(key.keysym.sym)) {
        if (focused && focused->kind == ControlKind::Slider)
            after_frame_.push_back([d, id = focused->id, step = *step] { d->StepSlider(id, step); });
        return;
    }
    const bool alt = (key.keysym.mod & KMOD_ALT) != 0;
    if (!key.repeat && d->AccessKeyTarget(letter, alt) != 0) {
        after_frame_.push_back([d, letter, alt] { d->PressAccessKey(letter, alt); });
        swallow_text_ = true;
    }
}

bool ImGuiLayer::HandleMenuKey(const SDL_KeyboardEvent& key) {
    if (!window_.MenuBarShown()) return false;
    const char16_t letter = KeyCharacter(key.keysym);
    const bool alt = (key.keysym.mod & KMOD_ALT) != 0;
    if (menu_popup_open_) {
        if (key.keysym.sym == SDLK_ESCAPE) {
            close_menu_ = true;
            return true;
        }
        // The items of the innermost open popup answer their letters, with Alt or without.
        const MenuItem* item = open_items_ && open_items_version_ == menu_.version()
                                   ? MenuModel::ItemForAccessKey(*open_items_, letter)
                                   : nullptr;
        if (item && item->kind == MenuItem::Kind::Command) {
            window_.PostMessage({kMsgCommand, static_cast<std::uintptr_t>(item->command), 0, {}});
            close_menu_ = true;
            return true;
        }
        if (item) {
            open_next_ = item;
            open_next_version_ = menu_.version();
            return true;
        }
    }
    // Alt and a letter open the menu bar's popup that marks it.
    if (alt && letter) {
        if (const MenuItem* popup = MenuModel::ItemForAccessKey(menu_.popups(), letter)) {
            open_next_ = popup;
            open_next_version_ = menu_.version();
            return true;
        }
    }
    return false;
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
    label_fits_.clear();
    top_box_ = {};
    open_items_ = nullptr;
    if (std::exchange(close_menu_, false) && !ModalOpen() && !ImGui::GetCurrentContext()->OpenPopupStack.empty())
        ImGui::ClosePopupToLevel(0, true);
    if (window_.MenuBarShown() && !menu_.popups().empty()) DrawMenuBar();
    open_next_ = nullptr;
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
        OpenIfAsked(popup, label);
        bool open = ImGui::BeginMenu(label.c_str(), !popup.grayed);
        popup_rects_.push_back(ItemRect());
        if (open) {
            DrawMenuItems(popup.children);
            ImGui::EndMenu();
        }
    }
    ImGui::EndMainMenuBar();
}

void ImGuiLayer::OpenIfAsked(const MenuItem& popup, const std::string& label) {
    if (&popup == open_next_ && open_next_version_ == menu_.version()) ImGui::OpenPopup(label.c_str());
}

void ImGuiLayer::DrawMenuItems(const std::vector<MenuItem>& items) {
    // Drawn after the popups that hold it: the last one drawn is the innermost open popup.
    open_items_ = &items;
    open_items_version_ = menu_.version();
    int index = 0;
    for (const MenuItem& item : items) {
        ++index;
        switch (item.kind) {
            case MenuItem::Kind::Separator: ImGui::Separator(); break;
            case MenuItem::Kind::Popup: {
                std::string label = Label(item.label) + "##sub" + std::to_string(index);
                OpenIfAsked(item, label);
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
    const ImGuiStyle& style = ImGui::GetStyle();
    const std::string text = Utf16ToUtf8(box.text);
    const unsigned icon = box.style & kMbIconMask;
    const bool has_icon =
        icon == kMbIconStop || icon == kMbIconQuestion || icon == kMbIconExclamation || icon == kMbIconInformation;
    const std::span<const int> answers = BoxAnswers(box.style);
    const std::size_t default_index = (box.style & kMbDefaultButton2) && answers.size() > 1 ? 1 : 0;

    // The box is laid out as the desktop's boxes are: the icon and the text within a margin, the
    // buttons, each as wide as its label needs with room inside, centred in a row under them.
    const ImVec2 text_size = ImGui::CalcTextSize(text.c_str(), nullptr, false, picture.w * kBoxTextShare);
    const float content_left = kBoxMargin + (has_icon ? kIconSize + kIconGap : 0.0f);
    const float content_height = std::max(text_size.y, has_icon ? kIconSize : 0.0f);
    std::vector<std::string> labels;
    std::vector<float> widths;
    float row = 0;
    for (const int a : answers) {
        labels.push_back(Label(BoxButtonLabel(a)));
        widths.push_back(std::max(kBoxButtonWidth, ImGui::CalcTextSize(labels.back().c_str()).x + 2 * kLabelMargin));
        row += widths.back() + (row > 0 ? kButtonGap : 0.0f);
    }
    const float title = ImGui::GetFrameHeight();
    const float width = std::ceil(std::max(content_left + text_size.x, kBoxMargin + row) + kBoxMargin);
    const float buttons_top = title + kBoxMargin + content_height + kTextToButtons;
    const float height = std::ceil(buttons_top + kBoxButtonHeight + kBoxMargin);

    ImGui::SetNextWindowPos(ImVec2(picture.x + picture.w * 0.5f, picture.y + picture.h * 0.5f), ImGuiCond_Always,
                            ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(width, height));
    ImGuiWindowFlags flags = ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                             ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoScrollbar;
    if (top)
        ImGui::SetNextWindowFocus();
    else
        flags |= ImGuiWindowFlags_NoInputs | ImGuiWindowFlags_NoBringToFrontOnFocus;
    std::string caption = Utf16ToUtf8(box.caption) + "##messagebox" + std::to_string(depth);
    ImGui::Begin(caption.c_str(), nullptr, flags);
    const ImVec2 origin = ImGui::GetWindowPos();
    const float content_top = title + kBoxMargin;
    // The text stands level with the icon's middle when it is the shorter.
    const float text_top = content_top + (content_height - text_size.y) / 2;
    ImGui::SetCursorPos(ImVec2(content_left, text_top));
    ImGui::PushTextWrapPos(content_left + picture.w * kBoxTextShare);
    ImGui::TextUnformatted(text.c_str());
    ImGui::PopTextWrapPos();
    if (has_icon)
        DrawBoxIcon(ImGui::GetWindowDrawList(), icon,
                    ImVec2(origin.x + kBoxMargin + kIconSize / 2, origin.y + content_top + content_height / 2));
    if (top) {
        const auto at = [&](float x, float y, float w, float h) {
            return SDL_Rect{static_cast<int>(std::lround(origin.x + x)), static_cast<int>(std::lround(origin.y + y)),
                            static_cast<int>(std::lround(w)), static_cast<int>(std::lround(h))};
        };
        top_box_.box = at(0, 0, width, height);
        top_box_.text = at(content_left, text_top, text_size.x, text_size.y);
        top_box_.icon = has_icon ? at(kBoxMargin, content_top + (content_height - kIconSize) / 2, kIconSize, kIconSize)
                                 : SDL_Rect{};
    }
    int answer = 0;
    float x = std::floor((width - row) / 2);
    for (std::size_t i = 0; i < answers.size(); ++i) {
        ImGui::SetCursorPos(ImVec2(x, buttons_top));
        // The default button (the one Return answers) is framed, as the platform marks it.
        ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, i == default_index ? 1.0f : 0.0f);
        const std::string label = labels[i] + "##" + std::to_string(answers[i]);
        if (ImGui::Button(label.c_str(), ImVec2(widths[i], kBoxButtonHeight))) answer = answers[i];
        ImGui::PopStyleVar();
        if (top) {
            button_rects_[answers[i]] = ItemRect();
            const float text_width = ImGui::CalcTextSize(labels[i].c_str()).x;
            label_fits_.push_back({std::u16string(BoxButtonLabel(answers[i])),
                                   static_cast<int>(std::ceil(text_width + style.FramePadding.x * 2)),
                                   static_cast<int>(widths[i]), true, static_cast<int>(std::ceil(text_width))});
        }
        x += widths[i] + kButtonGap;
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
    view.list_dropped = false;
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
        if (!open || (!view.list_dropped && ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape))))
            after_frame_.push_back([d] { d->Cancel(); });
        else if (!typing && !view.list_dropped && ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter)))
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
    if (top && !control.text.empty() && control.kind != ControlKind::Edit) {
        const ImGuiStyle& style = ImGui::GetStyle();
        float needed = ImGui::CalcTextSize(Label(control.text).c_str()).x;
        if (control.kind == ControlKind::CheckBox || control.kind == ControlKind::RadioButton)
            needed += ImGui::GetFrameHeight() + style.ItemInnerSpacing.x;
        const bool button = control.kind == ControlKind::Button || control.kind == ControlKind::DefaultButton;
        const float text_width = needed;
        if (button) needed += style.FramePadding.x * 2;
        label_fits_.push_back({control.text, static_cast<int>(std::ceil(needed)), control.rect.width(), button,
                               static_cast<int>(std::ceil(text_width))});
    }
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
            if (texture && top) button_rects_[id] = ItemRect();
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
            const std::string before(buffer.c_str());
            EditLimits limits{&control, before.c_str()};
            ImGui::SetNextItemWidth(size.x);
            const bool active_before = ImGui::GetActiveID() == ImGui::GetID(tag.c_str());
            if (focus_moved && dialog.focused() == id && !active_before) ImGui::SetKeyboardFocusHere();
            if (ImGui::InputText(tag.c_str(), buffer.data(), buffer.size(), ImGuiInputTextFlags_CallbackEdit,
                                 KeepWhatFits, &limits)) {
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
        case ControlKind::ListBox: {
            // Lines tile the list from its top edge.
            const float pitch = ListPitch();
            const ImVec2 shown(size.x, static_cast<float>(ListLinesShown(control)) * pitch);
            // A list opens at its top, and a line just selected is brought into view, scrolled
            // as little as it takes; the player's own scrolling stays until then.
            const auto scrolled = view.list_scrolls.find(id);
            const bool fresh = scrolled == view.list_scrolls.end();
            if (fresh || view.reveals_seen[id] != control.reveal) {
                float scroll = fresh ? 0.0f : scrolled->second;
                if (control.selection >= 0) {
                    const float line_top = static_cast<float>(control.selection) * pitch;
                    scroll = std::clamp(scroll, line_top + pitch - shown.y, line_top);
                }
                SetNextWindowScrollY(scroll);
                // Known before the first frame has measured the lines, so that the scroll holds.
                ImGui::SetNextWindowContentSize(ImVec2(0.0f, static_cast<float>(control.items.size()) * pitch));
                view.reveals_seen[id] = control.reveal;
            }
            ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(ImGui::GetStyle().FramePadding.x, 0.0f));
            ImGui::PushStyleVar(ImGuiStyleVar_ItemSpacing, ImVec2(ImGui::GetStyle().ItemSpacing.x, 0.0f));
            if (ImGui::BeginListBox(tag.c_str(), shown)) {
                DrawItems(dialog, control, top, true);
                view.list_scrolls[id] = ImGui::GetScrollY();
                ImGui::EndListBox();
            }
            ImGui::PopStyleVar(2);
            if (top) button_rects_[id] = ItemRect();
            break;
        }
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
                // Escape and Return belong to the dropped-down list: they close it and leave the
                // dialog open, with what was changed in it.
                if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape)) ||
                    ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter)))
                    ImGui::CloseCurrentPopup();
                view.list_dropped = true;
                ImGui::EndCombo();
            }
            break;
        }
        case ControlKind::Slider: {
            int position = control.position;
            bool moved = false;
            std::string value;
            if (control.vertical) {
                // ImGui puts a vertical slider's maximum at the top, the platform's trackbar its
                // minimum: the value is turned over on the way in and out. No number is drawn on
                // a bar too narrow to hold one.
                int shown = control.maximum + control.minimum - position;
                moved = ImGui::VSliderInt(tag.c_str(), size, &shown, control.minimum, control.maximum, "");
                position = control.maximum + control.minimum - shown;
            } else {
                // The value stands right of the bar, where the grab never covers it.
                const std::string widest =
                    std::to_string(std::max(std::abs(control.minimum), std::abs(control.maximum)));
                const float value_width =
                    ImGui::CalcTextSize(widest.c_str()).x + (control.minimum < 0 ? ImGui::CalcTextSize("-").x : 0.0f);
                const float gap = ImGui::GetStyle().ItemInnerSpacing.x * 2;
                ImGui::SetNextItemWidth(std::max(1.0f, size.x - value_width - gap));
                moved = ImGui::SliderInt(tag.c_str(), &position, control.minimum, control.maximum, "");
                value = std::to_string(control.position);
            }
            if (moved) act([d, id, position] { d->Slide(id, position); });
            focus_on_press();
            if (top) button_rects_[id] = ItemRect();
            if (!value.empty()) {
                // Right-aligned at the control's right edge, level with the bar's middle.
                const ImVec2 bar = ImGui::GetItemRectMin(), bar_end = ImGui::GetItemRectMax();
                const ImVec2 text = ImGui::CalcTextSize(value.c_str());
                ImGui::GetWindowDrawList()->AddText(ImVec2(bar.x + size.x - text.x, (bar.y + bar_end.y - text.y) / 2),
                                                    ImGui::GetColorU32(ImGuiCol_Text), value.c_str());
            }
            break;
        }
    }
}

void ImGuiLayer::DrawItems(Dialog& dialog, Control& control, bool top, bool double_clicks) {
    Dialog* d = &dialog;
    const int id = control.id;
    // A list's lines carry their gap inside them (the list sets no spacing between items).
    const bool list = control.kind == ControlKind::ListBox;
    const float height = ImGui::GetTextLineHeight() + (list ? kListLineGap : 0.0f);
    for (int i = 0; i < static_cast<int>(control.items.size()); ++i) {
        ImGui::PushID(i);
        ImVec2 at = ImGui::GetCursorScreenPos();
        if (list) at.y += kListLineGap / 2;
        const bool selected = control.selection == i;
        ImGui::PushStyleColor(ImGuiCol_Header, kSelectedLine);
        ImGui::PushStyleColor(ImGuiCol_HeaderActive, kSelectedLine);
        ImGui::PushStyleColor(ImGuiCol_HeaderHovered, selected ? kSelectedLine : kHoveredLine);
        const bool picked = ImGui::Selectable(
            "##item", selected, double_clicks ? ImGuiSelectableFlags_AllowDoubleClick : ImGuiSelectableFlags_None,
            ImVec2(0, height));
        ImGui::PopStyleColor(3);
        DrawVerbatim(ImGui::GetWindowDrawList(), at, Utf16ToUtf8(control.items[i]), nullptr,
                     selected ? kSelectedText : ImGui::GetStyleColorVec4(ImGuiCol_Text));
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
    // The dialog class's init may take long (it waits for a save file another program holds):
    // the window is drawn before it, so that meanwhile the menu's popup that opened the dialog
    // is gone and the picture under it whole again. A dialog over another modal needs no such
    // frame (nothing of the menu shows), and one would act on the modal beneath.
    if (!ModalOpen()) window_.Redraw();
    return stack_.RunDialog(dialog, [this](OpenModal& modal) { RunModal(modal); });
}

void ImGuiLayer::UpdateTextInput() {
    if (focused_edit_) {
        SDL_SetTextInputRect(&*focused_edit_);
        if (!SDL_IsTextInputActive()) SDL_StartTextInput();
    } else if (SDL_IsTextInputActive()) {
        SDL_StopTextInput();
    }
    if (!SDL_IsTextInputActive()) composing_ = false;
}

}  // namespace host
