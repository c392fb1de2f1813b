#include <gtest/gtest.h>

#include "host/ui/menu.h"
#include "host/video/scancodes.h"

namespace {

host::MenuModel SampleMenu() {
    host::MenuModel menu;
    host::MenuItem& system = menu.AddPopup(u"システム");
    host::MenuItem& speed = host::MenuModel::AddSubPopup(system, u"描画速度");
    for (int id = 40004; id <= 40009; ++id) host::MenuModel::AddItem(speed, id, u"x");
    host::MenuModel::AddSeparator(system);
    host::MenuModel::AddItem(system, 40000, u"終了(&X)");
    host::MenuItem& scenario = menu.AddPopup(u"シナリオ");
    host::MenuModel::AddItem(scenario, 40003, u"タイトルに戻る(&X)");
    host::MenuItem& debug = menu.AddPopup(u"デバッグ");
    host::MenuModel::AddItem(debug, 40013, u"変数表示");
    return menu;
}

TEST(MenuModel, RadioCheckClearsOnlyItsRangeInItsPopup) {
    host::MenuModel menu = SampleMenu();
    EXPECT_TRUE(menu.Check(40000, true));
    EXPECT_TRUE(menu.CheckRadio(40004, 40009, 40006));
    EXPECT_TRUE(menu.IsChecked(40006));
    EXPECT_TRUE(menu.CheckRadio(40004, 40009, 40009));
    EXPECT_FALSE(menu.IsChecked(40006));
    EXPECT_TRUE(menu.IsChecked(40009));
    EXPECT_TRUE(menu.IsChecked(40000)) << "an item outside the range keeps its check";
    EXPECT_FALSE(menu.CheckRadio(40004, 40009, 49999));
}

TEST(MenuModel, GrayRelabelRemoveAndUnknownCommands) {
    host::MenuModel menu = SampleMenu();
    auto before = menu.version();
    EXPECT_TRUE(menu.Gray(40003, true));
    EXPECT_TRUE(menu.IsGrayed(40003));
    EXPECT_TRUE(menu.Gray(40003, false));
    EXPECT_FALSE(menu.IsGrayed(40003));
    EXPECT_TRUE(menu.Relabel(40013, u"変数"));
    EXPECT_EQ(menu.Find(40013)->label, u"変数");
    EXPECT_GT(menu.version(), before);
    EXPECT_FALSE(menu.Gray(1, true));
    EXPECT_FALSE(menu.Relabel(1, u"x"));
    EXPECT_EQ(menu.Find(1), nullptr);
    // Removing a popup removes its commands.
    EXPECT_TRUE(menu.RemovePopup(2));
    EXPECT_EQ(menu.popups().size(), 2u);
    EXPECT_EQ(menu.Find(40013), nullptr);
    EXPECT_FALSE(menu.RemovePopup(5));
}

TEST(MenuModel, AcceleratorsMatchKeyAndExactModifiers) {
    host::MenuModel menu;
    menu.AddAccelerator({host::kKeyF10, false, false, false, 40002});
    menu.AddAccelerator({host::kKeyReturn, false, true, false, 40001});
    menu.AddAccelerator({host::kKeyZ, true, false, false, 40012});
    EXPECT_EQ(menu.TranslateAccelerator(host::kKeyReturn, false, true, false), 40001);
    EXPECT_FALSE(menu.TranslateAccelerator(host::kKeyReturn, false, false, false));
    EXPECT_EQ(menu.TranslateAccelerator(host::kKeyZ, true, false, false), 40012);
    EXPECT_FALSE(menu.TranslateAccelerator(host::kKeyZ, true, false, true));
    EXPECT_EQ(menu.TranslateAccelerator(host::kKeyF10, false, false, false), 40002);
}

}  // namespace
