// The menu bar as data: popups, items keyed by command id, separators, checks (radio groups),
// enabled and grayed items, labels changed at run time, and the accelerator table. The UI layer
// draws it; a pick or an accelerator becomes a command message in the window's queue.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

struct MenuItem {
    enum class Kind { Command, Separator, Popup };
    Kind kind = Kind::Command;
    int command = 0;       // Command only
    std::u16string label;  // "&X" marks the access key, as in the resource texts
    bool checked = false;
    bool grayed = false;             // shown gray and not pickable
    bool unavailable = false;        // nothing answers the command yet: gray whatever Gray says
    std::vector<MenuItem> children;  // Popup only
};

struct Accelerator {
    std::uint8_t key = 0;  // scan code (host/video/scancodes.h)
    bool ctrl = false, alt = false, shift = false;
    int command = 0;
};

class MenuModel {
public:
    // The top-level popups, in order.
    std::vector<MenuItem>& popups() { return popups_; }
    const std::vector<MenuItem>& popups() const { return popups_; }

    // Builders, used to describe the program's menu.
    MenuItem& AddPopup(std::u16string label);
    static MenuItem& AddItem(MenuItem& popup, int command, std::u16string label);
    static MenuItem& AddSubPopup(MenuItem& popup, std::u16string label);
    static void AddSeparator(MenuItem& popup);

    // Operations by command id; each returns false when no item has the command.
    MenuItem* Find(int command);
    bool Check(int command, bool checked);
    // Checks `command` and clears the other items of first..last that share its popup.
    bool CheckRadio(int first, int last, int command);
    bool Gray(int command, bool grayed);
    // Grays the item for good: a later Gray(command, false) leaves it gray. For commands whose
    // screen the program does not offer.
    bool MakeUnavailable(int command);
    bool Relabel(int command, std::u16string label);
    bool IsChecked(int command);
    bool IsGrayed(int command);
    // Removes a top-level popup by position; false when there is none.
    bool RemovePopup(std::size_t position);

    void AddAccelerator(const Accelerator& accelerator) { accelerators_.push_back(accelerator); }
    // The command for a key press, given the modifiers held.
    std::optional<int> TranslateAccelerator(std::uint8_t key, bool ctrl, bool alt, bool shift) const;

    // The first item of `items` (a popup's, or the top-level popups) that an access key picks:
    // not a separator, not gray, its label marking the key (upper case). Null for none.
    static const MenuItem* ItemForAccessKey(const std::vector<MenuItem>& items, char16_t key);

    // Counts changes, so that a drawing layer knows when to rebuild its labels.
    std::uint64_t version() const { return version_; }

private:
    // Applies `change` to the item of `command` and counts a new version; false when there is none.
    template <class Change>
    bool ChangeItem(int command, Change change);

    std::vector<MenuItem> popups_;
    std::vector<Accelerator> accelerators_;
    std::uint64_t version_ = 0;
};

}  // namespace host
