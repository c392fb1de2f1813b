// Message windows: the box at the bottom of the screen in which the story's text appears
// character by character, with an animated page cursor while the engine waits for the reader.
//
// - DxMessBase is the text-output interface the story commands talk to.
// - DxMessView2 is the text view: a 32-bit surface sprite that draws its glyphs into itself and,
//   between characters, waits through the frame step so that the text is revealed over time.
// - DxMessWindow groups a half-transparent background sprite and the text view, and is opened
//   and hidden by the open and hide tasks (at once, by a fade, or sliding open sideways or
//   vertically).
// - MessageWindow is the game's window: the above plus five button sprites from the system image.
//
// Tasks made here are task records whose state they own; the views they animate free them first
// when they go, so a task can never outlive its window.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "dxdraw/dxfont.h"
#include "dxdraw/dxsprite.h"
#include "lib/act.h"

namespace TextScript {

// One entry of a text-element list; a list ends with an element of kind kElementEnd.
struct TextElement {
    std::uint32_t kind = 0;
    std::uint32_t value = 0;
    friend constexpr bool operator==(const TextElement&, const TextElement&) = default;
};

enum TextElementKind : std::uint32_t {
    kElementEnd = 0,
    kElementChar = 1,     // one UTF-16 code unit
    kElementWait = 2,     // the per-character wait in milliseconds
    kElementColor = 4,    // the face colour, in the text record's order (red in the low byte)
    kElementBold = 5,     // on when non-zero
    kElementWaitOn = 6,   // the per-character wait enabled
    kElementShadow = 8,   // on when non-zero
    kElementOutline = 9,  // on when non-zero
};

// Capacity of the list DrawText expands a text into: at most one less than this many characters.
inline constexpr std::size_t kTextElementCapacity = 1024;

// Called before the wait of every revealed character (it may throw to cut the reveal short).
using CharCallback = void (*)(std::uintptr_t argument);

// The page-cursor task's message: a = 0, b = std::uint32_t* receiving the result word.
inline constexpr int kActReadResult = 7;

// Cursor kinds of the page wait: two animations of four frames in the system image.
enum CursorKind : std::int32_t { kCursorPage = 0, kCursorLine = 1 };

// 0xRRGGBB into the text record's order (red in the low byte) and back.
std::uint32_t SwapRedBlue(std::uint32_t colour);

// Expands "#1" and "#2" into the hero names of the system configuration and every other unit
// into a character element. Each character costs 1 of the capacity (the list's size), each name
// its length plus 2; the expansion stops at the text's end or when the capacity is used up, never
// leaving half a surrogate pair at the cut, and always ends the list. Returns the characters
// stored.
std::size_t ExpandNameTags(std::u16string_view text, std::span<TextElement> elements);

class DxMessBase {
public:
    virtual ~DxMessBase() = default;

    virtual void Clear(std::uint32_t rgb) = 0;
    virtual void SetPen(std::int32_t x, std::int32_t y) = 0;
    virtual POINT GetPen() const = 0;
    // (font size + character spacing, font size + line spacing).
    virtual POINT GetCellSize() const = 0;
    virtual std::uint32_t GetColor() const = 0;
    virtual std::uint32_t GetOutlineColor() const = 0;
    virtual std::uint32_t GetShadowColor() const = 0;
    virtual void SetColor(std::uint32_t colour) = 0;
    virtual void SetOutlineColor(std::uint32_t colour) = 0;
    virtual void SetShadowColor(std::uint32_t colour) = 0;
    // An empty face takes the default Gothic face.
    virtual void SetFont(std::int32_t size, std::int32_t lineSpacing, std::u16string_view face) = 0;
    // Characters drawn since the last BeginText.
    virtual std::uint32_t GetTextCounter() const = 0;
    virtual std::int32_t GetWidth() const = 0;
    virtual std::int32_t GetHeight() const = 0;
    virtual void Hide() = 0;
    virtual void Show() = 0;
    // Starts a text: colour is 0xRRGGBB; wait the per-character wait in milliseconds (0 none).
    virtual void BeginText(std::uint32_t tag, std::uint32_t colour, std::int32_t wait,
                           std::span<const TextElement> elements, CharCallback callback, std::uintptr_t argument) = 0;
    // Expands the name tags of the text, then BeginText.
    virtual void DrawText(std::uint32_t tag, std::uint32_t colour, std::int32_t wait, std::u16string_view text,
                          CharCallback callback, std::uintptr_t argument);
    // Runs the elements up to the end element (or the end of the span).
    virtual void ApplyElements(std::uint32_t tag, std::span<const TextElement> elements) = 0;
    // Shows the page cursor and steps frames until the reader goes on; the input word that ended
    // the wait, or 0 when the voice on `channel` (-1: none) ended it.
    virtual std::uint32_t WaitForReader(std::int32_t cursorKind, std::int32_t channel) = 0;
    virtual void SetStyle(std::uint32_t bits) = 0;
    virtual std::uint32_t GetStyle() const = 0;
    // The page-cursor task (not attached to any root); WaitForReader walks it.
    virtual ACT* StartCursorTask(std::int32_t cursorKind, std::int32_t channel) = 0;
};

// The tasks working on one view, so that the view can free them before it goes.
class TaskList {
public:
    TaskList() = default;
    ~TaskList() { FreeAll(); }
    TaskList(const TaskList&) = delete;
    TaskList& operator=(const TaskList&) = delete;

    void Add(ACT* task) { tasks_.push_back(task); }
    void Remove(ACT* task);
    void FreeAll();
    std::size_t Size() const { return tasks_.size(); }

private:
    std::vector<ACT*> tasks_;
};

class DxMessView2 : public DxMessBase, public DxDraw::DxSurfaceSprite32 {
public:
    DxMessView2(int width, int height);
    ~DxMessView2() override;

    // Frees the cursor tasks (and their sprites) first.
    void Detach() override;

    void Clear(std::uint32_t rgb) override;
    void SetPen(std::int32_t x, std::int32_t y) override;
    POINT GetPen() const override { return text_.pen_; }
    POINT GetCellSize() const override;
    std::uint32_t GetColor() const override { return text_.faceColor_; }
    std::uint32_t GetOutlineColor() const override { return text_.outlineColor_; }
    std::uint32_t GetShadowColor() const override { return text_.shadowColor_; }
    void SetColor(std::uint32_t colour) override { text_.faceColor_ = colour; }
    void SetOutlineColor(std::uint32_t colour) override { text_.outlineColor_ = colour; }
    void SetShadowColor(std::uint32_t colour) override { text_.shadowColor_ = colour; }
    void SetFont(std::int32_t size, std::int32_t lineSpacing, std::u16string_view face) override;
    std::uint32_t GetTextCounter() const override { return textCounter_; }
    std::int32_t GetWidth() const override { return DxSurfaceSprite32::GetWidth(); }
    std::int32_t GetHeight() const override;
    void Hide() override { ssView::Hide(); }
    void Show() override { ssView::Show(); }
    void BeginText(std::uint32_t tag, std::uint32_t colour, std::int32_t wait, std::span<const TextElement> elements,
                   CharCallback callback, std::uintptr_t argument) override;
    void ApplyElements(std::uint32_t tag, std::span<const TextElement> elements) override;
    std::uint32_t WaitForReader(std::int32_t cursorKind, std::int32_t channel) override;
    void SetStyle(std::uint32_t bits) override { text_.style_ = bits; }
    std::uint32_t GetStyle() const override { return text_.style_; }
    ACT* StartCursorTask(std::int32_t cursorKind, std::int32_t channel) override;

    // The reveal: the per-character wait (0 none), whether it is on, and the callback before it.
    std::int32_t GetCharWait() const { return charWait_; }
    void SetCharWait(std::int32_t milliseconds) { charWait_ = milliseconds; }
    bool IsWaitEnabled() const { return waitEnabled_ != 0; }
    void SetWaitEnabled(bool on) { waitEnabled_ = on ? 1 : 0; }
    void SetCharCallback(CharCallback callback, std::uintptr_t argument) {
        callback_ = callback;
        argument_ = argument;
    }
    // How long the page cursor goes on once a skip key is held (0: skip keys do not end it).
    std::int32_t GetAutoWait() const { return autoWait_; }
    void SetAutoWait(std::int32_t milliseconds) { autoWait_ = milliseconds; }
    DxDraw::TextData& Text() { return text_; }
    std::size_t CursorTaskCount() const { return cursorTasks_.Size(); }
    // Frees the cursor tasks and their sprites (the window does this before its children go).
    void FreeCursorTasks();

private:
    struct FontRelease {
        void operator()(DxDraw::DxFont* font) const { font->Release(); }
    };

    // One code unit of the text; `pending` keeps a high surrogate until its low unit comes.
    void PutUnit(char16_t unit, char16_t& pending);
    // Draws the character, then waits as the reveal says.
    void PutCodePoint(char32_t ch);

    CharCallback callback_ = nullptr;
    std::uintptr_t argument_ = 0;
    std::int32_t charWait_ = 0;
    std::int32_t waitEnabled_ = 0;
    std::int32_t autoWait_ = 0;
    DxDraw::TextData text_;
    std::unique_ptr<DxDraw::DxFont, FontRelease> font_;
    std::uint32_t textCounter_ = 0;
    TaskList cursorTasks_;
};

class DxMessWindow : public DxDraw::DxDrawGroup {
public:
    // Open modes of the open and hide tasks.
    enum : std::int32_t { kOpenAtOnce = 0, kOpenFade = 1, kOpenSideways = 2, kOpenVertically = 3 };

    // The text view is (width - left - right) x (height - top - bottom) at (left, top); a
    // non-zero style flag makes its text anti-aliased.
    DxMessWindow(int width, int height, int left, int right, int top, int bottom, int styleFlag);

    // Frees the open, hide and cursor tasks before the children go.
    void Detach() override;

    DxDraw::DxSurfaceSprite32& Background() { return *background_; }
    DxMessView2& View() { return *view_; }
    std::int32_t GetOpenMode() const { return openMode_; }
    void SetOpenMode(std::int32_t mode) { openMode_ = mode; }
    // Four words the story commands keep with the window (0, 1, 0, 0 at construction).
    std::array<std::int32_t, 4>& Words() { return words_; }
    TaskList& Tasks() { return tasks_; }

private:
    DxDraw::DxSurfaceSprite32* background_;  // children of the group: it destroys them
    DxMessView2* view_;
    std::int32_t openMode_ = kOpenAtOnce;
    std::array<std::int32_t, 4> words_{0, 1, 0, 0};
    TaskList tasks_;  // last, so that its tasks go while the views they touch are still there
};

// Makes the open or hide task of the window (not attached to a root; the caller attaches or
// walks it, and frees it).
ACT* StartOpenTask(DxMessWindow& window);
ACT* StartHideTask(DxMessWindow& window);
// -1 once the task has ended (also for a record that is no task of these).
std::int32_t TaskPhase(const ACT* task);
// Walks the task once and steps a frame until it has ended, then frees it; a frame step that
// throws frees it too (the task then jumps to its end state).
void RunTaskToEnd(ACT* task);
// Runs the hide task to its end.
void HideWindowNow(DxMessWindow& window);

}  // namespace TextScript

// The game's message window: five button sprites on the system image over the right edge.
class MessageWindow : public TextScript::DxMessWindow {
public:
    static constexpr int kButtonCount = 5;
    // The buttons, top to bottom.
    enum : int { kButtonBacklog = 0, kButtonSkip = 1, kButtonAuto = 2, kButtonSave = 3, kButtonLoad = 4 };

    MessageWindow(int width, int height, int left, int right, int top, int bottom);

    DxDraw::DxSprite& Button(int k) { return *buttons_[static_cast<std::size_t>(k)]; }
    // Where button k lies on the screen (the window stands at y 400).
    const RECT& ButtonRect(int k) const { return buttonRects_[static_cast<std::size_t>(k)]; }

private:
    std::array<DxDraw::DxSprite*, kButtonCount> buttons_{};
    std::array<RECT, kButtonCount> buttonRects_{};
};
