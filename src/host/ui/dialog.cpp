#include "host/ui/dialog.h"

#include <algorithm>

#include "host/ui/access_key.h"
#include "lib/text.h"

namespace host {

namespace {

bool IsClickable(ControlKind kind) {
    return kind == ControlKind::Button || kind == ControlKind::DefaultButton || kind == ControlKind::CheckBox ||
           kind == ControlKind::RadioButton;
}

// The units of the character starting at `at`: a surrogate pair is one character.
std::size_t CharacterUnits(std::u16string_view text, std::size_t at) {
    const bool pair = text[at] >= 0xD800 && text[at] <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
                      text[at + 1] <= 0xDFFF;
    return pair ? 2 : 1;
}

// The units of the longest start of `text`, in whole characters, that adds to the `used` units
// and `bytes` already there without passing the box's limits; both are advanced by what is taken.
std::size_t FittingUnits(const Control& edit, std::u16string_view text, std::size_t& used, std::size_t& bytes) {
    std::size_t units = 0;
    while (units < text.size()) {
        const std::size_t length = CharacterUnits(text, units);
        if (used + length > edit.max_length) break;
        if (edit.max_narrow_bytes != 0) {
            // A character CP932 lacks counts as the one byte it is stored as.
            const std::size_t size = Utf16ToCp932(text.substr(units, length)).size();
            if (bytes + size > edit.max_narrow_bytes) break;
            bytes += size;
        }
        used += length;
        units += length;
    }
    return units;
}

void FitToEdit(const Control& edit, std::u16string& text) { text = FitEdit(edit, text); }

}  // namespace

std::u16string FitEdit(const Control& edit, std::u16string_view text) {
    std::size_t units = 0, bytes = 0;
    return std::u16string(text.substr(0, FittingUnits(edit, text, units, bytes)));
}

std::u16string FitEditChange(const Control& edit, std::u16string_view before, std::u16string_view after,
                             std::size_t* cursor) {
    // What was put in lies between the start and the end the two texts share.
    std::size_t head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head]) ++head;
    std::size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    // Never split a surrogate pair between the shared start and what was put in.
    if (head > 0 && head < after.size() && after[head] >= 0xDC00 && after[head] <= 0xDFFF) --head;
    const std::u16string_view start = after.substr(0, head), end = after.substr(after.size() - tail);
    const std::u16string_view put = after.substr(head, after.size() - head - tail);
    std::size_t units = 0, bytes = 0;
    std::u16string kept(start.substr(0, FittingUnits(edit, start, units, bytes)));
    // The end that stays takes its room first: only what was put in is refused.
    std::size_t end_used = 0, end_bytes = 0;
    const std::size_t end_units = FittingUnits(edit, end, end_used, end_bytes);
    std::size_t put_used = units + end_used, put_bytes = bytes + end_bytes;
    kept += put.substr(0, FittingUnits(edit, put, put_used, put_bytes));
    if (cursor) *cursor = kept.size();
    kept += end.substr(0, end_units);
    return FitEdit(edit, kept);
}

void Dialog::OnCommand(int id, int notify) {
    // The default dialog procedure: OK and Cancel end the dialog with their id (not a focus
    // notice of a control that happens to carry one of those ids).
    if ((id == 1 || id == 2) && notify == kNotifyClicked) End(id);
}

Control& Dialog::Add(Control control) {
    controls_.push_back(std::move(control));
    return controls_.back();
}

Control* Dialog::Find(int id) {
    for (Control& c : controls_)
        if (c.id == id) return &c;
    return nullptr;
}

void Dialog::SetText(int id, std::u16string text) {
    if (Control* c = Find(id)) {
        if (c->kind == ControlKind::Edit) FitToEdit(*c, text);
        c->text = std::move(text);
        Touch(*c);
    }
}

std::u16string Dialog::Text(int id) {
    Control* c = Find(id);
    return c ? c->text : std::u16string();
}

void Dialog::SetCheck(int id, int check) {
    if (Control* c = Find(id)) {
        c->check = check;
        Touch(*c);
    }
}

int Dialog::Check(int id) {
    Control* c = Find(id);
    return c ? c->check : 0;
}

void Dialog::Enable(int id, bool enabled) {
    if (Control* c = Find(id)) {
        c->enabled = enabled;
        Touch(*c);
    }
}

void Dialog::SetItems(int id, std::vector<std::u16string> items) {
    if (Control* c = Find(id)) {
        c->items = std::move(items);
        c->selection = -1;
        Touch(*c);
    }
}

void Dialog::SetSelection(int id, int index) {
    if (Control* c = Find(id)) {
        c->selection = (index >= 0 && index < static_cast<int>(c->items.size())) ? index : -1;
        if (c->selection >= 0) ++c->reveal;
        Touch(*c);
    }
}

int Dialog::Selection(int id) {
    Control* c = Find(id);
    return c ? c->selection : -1;
}

void Dialog::SetSliderRange(int id, int minimum, int maximum) {
    if (Control* c = Find(id)) {
        c->minimum = std::min(minimum, maximum);
        c->maximum = std::max(minimum, maximum);
        c->position = std::clamp(c->position, c->minimum, c->maximum);
        Touch(*c);
    }
}

void Dialog::SetSliderPosition(int id, int position) {
    if (Control* c = Find(id)) {
        c->position = std::clamp(position, c->minimum, c->maximum);
        Touch(*c);
    }
}

int Dialog::SliderPosition(int id) {
    Control* c = Find(id);
    return c ? c->position : 0;
}

bool Dialog::Focus(int id) {
    if (id != 0) {
        const Control* c = Find(id);
        if (!c || !c->enabled || !c->visible || c->kind == ControlKind::Static || c->kind == ControlKind::Picture)
            return false;
    }
    if (id == focus_) return true;
    const int old = focus_;
    // While the old control is told, the focus is nowhere: a handler that moves it on decides
    // where it ends, and the control passed over hears nothing.
    focus_ = 0;
    if (const Control* c = old ? Find(old) : nullptr; c && c->kind == ControlKind::Edit)
        OnCommand(old, kNotifyKillFocus);
    if (focus_ != 0) return focus_ == id;
    focus_ = id;
    if (const Control* c = id ? Find(id) : nullptr; c && c->kind == ControlKind::Edit) OnCommand(id, kNotifySetFocus);
    return focus_ == id;
}

void Dialog::Click(int id) {
    Control* c = Find(id);
    if (!c || !c->enabled || !c->visible || !IsClickable(c->kind)) return;
    Focus(id);
    c = Find(id);  // the focus handlers may have added controls
    if (!c) return;
    if (c->kind == ControlKind::CheckBox) {
        c->check = c->check ? 0 : 1;
        Touch(*c);
    } else if (c->kind == ControlKind::RadioButton) {
        for (Control& other : controls_)
            if (other.kind == ControlKind::RadioButton && other.group == c->group && other.check) {
                other.check = 0;
                Touch(other);
            }
        c->check = 1;
        Touch(*c);
    }
    OnCommand(id, kNotifyClicked);
}

void Dialog::Choose(int id, int index, bool double_click) {
    Control* c = Find(id);
    if (!c || !c->enabled || (c->kind != ControlKind::ListBox && c->kind != ControlKind::ComboBox)) return;
    if (index < 0 || index >= static_cast<int>(c->items.size())) return;
    Focus(id);
    c = Find(id);
    if (!c || index >= static_cast<int>(c->items.size())) return;
    bool changed = c->selection != index;
    c->selection = index;
    ++c->reveal;
    Touch(*c);
    if (changed) OnCommand(id, kNotifySelChange);
    if (double_click && c->kind == ControlKind::ListBox) OnCommand(id, kNotifyDoubleClick);
}

void Dialog::Type(int id, std::u16string text) {
    Control* c = Find(id);
    if (!c || !c->enabled || c->kind != ControlKind::Edit) return;
    FitToEdit(*c, text);
    if (text == c->text) return;
    c->text = std::move(text);
    Touch(*c);
    OnCommand(id, kNotifyEditChange);
}

void Dialog::Slide(int id, int position) {
    Control* c = Find(id);
    if (!c || !c->enabled || c->kind != ControlKind::Slider) return;
    Focus(id);
    c = Find(id);
    if (!c) return;
    position = std::clamp(position, c->minimum, c->maximum);
    if (position == c->position) return;
    c->position = position;
    Touch(*c);
    OnScroll(id, position);
}

void Dialog::StepSlider(int id, SliderStep step) {
    const Control* c = Find(id);
    if (!c || c->kind != ControlKind::Slider) return;
    int position = c->position;
    switch (step) {
        case SliderStep::LineUp: position -= 1; break;
        case SliderStep::LineDown: position += 1; break;
        case SliderStep::PageUp: position -= c->page_size; break;
        case SliderStep::PageDown: position += c->page_size; break;
        case SliderStep::Top: position = c->minimum; break;
        case SliderStep::Bottom: position = c->maximum; break;
    }
    Slide(id, position);
}

void Dialog::StepList(int id, ListStep step, int lines_shown) {
    const Control* c = Find(id);
    if (!c || c->kind != ControlKind::ListBox || c->items.empty()) return;
    const int last = static_cast<int>(c->items.size()) - 1;
    const int page = std::max(1, lines_shown - 1);
    int index = c->selection;
    switch (step) {
        case ListStep::LineUp: index -= 1; break;
        case ListStep::LineDown: index += 1; break;
        case ListStep::PageUp: index -= page; break;
        case ListStep::PageDown: index += page; break;
        case ListStep::First: index = 0; break;
        case ListStep::Last: index = last; break;
    }
    if (c->selection < 0) index = step == ListStep::Last ? last : 0;
    // At an end the key still brings the selected line into view.
    Choose(id, std::clamp(index, 0, last));
}

int Dialog::AccessKeyTarget(char16_t key, bool alt) {
    if (key == 0) return 0;
    if (const Control* f = focus_ ? Find(focus_) : nullptr; !alt && f && f->kind == ControlKind::Edit) return 0;
    for (const Control& c : controls_)
        if (c.enabled && c.visible && IsClickable(c.kind) && AccessKey(c.text) == key) return c.id;
    return 0;
}

bool Dialog::PressAccessKey(char16_t key, bool alt) {
    const int id = AccessKeyTarget(key, alt);
    if (id != 0) Click(id);
    return id != 0;
}

}  // namespace host
