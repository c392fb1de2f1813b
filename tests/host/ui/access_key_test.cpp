// Access keys and trackbar keys as plain C++: which label marks which key, which button, box
// answer or menu item a key picks, and where a slider's keys move it.
#include <gtest/gtest.h>

#include <vector>

#include "host/ui/access_key.h"
#include "host/ui/dialog.h"
#include "host/ui/menu.h"
#include "host/ui/modal_stack.h"
#include "lib/report_hook.h"

namespace {

using host::ControlKind;

TEST(AccessKey, TheCharacterAfterASingleAmpersandInUpperCase) {
    const struct {
        std::u16string_view label;
        char16_t key;
    } cases[] = {
        {u"終了(&X)", u'X'}, {u"&OK", u'O'}, {u"削除(&d)", u'D'}, {u"&&a&b", u'B'},
        {u"A&&B", 0},        {u"修正", 0},   {u"末尾&", 0},       {u"&1番", u'1'},
    };
    for (const auto& c : cases) EXPECT_EQ(host::AccessKey(c.label), c.key) << std::u16string(c.label).size();
}

enum { kEdit = 10, kList = 11, kDelete = 12, kHidden = 13, kOff = 14, kCheck = 15, kSlider = 16 };

class KeyDialog : public host::Dialog {
public:
    KeyDialog() : Dialog(u"鍵", 300, 200) {
        Add({kEdit, ControlKind::Edit});
        Add({kList, ControlKind::ListBox});
        Add({0, ControlKind::Static, {}, u"見出し(&S)"});  // a label picks nothing
        Add({kHidden, ControlKind::Button, {}, u"隠す(&D)"}).visible = false;
        Add({kOff, ControlKind::Button, {}, u"無効(&D)"}).enabled = false;
        Add({kDelete, ControlKind::Button, {}, u"削除(&D)"});
        Add({kCheck, ControlKind::CheckBox, {}, u"既定(&C)"});
        Add({1, ControlKind::DefaultButton, {}, u"&OK"});
        host::Control& slider = Add({kSlider, ControlKind::Slider});
        slider.minimum = 0, slider.maximum = 255, slider.page_size = 16;
    }
    void OnCommand(int id, int notify) override {
        if (notify == host::kNotifyClicked) clicked.push_back(id);
    }
    void OnScroll(int id, int position) override { scrolls.push_back({id, position}); }
    std::vector<int> clicked;
    std::vector<std::pair<int, int>> scrolls;
};

TEST(DialogAccessKeys, TheFirstShownEnabledButtonMarkingTheKeyIsClickedAndAnEditBoxTypesItWithoutAlt) {
    const struct {
        int focus;
        char16_t key;
        bool alt;
        int clicked;  // 0: nothing
    } cases[] = {
        {kList, u'D', false, kDelete}, {kList, u'D', true, kDelete}, {kEdit, u'D', false, 0},
        {kEdit, u'D', true, kDelete},  {0, u'O', false, 1},          {kList, u'C', false, kCheck},
        {kList, u'S', true, 0},        {kList, u'Q', true, 0},       {kList, 0, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.key));
        KeyDialog d;
        d.Focus(c.focus);
        EXPECT_EQ(d.AccessKeyTarget(c.key, c.alt), c.clicked);
        EXPECT_EQ(d.PressAccessKey(c.key, c.alt), c.clicked != 0);
        EXPECT_EQ(d.clicked, c.clicked ? std::vector<int>{c.clicked} : std::vector<int>{});
        if (c.clicked) {
            EXPECT_EQ(d.focused(), c.clicked) << "a press moves the focus as a click does";
        }
    }
    KeyDialog d;
    d.PressAccessKey(u'C', false);
    EXPECT_EQ(d.Check(kCheck), 1) << "a check box is toggled as by a click";
}

TEST(DialogTrackbarKeys, LinesPagesAndEndsWithinTheRange) {
    const struct {
        int start;
        host::SliderStep step;
        int position;
    } cases[] = {
        {100, host::SliderStep::LineUp, 99}, {100, host::SliderStep::LineDown, 101},
        {100, host::SliderStep::PageUp, 84}, {100, host::SliderStep::PageDown, 116},
        {10, host::SliderStep::PageUp, 0},   {250, host::SliderStep::PageDown, 255},
        {100, host::SliderStep::Top, 0},     {100, host::SliderStep::Bottom, 255},
        {0, host::SliderStep::LineUp, 0},    {255, host::SliderStep::LineDown, 255},
    };
    for (const auto& c : cases) {
        KeyDialog d;
        d.SetSliderPosition(kSlider, c.start);
        d.StepSlider(kSlider, c.step);
        EXPECT_EQ(d.SliderPosition(kSlider), c.position) << c.start << " " << static_cast<int>(c.step);
        // Only a move is reported, as a drag reports it.
        using Scrolls = std::vector<std::pair<int, int>>;
        const Scrolls expected = c.position == c.start ? Scrolls{} : Scrolls{{kSlider, c.position}};
        EXPECT_EQ(d.scrolls, expected);
    }
}

TEST(BoxAccessKeys, TheLettersOfTheButtonsLabelsAnswerTheBox) {
    const struct {
        unsigned style;
        char16_t key;
        int answer;
    } cases[] = {
        {kMbYesNo, u'Y', kIdYes},
        {kMbYesNo | kMbDefaultButton2, u'N', kIdNo},
        {kMbYesNoCancel, u'N', kIdNo},
        {kMbAbortRetryIgnore, u'R', kIdRetry},
        {kMbAbortRetryIgnore, u'I', kIdIgnore},
        {kMbOk, u'Y', 0},
        {kMbOkCancel, u'O', 0},  // "OK" marks no key
        {kMbYesNo, u'A', 0},
    };
    for (const auto& c : cases) EXPECT_EQ(host::BoxAnswerForKey(c.style, c.key), c.answer) << c.style;
    EXPECT_EQ(host::BoxButtonLabel(kIdYes), u"はい(&Y)");
    EXPECT_EQ(host::BoxButtonLabel(kIdNo), u"いいえ(&N)");
}

TEST(MenuAccessKeys, TheFirstPickableItemMarkingTheKey) {
    host::MenuModel menu;
    host::MenuItem& file = menu.AddPopup(u"ファイル(&F)");
    host::MenuModel::AddItem(file, 1, u"開く(&O)");
    host::MenuModel::AddSeparator(file);
    host::MenuModel::AddItem(file, 2, u"保存(&S)");
    host::MenuModel::AddItem(file, 3, u"別名で保存(&S)");
    host::MenuModel::AddSubPopup(file, u"最近(&R)");
    menu.AddPopup(u"表示");
    menu.Gray(2, true);
    const auto& items = menu.popups()[0].children;
    ASSERT_NE(host::MenuModel::ItemForAccessKey(items, u'O'), nullptr);
    EXPECT_EQ(host::MenuModel::ItemForAccessKey(items, u'O')->command, 1);
    EXPECT_EQ(host::MenuModel::ItemForAccessKey(items, u'S')->command, 3) << "a gray item is passed over";
    EXPECT_EQ(host::MenuModel::ItemForAccessKey(items, u'R')->kind, host::MenuItem::Kind::Popup);
    EXPECT_EQ(host::MenuModel::ItemForAccessKey(items, u'X'), nullptr);
    EXPECT_EQ(host::MenuModel::ItemForAccessKey(menu.popups(), u'F'), &menu.popups()[0]);
    EXPECT_EQ(host::MenuModel::ItemForAccessKey(menu.popups(), 0), nullptr);
}

}  // namespace
