// Modal dialogs as plain C++: a dialog class owns its controls (keyed by control id) and reacts
// to init, command, focus and scroll calls until it ends itself with a result. The UI layer only
// draws the controls and turns what the player does into these calls, after its frame, never
// inside the drawing; tests drive the same calls directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/video/window.h"

namespace host {

// Notification codes handed to OnCommand with the control id.
enum : int {
    kNotifyClicked = 0,        // button, check box, radio button
    kNotifySelChange = 1,      // list box or combo box selection changed
    kNotifyDoubleClick = 2,    // list box item double-clicked
    kNotifySetFocus = 0x100,   // edit box took the keyboard focus
    kNotifyKillFocus = 0x200,  // edit box lost the keyboard focus
    kNotifyEditChange = 0x300,
};

enum class ControlKind {
    Static,
    Picture,
    Button,
    DefaultButton,
    CheckBox,
    RadioButton,
    Edit,
    ListBox,
    ComboBox,
    Slider
};

struct Control {
    Control() = default;
    Control(int control_id, ControlKind control_kind, Rect area = {}, std::u16string label = {})
        : id(control_id), kind(control_kind), rect(area), text(std::move(label)) {}

    int id = 0;
    ControlKind kind = ControlKind::Static;
    Rect rect;  // in dialog pixels
    std::u16string text;
    int group = 0;  // radio buttons of one group exclude each other
    bool enabled = true;
    bool visible = true;
    int check = 0;                      // check box and radio button: 0 clear, 1 checked
    std::vector<std::u16string> items;  // list and combo boxes
    int selection = -1;
    // List box: bumped whenever a line is selected, by the dialog class, a click or a key; the
    // drawing then scrolls the list as little as it takes to show that line whole.
    std::uint64_t reveal = 0;
    int minimum = 0, maximum = 100, position = 0;  // slider
    // A vertical slider has its minimum at the top and its maximum at the bottom; a horizontal
    // one its minimum at the left. Either reports only where it was dragged or stepped to.
    bool vertical = false;
    int page_size = 10;            // slider: what Page Up and Page Down move it by
    std::size_t max_length = 255;  // edit box, in UTF-16 units
    // Edit box: at most this many bytes as the program's narrow (CP932) text, when a narrow
    // buffer is what keeps it; 0 for none.
    std::size_t max_narrow_bytes = 0;
    // Picture: 32-bit 0xAARRGGBB words (alpha ignored), width x height.
    std::vector<std::uint32_t> pixels;
    int picture_width = 0, picture_height = 0;
    std::uint64_t version = 0;  // bumped by every change the drawing must notice
};

// What an edit box keeps of `text`: its longest start of whole characters within the box's limits.
std::u16string FitEdit(const Control& edit, std::u16string_view text);
// What an edit box holding `before` keeps when typing or pasting makes it `after`: of what was
// put in, as much as fits, as the platform's edit control takes it; `cursor` (in units) is left
// after what was kept of it.
std::u16string FitEditChange(const Control& edit, std::u16string_view before, std::u16string_view after,
                             std::size_t* cursor = nullptr);

// A trackbar's keys: the arrows up and left a line towards the minimum, down and right towards
// the maximum, Page Up and Page Down a page, Home and End to the ends.
enum class SliderStep { LineUp, LineDown, PageUp, PageDown, Top, Bottom };

// A list box's keys: Up and Down a line, Page Up and Page Down a page, Home and End to the first
// and the last line.
enum class ListStep { LineUp, LineDown, PageUp, PageDown, First, Last };

class Dialog {
public:
    Dialog(std::u16string caption, int width, int height)
        : caption_(std::move(caption)), width_(width), height_(height) {}
    virtual ~Dialog() = default;

    // The dialog class: called once before the first frame, for every command (buttons, kIdOk 1
    // on Return, kIdCancel 2 on Escape or the close box, focus notifications of edit boxes) and
    // for slider moves.
    virtual void OnInit() {}
    virtual void OnCommand(int id, int notify);
    virtual void OnScroll(int /*id*/, int /*position*/) {}

    void End(std::intptr_t result) {
        ended_ = true;
        result_ = result;
    }
    bool ended() const { return ended_; }
    std::intptr_t result() const { return result_; }
    const std::u16string& caption() const { return caption_; }
    int width() const { return width_; }
    int height() const { return height_; }

    Control& Add(Control control);
    Control* Find(int id);
    std::vector<Control>& controls() { return controls_; }

    // What the dialog class uses on its controls (unknown ids do nothing / give empty values).
    void SetText(int id, std::u16string text);
    std::u16string Text(int id);
    void SetCheck(int id, int check);
    int Check(int id);
    void Enable(int id, bool enabled);
    void SetItems(int id, std::vector<std::u16string> items);
    void SetSelection(int id, int index);
    int Selection(int id);
    void SetSliderRange(int id, int minimum, int maximum);
    void SetSliderPosition(int id, int position);
    int SliderPosition(int id);
    // The keyboard focus: a control that takes input (not a static or a picture), enabled and
    // shown; 0 takes it away. An edit box losing it is told (kNotifyKillFocus) before the one
    // taking it (kNotifySetFocus). Returns whether the focus is now on that control.
    bool Focus(int id);
    int focused() const { return focus_; }

    // What the player does; each runs the dialog class as the platform would. Clicking,
    // choosing and sliding move the focus to the control first, so an edit box is told it lost
    // the focus before the command that took it away. Typing replaces an edit box's contents
    // and leaves the focus where it is (the window layer focuses a box when it is clicked; a
    // script calls Focus). Return (Accept) and Escape (Cancel) leave the focus alone too: the
    // dialog class can tell Return in an edit box from a click on OK.
    void Click(int id);                                         // buttons, check and radio buttons
    void Choose(int id, int index, bool double_click = false);  // list and combo boxes
    void Type(int id, std::u16string text);                     // edit box contents replaced
    void Slide(int id, int position);
    // A trackbar key on a slider: moves it as Slide does, by a line (1), a page or to an end.
    void StepSlider(int id, SliderStep step);
    // A key on a list box showing `lines_shown` lines: selects as Choose does, a page being one
    // line less than what is shown, so that the line at the edge stays in sight. With nothing
    // selected, End selects the last line and every other key the first.
    void StepList(int id, ListStep step, int lines_shown);
    // An access key pressed (upper case, host/ui/access_key.h): the first shown and enabled
    // button, check box or radio button whose label marks it. Without Alt the key picks nothing
    // while an edit box has the focus: there it is typed. 0 when nothing answers the key.
    int AccessKeyTarget(char16_t key, bool alt);
    // Clicks what answers the key; false when nothing does.
    bool PressAccessKey(char16_t key, bool alt);
    void Cancel() { OnCommand(2, kNotifyClicked); }
    void Accept() { OnCommand(1, kNotifyClicked); }

private:
    static void Touch(Control& c) { ++c.version; }

    std::u16string caption_;
    int width_, height_;
    std::vector<Control> controls_;
    bool ended_ = false;
    std::intptr_t result_ = 0;
    int focus_ = 0;
};

// Where modal message boxes and dialogs run: over the frozen game picture in the real window,
// or answered from a script in the test host. Usable from inside a frame step.
class ModalUi {
public:
    virtual ~ModalUi() = default;
    // Styles and answers of lib/report_hook.h (kMbYesNo, kIdYes, ...).
    virtual int MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) = 0;
    // Runs the dialog's OnInit, then its loop until it ends; returns its result.
    virtual std::intptr_t RunDialog(Dialog& dialog) = 0;
};

}  // namespace host
