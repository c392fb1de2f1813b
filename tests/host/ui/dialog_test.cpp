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

// A focused list box's keys on 99 lines of which 12 are shown: a page is 11 lines, so that the
// line at the edge stays in sight; each key selects as a click does (a change is told, the list
// takes the focus) and asks for the selected line to be shown, even at an end where it stays.
TEST(Dialog, ListKeysMoveTheSelectionAndAskForItToBeShown) {
    using host::ListStep;
    const struct {
        int from;
        ListStep step;
        int to;
    } cases[] = {
        {5, ListStep::LineDown, 6},   {5, ListStep::LineUp, 4},    {0, ListStep::LineUp, 0},
        {98, ListStep::LineDown, 98}, {5, ListStep::PageDown, 16}, {95, ListStep::PageDown, 98},
        {20, ListStep::PageUp, 9},    {5, ListStep::PageUp, 0},    {40, ListStep::First, 0},
        {40, ListStep::Last, 98},     {-1, ListStep::LineDown, 0}, {-1, ListStep::PageUp, 0},
        {-1, ListStep::Last, 98},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        SampleDialog d;
        d.SetItems(kList, std::vector<std::u16string>(99, u"行"));
        d.SetSelection(kList, c.from);
        const std::uint64_t reveal = d.Find(kList)->reveal;
        d.StepList(kList, c.step, 12);
        EXPECT_EQ(d.Selection(kList), c.to);
        EXPECT_EQ(d.focused(), kList);
        EXPECT_GT(d.Find(kList)->reveal, reveal);
        const bool told =
            !d.commands.empty() && d.commands.back() == std::make_pair(int(kList), int(host::kNotifySelChange));
        EXPECT_EQ(told, c.from != c.to);
    }
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
