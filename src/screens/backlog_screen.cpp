#include "screens/backlog_screen.h"

#include <algorithm>
#include <optional>
#include <string>

#include "app/backlog_history.h"
#include "app/cg_image.h"
#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/message_window.h"
#include "app/owned_view.h"
#include "app/screen_sprite.h"
#include "app/settings.h"
#include "app/sound_commands.h"
#include "app/system_config.h"
#include "app/system_image.h"
#include "app/text_panel.h"
#include "dxdraw/screen_surface.h"
#include "lib/report.h"
#include "lib/scope_guard.h"
#include "lib/text_field.h"
#include "lib/xml.h"
#include "sound/sound.h"

namespace {

using DxDraw::DxSprite;
using DxDraw::DxSurfaceSprite32;
using TextScript::DxMessView2;

constexpr std::int32_t kScreenWidth = 800, kScreenHeight = 600;
constexpr std::int32_t kLineHeight = 24;
constexpr std::size_t kShownLines = 25;
constexpr std::uint32_t kWhite = 0xFFFFFF;

constexpr POINT kTextAt{124, 0};
constexpr std::int32_t kTextWidth = 576;
constexpr std::uint32_t kTextStyle = DxDraw::kTextAntiAliased | DxDraw::kTextProportional;
// The game behind keeps a quarter of its light under the black layer.
constexpr std::uint32_t kDarkLevel = 192;

constexpr std::int32_t kFaceSize = 48;
constexpr std::int32_t kFaceX = 24;
// Faces are drawn only for areas starting in the first 24 rows: a face is two rows high.
constexpr std::int32_t kFaceRows = 24;

constexpr RECT kTrackSource{0, 240, 32, 808};
constexpr POINT kTrackAt{688, 16};
constexpr RECT kKnobSource{32, 240, 56, 272};
constexpr std::int32_t kKnobX = 692;
constexpr std::int32_t kKnobHeight = 32;
constexpr std::int32_t kKnobTop = 36, kKnobBottom = 532;
constexpr double kKnobTravel = kKnobBottom - kKnobTop;
constexpr RECT kUpButton{688, 16, 720, 36};
constexpr RECT kDownButton{688, 564, 720, 584};

constexpr std::uint32_t kLeave = kInputMouseRight | kInputEscape;

bool Holds(const RECT& rect, std::int32_t x, std::int32_t y) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

bool IsScanBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// A sprite of the system image showing `source`, placed on the screen.
OwnedView<DxSprite> SystemSprite(const RECT& source, std::int32_t x, std::int32_t y) {
    TEXANIM record;
    record.width = static_cast<std::uint16_t>(source.Width());
    record.height = static_cast<std::uint16_t>(source.Height());
    record.source = source;
    OwnedView<DxSprite> sprite = NewScreenSprite(nullptr, DxDraw::BLEND_SOURCE_ALPHA, &record, {x, y});
    ShowSystemImage(*sprite);
    return sprite;
}

class BacklogScreen {
public:
    BacklogScreen(const BacklogHistory& history, FontChangeWatch& fontChange);
    // Steps frames until the player leaves.
    void Run();

private:
    std::int32_t LineCount() const { return static_cast<std::int32_t>(layout_.lines.size()); }
    std::int32_t LastTop() const { return LineCount() - static_cast<std::int32_t>(kShownLines); }
    void SetFont() { view_->SetFont(kLineHeight, 0, FieldText(SettingsBlock.font_name)); }
    void Redraw();
    void DrawFaces();
    const BacklogFace* FindFace(std::u16string_view voice) const;
    // The row of the screen where the area's face stands, or nothing while it is scrolled away.
    std::optional<std::int32_t> FaceRow(const BacklogLayout::VoiceArea& area) const;
    void DragKnob();
    // True when the press started a drag of the knob.
    bool StartDrag();
    void ReplayVoice();
    void Scroll();
    void MoveKnob(std::int32_t y);

    BacklogLayout layout_;
    std::vector<BacklogFace> faces_;
    ComPtr<DxDraw::DxSurface> facePicture_;
    FontChangeWatch& fontChange_;
    OwnedView<DxSurfaceSprite32> dark_;
    OwnedView<DxMessView2> view_;
    OwnedView<DxSprite> track_;
    OwnedView<DxSprite> knob_;  // only while there are more lines than are shown
    std::int32_t top_ = 0;      // the first line shown
    std::int32_t knobY_ = kKnobBottom;
    std::optional<std::int32_t> grab_;  // while the knob is dragged: the pointer's height on it
    bool dirty_ = true;
    bool missingFaceTold_ = false;
    std::vector<TextScript::TextElement> elements_;
};

BacklogScreen::BacklogScreen(const BacklogHistory& history, FontChangeWatch& fontChange)
    : layout_(LayOutBacklog(history)), fontChange_(fontChange) {
    facePicture_ = LoadCgImage(ScriptArchive.Get(), u"title/backlogface", false, false);
    const std::int32_t face_count = facePicture_->GetHeight() >= kFaceSize ? facePicture_->GetWidth() / kFaceSize : 0;
    // The picture was found, so the archive is there.
    faces_ = ReadBacklogFaces(*LoadConfigDocument(*ScriptArchive), face_count);

    dark_.reset(new DxSurfaceSprite32(kScreenWidth, kScreenHeight));
    dark_->FillRect(nullptr, 0x000000, 255);
    SetBlendLevel(*dark_, DxDraw::kColumnFade, kDarkLevel);
    if (ScreenSurface) ScreenSurface->Add(dark_.get());

    view_.reset(new DxMessView2(kTextWidth, kScreenHeight));
    view_->SetPosition(kTextAt.x, kTextAt.y);
    view_->SetStyle(kTextStyle);
    SetFont();
    if (ScreenSurface) ScreenSurface->Add(view_.get());

    track_ = SystemSprite(kTrackSource, kTrackAt.x, kTrackAt.y);
    if (LineCount() > static_cast<std::int32_t>(kShownLines)) {
        top_ = LastTop();
        knob_ = SystemSprite(kKnobSource, kKnobX, kKnobBottom);
    }
    elements_.reserve(BacklogLayout::kLineChars + 1);
}

void BacklogScreen::Run() {
    for (;;) {
        StepFrame();
        if (fontChange_.Take()) {
            SetFont();
            dirty_ = true;
        }
        if (dirty_) Redraw();
        if (grab_)
            DragKnob();
        else if (!StartDrag() && (InputState.pressed & kInputMouseLeft))
            ReplayVoice();
        Scroll();
        if (InputState.pressed & kLeave) return;
    }
}

void BacklogScreen::Redraw() {
    dirty_ = false;
    view_->Clear(0);
    dark_->FillRect(nullptr, 0x000000, 255);
    const std::size_t first = static_cast<std::size_t>(top_);
    const std::size_t end = std::min(layout_.lines.size(), first + kShownLines);
    for (std::size_t i = first; i < end; ++i) {
        // Each line starts on its own row, so that a line the view wraps cannot push the rows
        // below it away from their faces.
        view_->SetPen(0, static_cast<std::int32_t>(i - first) * kLineHeight);
        elements_.clear();
        for (char16_t c : layout_.lines[i]) elements_.push_back({TextScript::kElementChar, c});
        elements_.push_back({TextScript::kElementEnd, 0});
        view_->BeginText(0, kWhite, 0, elements_, nullptr, 0);
    }
    DrawFaces();
    dark_->Invalidate(DxDraw::kDirtyContents);
    view_->Invalidate(DxDraw::kDirtyContents);
}

void BacklogScreen::DrawFaces() {
    for (const BacklogLayout::VoiceArea& area : layout_.voices) {
        const std::optional<std::int32_t> row = FaceRow(area);
        if (!row) continue;
        const BacklogFace* face = FindFace(area.voice);
        if (!face) {
            // Once an opening: the dialog would come back with every line scrolled.
            if (!std::exchange(missingFaceTold_, true))
                AssertFail("BackLog", "script/scr_gui", 3277, Utf16ToCp932(u"ボイス番号が規定外です").c_str());
            continue;
        }
        const RECT source{face->number * kFaceSize, 0, (face->number + 1) * kFaceSize, kFaceSize};
        DxDraw::BlendParams blend;
        blend.flags = DxDraw::BLEND_SOURCE_ALPHA;
        dark_->Blit(kFaceX, *row * kLineHeight, facePicture_.Get(), &source, nullptr, &blend);
    }
}

const BacklogFace* BacklogScreen::FindFace(std::u16string_view voice) const {
    const auto found =
        std::find_if(faces_.begin(), faces_.end(), [&](const BacklogFace& face) { return face.key == voice[0]; });
    return found == faces_.end() ? nullptr : &*found;
}

std::optional<std::int32_t> BacklogScreen::FaceRow(const BacklogLayout::VoiceArea& area) const {
    const std::int32_t row = static_cast<std::int32_t>(area.line) - top_;
    if (row < 0 || row >= kFaceRows) return std::nullopt;
    return row;
}

void BacklogScreen::DragKnob() {
    const std::int32_t y = std::clamp(InputState.mouse_y - *grab_, kKnobTop, kKnobBottom);
    const auto top = static_cast<std::int32_t>((y - kKnobTop) / kKnobTravel * LastTop());
    if (top != top_) {
        top_ = top;
        dirty_ = true;
    }
    MoveKnob(y);
    if (!(InputState.held & kInputMouseLeft)) grab_.reset();
}

bool BacklogScreen::StartDrag() {
    // Without a knob there is nothing to drag: every line is shown already.
    if (!knob_ || !(InputState.repeat & kInputMouseLeft)) return false;
    const RECT knob{kKnobX, knobY_, kKnobX + static_cast<std::int32_t>(kKnobSource.Width()), knobY_ + kKnobHeight};
    if (!Holds(knob, InputState.mouse_x, InputState.mouse_y)) return false;
    grab_ = InputState.mouse_y - knobY_;
    return true;
}

void BacklogScreen::ReplayVoice() {
    for (const BacklogLayout::VoiceArea& area : layout_.voices) {
        const std::optional<std::int32_t> row = FaceRow(area);
        if (!row) continue;
        const RECT face{kFaceX, *row * kLineHeight, kFaceX + kFaceSize, *row * kLineHeight + kFaceSize};
        if (!Holds(face, InputState.mouse_x, InputState.mouse_y)) continue;
        // Stops what plays; plays nothing with voices off, while skipping or with a skip key held.
        PlayStreamSound(kVoiceChannel, area.voice, false);
        return;
    }
    StopChannel(kVoiceChannel);
}

void BacklogScreen::Scroll() {
    const bool click = InputState.repeat & kInputMouseLeft;
    const std::int32_t x = InputState.mouse_x, y = InputState.mouse_y;
    const bool up = (InputState.repeat & kInputUp) || (click && Holds(kUpButton, x, y)) || InputState.wheel > 0;
    const bool down = (InputState.repeat & kInputDown) || (click && Holds(kDownButton, x, y)) || InputState.wheel < 0;
    bool moved = false;
    if (up && top_ > 0) {
        --top_;
        moved = true;
    }
    if (down && top_ < LastTop()) {
        ++top_;
        moved = true;
    }
    if (!moved) return;
    MoveKnob(kKnobTop + static_cast<std::int32_t>(top_ / static_cast<double>(LastTop()) * kKnobTravel));
    dirty_ = true;
}

void BacklogScreen::MoveKnob(std::int32_t y) {
    knobY_ = y;
    if (knob_) knob_->SetPosition(kKnobX, y);
}

}  // namespace

BacklogLayout LayOutBacklog(const BacklogHistory& history) {
    BacklogLayout layout;
    for (const BacklogEntry& entry : history.entries()) {
        if (!entry.voice.empty()) layout.voices.push_back({layout.lines.size(), entry.voice});
        std::u16string_view text = entry.text;
        while (!text.empty()) {
            const std::size_t feed = text.find(u'\n');
            const std::size_t length = std::min(feed, BacklogLayout::kLineChars);
            layout.lines.push_back(text.substr(0, length));
            text.remove_prefix(std::min(length == feed ? length + 1 : length, text.size()));
        }
        layout.lines.emplace_back();
    }
    return layout;
}

std::vector<BacklogFace> ReadBacklogFaces(const XmlNode& root, std::int32_t face_count) {
    std::vector<BacklogFace> faces;
    const XmlNode* system = root.FindChild(u"system");
    const XmlNode* backlog = system ? system->FindChild(u"backlog") : nullptr;
    if (!backlog) return faces;
    for (const XmlNode* face : backlog->FindChildren(u"face")) {
        const XmlAttribute* chr = face->FindAttribute(u"chr");
        const XmlAttribute* number = face->FindAttribute(u"number");
        if (!chr || !number) continue;
        const auto key = std::find_if_not(chr->value.begin(), chr->value.end(), IsScanBlank);
        std::int32_t n = -1;
        if (key == chr->value.end() || ScanConfigNumbers(number->value, {&n, 1}) != 1 || n < 0 || n >= face_count)
            continue;
        faces.push_back({UpperCasePositionCode(*key), n});
    }
    return faces;
}

void BackLog(const BacklogHistory& history) {
    {
        // Declared first, so that the voice stops once the views are gone, however they go.
        const ScopeExit quiet([] { StopChannel(kVoiceChannel); });
        FontChangeWatch fontChange;
        BacklogScreen screen(history, fontChange);
        screen.Run();
    }
    StepFrame();
}
