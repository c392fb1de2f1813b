#include <gtest/gtest.h>

#include <vector>

#include "host/testhost/test_host.h"
#include "host/ui/dialog.h"
#include "lib/report_hook.h"

namespace {

enum { kList = 1000, kEdit = 1001, kCheck = 1002, kRadioA = 1003, kRadioB = 1004, kSlider = 1005, kCombo = 1006 };

// A small dialog class as the game's dialogs are written: state in controls, logic in handlers.
class SampleDialog : public host::Dialog {
public:
    SampleDialog() : Dialog(u"設定", 300, 200) {
        Add({kList, host::ControlKind::ListBox});
        Add({kEdit, host::ControlKind::Edit}).max_length = 4;
        Add({kCheck, host::ControlKind::CheckBox});
        Add({kRadioA, host::ControlKind::RadioButton}).group = 1;
        Add({kRadioB, host::ControlKind::RadioButton}).group = 1;
        Add({kSlider, host::ControlKind::Slider});
        Add({kCombo, host::ControlKind::ComboBox});
        Add({1, host::ControlKind::DefaultButton, {}, u"OK"});
    }
    void OnInit() override {
        SetItems(kList, {u"一", u"二", u"三"});
        SetItems(kCombo, {u"a", u"b"});
        SetSelection(kList, 0);
        SetCheck(kRadioA, 1);
        SetSliderRange(kSlider, 0, 10);
        ++inits;
    }
    void OnCommand(int id, int notify) override {
        commands.push_back({id, notify});
        if (id == kList && notify == host::kNotifyDoubleClick) End(100 + Selection(kList));
        if (id == 1) End(Check(kCheck) ? 2000 + SliderPosition(kSlider) : 1);
        if (id == 2) End(-1);
    }
    void OnScroll(int id, int position) override { scrolls.push_back({id, position}); }

    int inits = 0;
    std::vector<std::pair<int, int>> commands;
    std::vector<std::pair<int, int>> scrolls;
};

TEST(Dialog, ControlsNotifyTheDialogClassAsThePlatformWould) {
    SampleDialog d;
    d.OnInit();
    d.Click(kCheck);
    EXPECT_EQ(d.Check(kCheck), 1);
    d.Click(kRadioB);
    EXPECT_EQ(d.Check(kRadioA), 0) << "radio buttons of a group exclude each other";
    EXPECT_EQ(d.Check(kRadioB), 1);
    d.Choose(kList, 0);  // already selected: no change notice
    d.Choose(kList, 2);
    d.Choose(kList, 7);  // out of range: ignored
    d.Type(kEdit, u"あいうえお");
    EXPECT_EQ(d.Text(kEdit), u"あいうえ") << "an edit box keeps its length limit";
    d.Slide(kSlider, 99);
    EXPECT_EQ(d.SliderPosition(kSlider), 10);
    d.Slide(kSlider, 10);  // no move, no notice
    const std::vector<std::pair<int, int>> expected{{kCheck, host::kNotifyClicked},
                                                    {kRadioB, host::kNotifyClicked},
                                                    {kList, host::kNotifySelChange},
                                                    {kEdit, host::kNotifyEditChange}};
    EXPECT_EQ(d.commands, expected);
    EXPECT_EQ(d.scrolls, (std::vector<std::pair<int, int>>{{kSlider, 10}}));
    // A disabled control ignores the player.
    d.Enable(kCheck, false);
    d.Click(kCheck);
    EXPECT_EQ(d.Check(kCheck), 1);
    EXPECT_EQ(d.commands.size(), expected.size());
}

// An edit box with a narrow limit takes what the player types or pastes only as far as it keeps
// it: what was there stays, and only the end of what was put in is refused.
TEST(Dialog, AnEditBoxRefusesWhatGoesBeyondItsLimitsAndKeepsWhatWasThere) {
    host::Control edit(kEdit, host::ControlKind::Edit);
    edit.max_length = 6;
    edit.max_narrow_bytes = 8;  // four wide characters, or eight narrow ones
    const struct {
        std::u16string before, after, kept;
        std::size_t cursor;
    } cases[] = {
        {u"", u"あいうえお", u"あいうえ", 4},     {u"abcd", u"abあいcd", u"abあいcd", 4},
        {u"abcd", u"abあいうcd", u"abあいcd", 4}, {u"abcdef", u"abcdefg", u"abcdef", 6},
        {u"abcdef", u"aXf", u"aXf", 2},           {u"あいう", u"あいうabc", u"あいうab", 5},
        {u"ab", u"abｱｲｳｴｵ", u"abｱｲｳｴ", 6},
    };
    for (const auto& c : cases) {
        std::size_t cursor = 99;
        EXPECT_EQ(host::FitEditChange(edit, c.before, c.after, &cursor), c.kept);
        EXPECT_EQ(cursor, c.cursor);
    }
    EXPECT_EQ(host::FitEdit(edit, u"aあいうえ"), u"aあいう");
}

TEST(Dialog, ScriptedModalRunsInitThenTheScriptAndReturnsTheResult) {
    testhost::ScriptedModal modal;
    SampleDialog d;
    modal.OnNextDialog([](host::Dialog& dialog) {
        dialog.Click(kCheck);
        dialog.Slide(kSlider, 7);
        dialog.Accept();
    });
    EXPECT_EQ(modal.RunDialog(d), 2007);
    EXPECT_EQ(d.inits, 1);

    SampleDialog second;
    modal.OnNextDialog([](host::Dialog& dialog) { dialog.Choose(kList, 1, true); });
    EXPECT_EQ(modal.RunDialog(second), 101);

    SampleDialog unscripted;  // left open: cancelled as by the close box
    EXPECT_EQ(modal.RunDialog(unscripted), -1);
    EXPECT_EQ(modal.dialogs_run.size(), 3u);
}

TEST(ScriptedModal, AnswersInOrderThenTheFirstButton) {
    testhost::ScriptedModal modal;
    modal.AnswerNext(kIdNo);
    EXPECT_EQ(modal.MessageBox(u"終了", u"終了してもよろしいですか？", kMbYesNo), kIdNo);
    EXPECT_EQ(modal.MessageBox(u"終了", u"終了してもよろしいですか？", kMbYesNo), kIdYes);
    EXPECT_EQ(modal.MessageBox(u"x", u"y", kMbAbortRetryIgnore), kIdAbort);
    ASSERT_EQ(modal.boxes.size(), 3u);
    EXPECT_EQ(modal.boxes[0].caption, u"終了");
}

}  // namespace
