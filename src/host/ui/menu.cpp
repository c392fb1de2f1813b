#include "host/ui/menu.h"

#include "host/ui/access_key.h"

namespace host {
namespace {

MenuItem* FindIn(std::vector<MenuItem>& items, int command, std::vector<MenuItem>** owner) {
    for (MenuItem& item : items) {
        if (item.kind == MenuItem::Kind::Command && item.command == command) {
            if (owner) *owner = &items;
            return &item;
        }
        if (item.kind == MenuItem::Kind::Popup)
            if (MenuItem* found = FindIn(item.children, command, owner)) return found;
    }
    return nullptr;
}

}  // namespace

MenuItem& MenuModel::AddPopup(std::u16string label) {
    ++version_;
    popups_.push_back({MenuItem::Kind::Popup, 0, std::move(label), false, false, false, {}});
    return popups_.back();
}

MenuItem& MenuModel::AddItem(MenuItem& popup, int command, std::u16string label) {
    popup.children.push_back({MenuItem::Kind::Command, command, std::move(label), false, false, false, {}});
    return popup.children.back();
}

MenuItem& MenuModel::AddSubPopup(MenuItem& popup, std::u16string label) {
    popup.children.push_back({MenuItem::Kind::Popup, 0, std::move(label), false, false, false, {}});
    return popup.children.back();
}

void MenuModel::AddSeparator(MenuItem& popup) {
    popup.children.push_back({MenuItem::Kind::Separator, 0, {}, false, false, false, {}});
}

MenuItem* MenuModel::Find(int command) { return FindIn(popups_, command, nullptr); }

template <class Change>
bool MenuModel::ChangeItem(int command, Change change) {
    MenuItem* item = Find(command);
    if (!item) return false;
    change(*item);
    ++version_;
    return true;
}

bool MenuModel::Check(int command, bool checked) {
    return ChangeItem(command, [&](MenuItem& item) { item.checked = checked; });
}

bool MenuModel::CheckRadio(int first, int last, int command) {
    std::vector<MenuItem>* owner = nullptr;
    MenuItem* item = FindIn(popups_, command, &owner);
    if (!item) return false;
    for (MenuItem& sibling : *owner)
        if (sibling.kind == MenuItem::Kind::Command && sibling.command >= first && sibling.command <= last)
            sibling.checked = false;
    item->checked = true;
    ++version_;
    return true;
}

bool MenuModel::Gray(int command, bool grayed) {
    return ChangeItem(command, [&](MenuItem& item) { item.grayed = grayed || item.unavailable; });
}

bool MenuModel::MakeUnavailable(int command) {
    return ChangeItem(command, [](MenuItem& item) { item.unavailable = item.grayed = true; });
}

bool MenuModel::Relabel(int command, std::u16string label) {
    return ChangeItem(command, [&](MenuItem& item) { item.label = std::move(label); });
}

bool MenuModel::IsChecked(int command) {
    MenuItem* item = Find(command);
    return item && item->checked;
}

bool MenuModel::IsGrayed(int command) {
    MenuItem* item = Find(command);
    return item && item->grayed;
}

bool MenuModel::RemovePopup(std::size_t position) {
    if (position >= popups_.size()) return false;
    popups_.erase(popups_.begin() + static_cast<std::ptrdiff_t>(position));
    ++version_;
    return true;
}

const MenuItem* MenuModel::ItemForAccessKey(const std::vector<MenuItem>& items, char16_t key) {
    if (key == 0) return nullptr;
    for (const MenuItem& item : items)
        if (item.kind != MenuItem::Kind::Separator && !item.grayed && AccessKey(item.label) == key) return &item;
    return nullptr;
}

std::optional<int> MenuModel::TranslateAccelerator(std::uint8_t key, bool ctrl, bool alt, bool shift) const {
    for (const Accelerator& a : accelerators_)
        if (a.key == key && a.ctrl == ctrl && a.alt == alt && a.shift == shift) return a.command;
    return std::nullopt;
}

}  // namespace host
