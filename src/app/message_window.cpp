#include "app/message_window.h"

#include <algorithm>
#include <string>

#include "app/frame_step.h"
#include "app/message_tasks.h"
#include "app/system_config.h"
#include "app/system_image.h"
#include "lib/scope_guard.h"
#include "lib/text_field.h"

namespace TextScript {
namespace {

constexpr char16_t kDefaultFace[] = u"ＭＳ ゴシック";
constexpr char32_t kReplacement = 0xFFFD;
constexpr std::uint32_t kControlHeld = kInputLeftControl | kInputRightControl;
constexpr std::uint32_t kInitialStyle = DxDraw::kTextBold | DxDraw::kTextShadow;

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void SetStyleBit(DxDraw::TextData& text, std::uint32_t bit, bool on) {
    text.style_ = on ? (text.style_ | bit) : (text.style_ & ~bit);
}

}  // namespace

std::uint32_t SwapRedBlue(std::uint32_t colour) {
    return (colour & 0xFF00FF00) | ((colour >> 16) & 0xFF) | ((colour & 0xFF) << 16);
}

std::size_t ExpandNameTags(std::u16string_view text, std::span<TextElement> elements) {
    if (elements.empty()) return 0;
    std::size_t budget = elements.size();  // one of it always stays for the end element
    std::size_t count = 0;
    std::size_t i = 0;
    const auto store = [&](char16_t unit) { elements[count++] = TextElement{kElementChar, unit}; };
    while (i < text.size() && budget > 1) {
        const char16_t unit = text[i];
        const char16_t next = i + 1 < text.size() ? text[i + 1] : u'\0';
        if (unit == u'#' && (next == u'1' || next == u'2')) {
            const std::u16string_view name =
                FieldText(next == u'1' ? SystemConfig.PlayerName1 : SystemConfig.PlayerName2);
            std::size_t take = std::min(name.size(), budget - 1);
            if (take < name.size() && take > 0 && IsHighSurrogate(name[take - 1])) --take;
            for (std::size_t k = 0; k < take; ++k) store(name[k]);
            budget -= std::min(budget, name.size() + 2);
            i += 2;
        } else {
            store(unit);
            --budget;
            ++i;
        }
    }
    // A cut between the two halves of a pair drops the half that was stored.
    if (i < text.size() && count > 0 && IsHighSurrogate(static_cast<char16_t>(elements[count - 1].value))) --count;
    elements[count] = TextElement{kElementEnd, 0};
    return count;
}

void DxMessBase::DrawText(std::uint32_t tag, std::uint32_t colour, std::int32_t wait, std::u16string_view text,
                          CharCallback callback, std::uintptr_t argument) {
    std::vector<TextElement> elements(kTextElementCapacity);
    ExpandNameTags(text, elements);
    BeginText(tag, colour, wait, elements, callback, argument);
}

void TaskList::Remove(ACT* task) { std::erase(tasks_, task); }

void TaskList::FreeAll() {
    // Each task takes itself out of the list as it goes.
    while (!tasks_.empty()) {
        ACT* task = tasks_.back();
        FreeACT(task);
        Remove(task);
    }
}

DxMessView2::DxMessView2(int width, int height) : DxSurfaceSprite32(std::max(width, 0), std::max(height, 0)) {
    SetBlendFlags(DxDraw::BLEND_SOURCE_ALPHA);
    text_.box_ = RECT{0, 0, std::max(width, 0), std::max(height, 0)};
    text_.style_ = kInitialStyle;
}

DxMessView2::~DxMessView2() {
    cursorTasks_.FreeAll();
    text_.pFont = nullptr;
}

void DxMessView2::Detach() {
    cursorTasks_.FreeAll();
    DxSurfaceSprite32::Detach();
}

void DxMessView2::FreeCursorTasks() { cursorTasks_.FreeAll(); }

void DxMessView2::Clear(std::uint32_t rgb) { FillRect(nullptr, rgb, 0); }

void DxMessView2::SetPen(std::int32_t x, std::int32_t y) { text_.pen_ = POINT{x, y}; }

POINT DxMessView2::GetCellSize() const {
    const std::int32_t size = font_ ? font_->Description().lfHeight : 0;
    return POINT{size + text_.charSpacing_, size + text_.lineSpacing_};
}

std::int32_t DxMessView2::GetHeight() const {
    const std::int32_t height = DxSurfaceSprite32::GetHeight();
    return height < 0 ? -height : height;
}

void DxMessView2::SetFont(std::int32_t size, std::int32_t lineSpacing, std::u16string_view face) {
    text_.pFont = nullptr;
    font_.reset();
    text_.charSpacing_ = 0;
    text_.lineSpacing_ = lineSpacing;
    font_.reset(new DxDraw::DxFont());
    font_->Setup(face.empty() ? std::u16string_view(kDefaultFace) : face, std::max(size, 1));
    text_.pFont = font_.get();
}

void DxMessView2::BeginText(std::uint32_t tag, std::uint32_t colour, std::int32_t wait,
                            std::span<const TextElement> elements, CharCallback callback, std::uintptr_t argument) {
    textCounter_ = 0;
    text_.callback_ = nullptr;
    callback_ = callback;
    argument_ = argument;
    text_.faceColor_ = SwapRedBlue(colour);
    charWait_ = wait;
    waitEnabled_ = 1;
    // One drawing scope for the whole text; a frame step that throws during a wait closes it.
    text_.BeginDraw(this);
    ScopeExit endDraw([this] { text_.EndDraw(); });
    ApplyElements(tag, elements);
}

void DxMessView2::ApplyElements(std::uint32_t, std::span<const TextElement> elements) {
    // A high surrogate waits for its low unit only within one list, so nothing of an earlier
    // text can join the next one.
    char16_t pending = 0;
    for (const TextElement& element : elements) {
        const std::uint32_t value = element.value;
        switch (element.kind) {
            case kElementEnd: break;
            case kElementChar: PutUnit(static_cast<char16_t>(value), pending); continue;
            case kElementWait: charWait_ = static_cast<std::int32_t>(value); continue;
            case kElementColor: text_.faceColor_ = value; continue;
            case kElementBold: SetStyleBit(text_, DxDraw::kTextBold, value != 0); continue;
            case kElementWaitOn: waitEnabled_ = static_cast<std::int32_t>(value); continue;
            case kElementShadow: SetStyleBit(text_, DxDraw::kTextShadow, value != 0); continue;
            case kElementOutline: SetStyleBit(text_, DxDraw::kTextOutline, value != 0); continue;
            default: continue;
        }
        break;
    }
    if (pending) PutCodePoint(kReplacement);
}

void DxMessView2::PutUnit(char16_t unit, char16_t& pending) {
    if (IsHighSurrogate(unit)) {
        const char16_t lone = std::exchange(pending, unit);
        if (lone) PutCodePoint(kReplacement);
        return;
    }
    const char16_t high = std::exchange(pending, 0);
    if (IsLowSurrogate(unit)) {
        PutCodePoint(high ? static_cast<char32_t>(((high - 0xD7C0) << 10) | (unit - 0xDC00)) : kReplacement);
        return;
    }
    if (high) PutCodePoint(kReplacement);
    PutCodePoint(unit);
}

void DxMessView2::PutCodePoint(char32_t ch) {
    DxDraw::PutChar(*this, text_, ch);
    ++textCounter_;
    if (charWait_ <= 0 || !waitEnabled_) return;
    if (callback_) callback_(argument_);
    if (!(InputState.held & kControlHeld)) WaitMs(static_cast<std::uint32_t>(charWait_), 3);
}

ACT* DxMessView2::StartCursorTask(std::int32_t cursorKind, std::int32_t channel) {
    return MakeCursorTask(*this, cursorKind, channel, cursorTasks_);
}

DxMessWindow::DxMessWindow(int width, int height, int left, int right, int top, int bottom, int styleFlag) {
    SetSize(static_cast<std::uint16_t>(std::max(width, 0)), static_cast<std::uint16_t>(std::max(height, 0)));
    background_ = new DxDraw::DxSurfaceSprite32(std::max(width, 0), std::max(height, 0));
    Add(background_);
    background_->SetBlendFlags(DxDraw::kColumnFade);
    background_->SetLevel(128);
    background_->FillRect(nullptr, 0x000000, 255);
    view_ = new DxMessView2(width - left - right, height - top - bottom);
    Add(view_);
    view_->SetPosition(left, top);
    view_->SetPen(0, 0);
    if (styleFlag) view_->SetStyle(view_->GetStyle() | DxDraw::kTextAntiAliased);
}

void DxMessWindow::Detach() {
    view_->FreeCursorTasks();  // first: their sprites are children of this group
    tasks_.FreeAll();
    DxDrawGroup::Detach();
}

}  // namespace TextScript

namespace {

constexpr std::int32_t kButtonLeft = 752;
constexpr std::int32_t kButtonSize[2] = {48, 24};
constexpr std::int32_t kButtonSheetTop = 288;
constexpr std::int32_t kButtonTop = 40;
constexpr std::int32_t kWindowScreenTop = 400;

}  // namespace

MessageWindow::MessageWindow(int width, int height, int left, int right, int top, int bottom)
    : DxMessWindow(width, height, left, right, top, bottom, 0) {
    for (int k = 0; k < kButtonCount; ++k) {
        TEXANIM source;
        source.width = static_cast<std::uint16_t>(kButtonSize[0]);
        source.height = static_cast<std::uint16_t>(kButtonSize[1]);
        source.source = RECT{kButtonLeft, kButtonSheetTop + kButtonSize[1] * k, kButtonLeft + kButtonSize[0],
                             kButtonSheetTop + kButtonSize[1] * (k + 1)};
        auto* button = new DxDraw::DxSprite(nullptr, &source, DxDraw::BLEND_SOURCE_ALPHA | DxDraw::kColumnFade);
        Add(button);
        ShowSystemImage(*button);
        button->SetLevel(128);
        button->SetPosition(kButtonLeft, kButtonTop + kButtonSize[1] * k);
        buttons_[static_cast<std::size_t>(k)] = button;
        const std::int32_t top = kWindowScreenTop + kButtonTop + kButtonSize[1] * k;
        buttonRects_[static_cast<std::size_t>(k)] =
            RECT{kButtonLeft, top, kButtonLeft + kButtonSize[0], top + kButtonSize[1]};
    }
}
