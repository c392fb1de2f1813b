#include "host/ui/dialog.h"

#include <algorithm>

#include "host/ui/access_key.h"
#include "lib/text_field.h"

namespace host {

namespace {

bool IsClickable(ControlKind kind) {
    return kind == ControlKind::Button || kind == ControlKind::DefaultButton || kind == ControlKind::CheckBox ||
           kind == ControlKind::RadioButton;
}

// An edit box holds at most max_length units, cut before a surrogate pair that would not fit.
void FitToEdit(const Control& edit, std::u16string& text) { text.resize(FitUtf16(text, edit.max_length + 1)); }

}  // namespace

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
