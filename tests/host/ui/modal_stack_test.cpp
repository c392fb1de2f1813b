#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "host/testhost/test_host.h"
#include "host/ui/dialog.h"
#include "host/ui/modal_stack.h"
#include "lib/report_hook.h"

namespace {

using Notice = std::pair<int, int>;  // control id, notification code

enum {
    kList = 1021,
    kComment = 1023,
    kRename = 1024,
    kOther = 1030,
    kLabel = 1031,
    kLocked = 1032,
    kSlider = 1033,
    kOpen = 1034
};

// Every command the dialog class hears, in order; OK and Cancel end it as the default does.
class LoggingDialog : public host::Dialog {
public:
    explicit LoggingDialog(std::u16string caption = u"記録") : Dialog(std::move(caption), 300, 200) {
        Add({kList, host::ControlKind::ListBox});
        Add({kComment, host::ControlKind::Edit});
        Add({kOther, host::ControlKind::Edit});
        Add({kLabel, host::ControlKind::Static, {}, u"コメント"});
        Add({kLocked, host::ControlKind::Edit}).enabled = false;
        Add({kSlider, host::ControlKind::Slider});
        Add({kRename, host::ControlKind::Button, {}, u"修正"});
        Add({kOpen, host::ControlKind::Button, {}, u"開く"});
        Add({1, host::ControlKind::DefaultButton, {}, u"OK"});
    }
    void OnInit() override { SetItems(kList, {u"01", u"02"}); }
    void OnCommand(int id, int notify) override {
        log.push_back({id, notify});
        Dialog::OnCommand(id, notify);
    }
    std::vector<Notice> log;
};

TEST(DialogFocus, EditBoxesHearTheFocusLeaveBeforeTheControlThatTookIt) {
    using host::kNotifyClicked, host::kNotifyKillFocus, host::kNotifySetFocus, host::kNotifySelChange;
    struct Step {
        const char* what;
        std::function<void(LoggingDialog&)> act;
        int focused;
        std::vector<Notice> heard;
    };
    const std::vector<Step> steps{
        {"focus an edit box", [](auto& d) { d.Focus(kComment); }, kComment, {{kComment, kNotifySetFocus}}},
        {"focus it again", [](auto& d) { d.Focus(kComment); }, kComment, {}},
        {"another edit box",
         [](auto& d) { d.Focus(kOther); },
         kOther,
         {{kComment, kNotifyKillFocus}, {kOther, kNotifySetFocus}}},
        {"typing keeps the focus where it is",
         [](auto& d) { d.Type(kComment, u"x"); },
         kOther,
         {{kComment, host::kNotifyEditChange}}},
        {"a click: the edit box first, then the button",
         [](auto& d) { d.Click(kRename); },
         kRename,
         {{kOther, kNotifyKillFocus}, {kRename, kNotifyClicked}}},
        {"a list choice",
         [](auto& d) {
             d.Focus(kComment);
             d.log.clear();
             d.Choose(kList, 1);
         },
         kList,
         {{kComment, kNotifyKillFocus}, {kList, kNotifySelChange}}},
        {"a slider",
         [](auto& d) {
             d.Focus(kComment);
             d.log.clear();
             d.Slide(kSlider, 5);
         },
         kSlider,
         {{kComment, kNotifyKillFocus}}},
        {"a static or a disabled box takes no focus",
         [](auto& d) {
             d.Focus(kComment);
             d.log.clear();
             EXPECT_FALSE(d.Focus(kLabel));
             EXPECT_FALSE(d.Focus(kLocked));
             EXPECT_FALSE(d.Focus(4711));
         },
         kComment,
         {}},
        {"a click on an edit box or a list is no command",
         [](auto& d) {
             d.Click(kOther);
             d.Click(kList);
         },
         kComment,
         {}},
        {"Return leaves the focus in the edit box", [](auto& d) { d.Accept(); }, kComment, {{1, kNotifyClicked}}},
        {"focus taken away", [](auto& d) { d.Focus(0); }, 0, {{kComment, kNotifyKillFocus}}},
    };
    LoggingDialog d;
    d.OnInit();
    for (const Step& step : steps) {
        d.log.clear();
        step.act(d);
        EXPECT_EQ(d.log, step.heard) << step.what;
        EXPECT_EQ(d.focused(), step.focused) << step.what;
    }
}

TEST(DialogFocus, AHandlerMovingTheFocusOnDecidesWhereItEnds) {
    // The comment box hands the focus on to the list when it loses it.
    class Handing : public LoggingDialog {
    public:
        void OnCommand(int id, int notify) override {
            LoggingDialog::OnCommand(id, notify);
            if (id == kComment && notify == host::kNotifyKillFocus) Focus(kList);
        }
    } d;
    d.OnInit();
    d.Focus(kComment);
    d.log.clear();
    EXPECT_FALSE(d.Focus(kOther));
    EXPECT_EQ(d.focused(), kList);
    EXPECT_EQ(d.log, (std::vector<Notice>{{kComment, host::kNotifyKillFocus}})) << "the box passed over hears nothing";
}

// The comment editing of a load dialog: Return while the comment box has the focus renames the
// slot and sends the focus back to the list; OK clicked (or Return elsewhere) loads it.
class CommentDialog : public LoggingDialog {
public:
    void OnCommand(int id, int notify) override {
        if (id == kComment && notify == host::kNotifySetFocus) editing = true;
        if (id == kComment && notify == host::kNotifyKillFocus) editing = false;
        if (id == kRename && notify == host::kNotifyClicked) renamed.push_back(Text(kComment));
        if (id == 1 && notify == host::kNotifyClicked) {
            if (editing) {
                OnCommand(kRename, host::kNotifyClicked);
                Focus(kList);
                return;
            }
            return End(Selection(kList));
        }
    }
    bool editing = false;
    std::vector<std::u16string> renamed;
};

TEST(DialogFocus, ReturnInTheCommentBoxRenamesAndAClickOnOkLoads) {
    CommentDialog d;
    d.OnInit();
    d.Choose(kList, 1);
    d.Focus(kComment);
    d.Type(kComment, u"城の前");
    d.Accept();
    EXPECT_FALSE(d.ended()) << "Return in the comment box does not load";
    EXPECT_EQ(d.renamed, std::vector<std::u16string>{u"城の前"});
    EXPECT_EQ(d.focused(), kList);
    EXPECT_FALSE(d.editing) << "the comment box heard that the focus left it";
    d.Accept();
    EXPECT_TRUE(d.ended()) << "Return on the list loads";
    EXPECT_EQ(d.result(), 1);

    CommentDialog clicked;
    clicked.OnInit();
    clicked.Choose(kList, 0);
    clicked.Focus(kComment);
    clicked.Type(kComment, u"x");
    clicked.Click(1);
    EXPECT_TRUE(clicked.ended()) << "the focus left the comment box before OK's command";
    EXPECT_TRUE(clicked.renamed.empty());
}

// A dialog whose commands open further modals: kRename asks a yes/no question (Yes ends the
// dialog with 10), kOpen runs the dialog `inner` and ends with its result plus 100.
class AskingDialog : public LoggingDialog {
public:
    AskingDialog(host::ModalUi& modal, std::u16string caption) : LoggingDialog(std::move(caption)), modal_(modal) {}
    void OnCommand(int id, int notify) override {
        LoggingDialog::OnCommand(id, notify);
        if (notify != host::kNotifyClicked) return;
        if (id == kRename &&
            modal_.MessageBox(u"上書き", u"3番のデータに上書きしてもよろしいですか？", kMbYesNo) == kIdYes)
            End(10);
        if (id == kOpen && inner) End(100 + modal_.RunDialog(*inner));
    }
    host::Dialog* inner = nullptr;

private:
    host::ModalUi& modal_;
};

TEST(ScriptedModalStack, ABoxOverADialogIsAskedAndAnsweredFromTheScript) {
    testhost::ScriptedModal modal;
    AskingDialog d(modal, u"セーブ");
    std::vector<bool> open_after;
    modal.AnswerNext(kIdNo);
    modal.AnswerNext(kIdYes);
    modal.OnNextDialog([&](host::Dialog& dialog) {
        dialog.Click(kRename);
        open_after.push_back(!dialog.ended());
        dialog.Click(kRename);
        open_after.push_back(!dialog.ended());
    });
    EXPECT_EQ(modal.RunDialog(d), 10);
    EXPECT_EQ(open_after, (std::vector<bool>{true, false})) << "No keeps the dialog open, Yes goes on";
    ASSERT_EQ(modal.boxes.size(), 2u);
    EXPECT_EQ(modal.boxes[0].caption, u"上書き");
    EXPECT_EQ(modal.box_depths, (std::vector<std::size_t>{2, 2})) << "each box stood over the dialog";
    EXPECT_TRUE(modal.stack().empty());
}

TEST(ScriptedModalStack, DialogsOpenedFromDialogsRunTheirOwnScripts) {
    testhost::ScriptedModal modal;
    AskingDialog outer(modal, u"外"), middle(modal, u"中");
    LoggingDialog inner(u"内");
    outer.inner = &middle;
    middle.inner = &inner;
    std::vector<std::size_t> depths;
    modal.OnNextDialog([&](host::Dialog& d) {
        depths.push_back(modal.stack().depth());
        d.Click(kOpen);
    });
    modal.OnNextDialog([&](host::Dialog& d) {
        depths.push_back(modal.stack().depth());
        d.Click(kOpen);
    });
    modal.OnNextDialog([&](host::Dialog& d) {
        depths.push_back(modal.stack().depth());
        d.Choose(kList, 1);
        d.Accept();
    });
    EXPECT_EQ(modal.RunDialog(outer), 100 + 100 + 1);
    EXPECT_EQ(depths, (std::vector<std::size_t>{1, 2, 3}));
    EXPECT_EQ(modal.dialogs_run, (std::vector<std::u16string>{u"外", u"中", u"内"}));
    EXPECT_EQ(inner.log.back(), (Notice{1, host::kNotifyClicked}));
    EXPECT_TRUE(modal.stack().empty());
}

// Throws from the step it is told, once.
class ThrowingDialog : public LoggingDialog {
public:
    enum class Where { Init, Command };
    explicit ThrowingDialog(Where where) : where_(where) {}
    void OnInit() override {
        LoggingDialog::OnInit();
        if (where_ == Where::Init) throw std::runtime_error("init");
    }
    void OnCommand(int id, int notify) override {
        if (where_ == Where::Command && id == kRename) throw std::runtime_error("command");
        LoggingDialog::OnCommand(id, notify);
    }

private:
    Where where_;
};

TEST(ScriptedModalStack, AnExceptionLeavesThroughEveryRunAndTheStackIsUsableAfter) {
    struct Case {
        const char* what;
        ThrowingDialog::Where where;
        bool nested;  // thrown from a dialog opened by another one's command
    };
    for (const Case& c :
         {Case{"OnInit", ThrowingDialog::Where::Init, false}, Case{"OnCommand", ThrowingDialog::Where::Command, false},
          Case{"OnInit of a dialog over a dialog", ThrowingDialog::Where::Init, true},
          Case{"OnCommand of a dialog over a dialog", ThrowingDialog::Where::Command, true}}) {
        testhost::ScriptedModal modal;
        ThrowingDialog thrower(c.where);
        AskingDialog opener(modal, u"外");
        opener.inner = &thrower;
        if (c.nested) modal.OnNextDialog([](host::Dialog& d) { d.Click(kOpen); });
        modal.OnNextDialog([](host::Dialog& d) { d.Click(kRename); });
        EXPECT_THROW(modal.RunDialog(c.nested ? static_cast<host::Dialog&>(opener) : thrower), std::runtime_error)
            << c.what;
        EXPECT_TRUE(modal.stack().empty()) << c.what;

        LoggingDialog next;
        modal.OnNextDialog([](host::Dialog& d) { d.Accept(); });
        EXPECT_EQ(modal.RunDialog(next), 1) << c.what << ": the next dialog runs";
        modal.AnswerNext(kIdNo);
        EXPECT_EQ(modal.MessageBox(u"a", u"b", kMbYesNo), kIdNo) << c.what;
        EXPECT_EQ(modal.box_depths.back(), 1u) << c.what << ": a box over nothing";
    }
}

TEST(ModalStack, AQuitAnswersTheBoxAndCancelsEveryDialogTopFirst) {
    host::ModalStack stack;
    LoggingDialog outer(u"外"), inner(u"内");
    std::vector<std::u16string> cancelled;
    int box_answer = 0;
    auto run = [&](host::OpenModal& modal) {
        if (&modal == &stack.at(0)) {
            // The outer dialog's command opens the inner one.
            stack.RunDialog(inner, [&](host::OpenModal& over) {
                box_answer =
                    stack.MessageBox(u"削除", u"削除してもよろしいですか？", kMbYesNo, [&](host::OpenModal& box) {
                        stack.RequestQuit();
                        return box.answer;
                    });
                EXPECT_TRUE(host::ModalStack::HonourQuit(over));
                cancelled.push_back(inner.caption());
            });
        }
        EXPECT_TRUE(host::ModalStack::HonourQuit(modal));
        cancelled.push_back(outer.caption());
    };
    EXPECT_EQ(stack.RunDialog(outer, run), 2) << "cancelled as by the close box";
    EXPECT_EQ(box_answer, kIdNo) << "a yes/no box takes its last answer";
    EXPECT_EQ(inner.result(), 2);
    EXPECT_EQ(inner.log, (std::vector<Notice>{{2, host::kNotifyClicked}}));
    EXPECT_EQ(cancelled, (std::vector<std::u16string>{u"内", u"外"}));
    EXPECT_TRUE(stack.empty());

    // A dialog class that will not be cancelled is ended with -1.
    class Stubborn : public host::Dialog {
    public:
        Stubborn() : Dialog(u"x", 10, 10) {}
        void OnCommand(int, int) override {}
    } stubborn;
    EXPECT_EQ(stack.RunDialog(stubborn,
                              [&](host::OpenModal& modal) {
                                  stack.RequestQuit();
                                  host::ModalStack::HonourQuit(modal);
                              }),
              -1);
}

}  // namespace
