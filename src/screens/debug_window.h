// The debug window for the script author: where the running script stands (its line and what the
// scene-state records hold), a variable of the live table shown or changed, every variable or
// every scene name reached listed, and a jump to a label that the story takes when it next looks
// at the request (at the end of the page it waits on).
//
// The window reads the script group it is opened on; it never runs the script itself, and the
// script does not run while it is open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/ui/dialog.h"

class ScriptStateGroup_App;

class DebugWindowDialog : public host::Dialog {
public:
    enum : int {
        kNameEdit = 1063,
        kValueEdit = 1064,
        kShowButton = 1065,
        kChangeButton = 1066,
        kLabelEdit = 1067,
        kJumpButton = 1068,
        kChrStatic = 1069,
        kGrpStatic = 1070,
        kWavStatic = 1071,
        kS1Static = 1072,
        kS2Static = 1073,
        kVariableListButton = 1074,
        kChlStatic = 1075,
        kSceneFlagButton = 1076,
        kLineStatic = 1077,
    };
    // A variable name or a label holds at most 29 characters (a field of 30 with its zero): the
    // fields cut what is typed or pasted beyond.
    static constexpr std::size_t kNameUnits = 29;
    // The value field holds more than any 32-bit number needs; what it holds is read bounded.
    static constexpr std::size_t kValueUnits = 31;

    // Message boxes and the list dialogs run on `modal`, over this window.
    DebugWindowDialog(ScriptStateGroup_App& group, host::ModalUi& modal);

    void OnInit() override;
    void OnCommand(int id, int notify) override;

private:
    void ShowPageInfo();
    void ShowVariable();
    void ChangeVariable();
    void Jump();
    // A message box over this window; its answer.
    int Box(std::u16string_view caption, std::u16string_view text, unsigned style);

    ScriptStateGroup_App& group_;
    host::ModalUi& modal_;
};

// The list dialog of both lists: a fixed-pitch list and OK; OK, Return and Escape end it with 0.
class ListDialog : public host::Dialog {
public:
    enum : int { kList = 1071 };

    explicit ListDialog(std::u16string caption);
    void OnCommand(int id, int notify) override;
};

// Every variable of the live table in table order, "%8s : %d" (name right-aligned in 8 columns).
class VariableListDialog : public ListDialog {
public:
    VariableListDialog() : ListDialog(u"変数一覧") {}
    void OnInit() override;
};

// Every scene name the story has reached, in the order reached.
class SceneFlagListDialog : public ListDialog {
public:
    explicit SceneFlagListDialog(const ScriptStateGroup_App& group)
        : ListDialog(u"シーン再生フラグ一覧"), group_(group) {}
    void OnInit() override;

private:
    const ScriptStateGroup_App& group_;
};

// The number the value field holds, read as the C runtime reads an integer: blanks, a sign, then
// digits up to the first other character; no digits give 0, and a number beyond 32 bits stops at
// the nearest end of the range instead of wrapping.
std::int32_t ParseTypedNumber(std::u16string_view text);

// Runs the debug window over the running story (CurrentScript) on `modal`; with no story running
// nothing opens. Returns the window's result: 0 after a jump was asked for, -1 when it was
// closed, and -1 when none was opened.
std::intptr_t OpenDebugWindow(host::ModalUi& modal);
