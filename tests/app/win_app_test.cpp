// The game window's procedure over the test host: what each menu command and accelerator leaves
// in the request words and settings, the questions it asks, and the items of screens that are
// not installed staying gray.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/menu_commands.h"
#include "app/player_names_dialog.h"
#include "app/runtime.h"
#include "app/settings.h"
#include "app/system_config.h"
#include "app/win_app.h"
#include "dxdraw/screen_surface.h"
#include "host/testhost/test_host.h"
#include "host/video/scancodes.h"
#include "lib/error.h"
#include "lib/report_hook.h"
#include "lib/text_field.h"

namespace {

class WinAppTest : public ::testing::Test {
protected:
    WinAppTest() {
        BuildMainMenu(host.menu(), 1);
        app.MarkMissingScreens();
    }

    // Every screen but the system settings and the manual, each noting that it was opened.
    MenuScreens Screens() {
        MenuScreens screens;
        screens.save_load = [this](host::ModalUi&, int mode) {
            opened.push_back(mode ? "load" : "save");
            return chosen_slot;
        };
        screens.debug_window = [this](host::ModalUi&) { opened.push_back("debug"); };
        screens.sound_settings = [this](host::ModalUi&) { opened.push_back("sound"); };
        return screens;
    }
    void Command(int id) { app.WindowProc({host::kMsgCommand, static_cast<std::uintptr_t>(id), 0, {}}); }
    host::MenuModel& menu() { return host.menu(); }
    testhost::ScriptedModal& modal() { return host.scripted_modal(); }

    testhost::TestHost host;
    std::vector<std::string> opened;
    std::int32_t chosen_slot = -1;
    WinApp app{host.modal(), host.menu(), Screens()};
    ScopedRuntime runtime{host, {.frame = &app}};
};

TEST_F(WinAppTest, TheMenuHasItsItemsAndTheDebugPopupOnlyWithADebugLevel) {
    ASSERT_EQ(menu().popups().size(), 3u);
    EXPECT_EQ(menu().popups()[2].label, u"デバッグ");
    host::MenuModel plain;
    BuildMainMenu(plain, 0);
    EXPECT_EQ(plain.popups().size(), 2u);
    EXPECT_EQ(plain.Find(kMenuDebugWindow), nullptr);
    for (int id : {kMenuQuit, kMenuBackToTitle, kMenuDrawSpeed1, kMenuDrawSpeedAuto, kMenuSave, kMenuLoad,
                   kMenuTextSlow, kMenuTextFastest, kMenuAutoSlow, kMenuAutoFastest, kMenuSoundSettings,
                   kMenuSystemSettings, kMenuPlayerNames, kMenuManual})
        EXPECT_NE(plain.Find(id), nullptr) << id;
    EXPECT_EQ(plain.Find(kMenuAutoOff), nullptr) << "auto-wait index 0 has no item";
}

TEST_F(WinAppTest, AcceleratorsGiveTheirCommands) {
    const struct {
        std::uint8_t key;
        bool ctrl, alt;
        int command;
    } cases[] = {
        {host::kKeyF10, false, false, kMenuF10},
        {host::kKeyReturn, false, true, kMenuScreenMode},
        {host::kKeyZ, true, false, kMenuGoBack},
    };
    for (const auto& c : cases) EXPECT_EQ(menu().TranslateAccelerator(c.key, c.ctrl, c.alt, false), c.command);
    EXPECT_FALSE(menu().TranslateAccelerator(host::kKeyZ, false, false, false)) << "Z alone is a plain key";
    EXPECT_FALSE(menu().TranslateAccelerator(host::kKeyReturn, false, false, false));
}

TEST_F(WinAppTest, CommandsLeaveTheirRequestForTheNextFrame) {
    const struct {
        int command;
        std::vector<int> answers;
        std::int32_t dialog_result, request, quit, load_slot;
        std::vector<std::string> opened;
        std::size_t boxes;
        bool notice;  // "セーブしました" shown for two seconds
    } cases[] = {
        {kMenuBackToTitle, {}, -1, kRequestTitle, 0, -1, {}, 0, false},
        {kMenuGoBack, {kIdYes}, -1, kRequestGoBack, 0, -1, {}, 1, false},
        {kMenuGoBack, {kIdNo}, -1, kRequestNone, 0, -1, {}, 1, false},
        {kMenuQuit, {kIdNo}, -1, kRequestNone, 0, -1, {}, 1, false},
        {kMenuQuit, {kIdYes}, -1, kRequestNone, 1, -1, {}, 1, false},
        {kMenuLoad, {}, -1, kRequestNone, 0, -1, {"load"}, 0, false},  // the dialog cancelled
        {kMenuLoad, {}, 4, kRequestLoad, 0, 4, {"load"}, 0, false},
        {kMenuSave, {}, -1, kRequestNone, 0, -1, {"save"}, 0, false},
        {kMenuSave, {}, 2, kRequestNone, 0, -1, {"save"}, 0, true},
        {kMenuDebugWindow, {}, -1, kRequestNone, 0, -1, {"debug"}, 0, false},
        {kMenuSoundSettings, {}, -1, kRequestNone, 0, -1, {"sound"}, 0, false},
        {kMenuSystemSettings, {}, -1, kRequestNone, 0, -1, {}, 0, false},  // not installed
        {kMenuF10, {}, -1, kRequestNone, 0, -1, {}, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        PendingRequest = kRequestNone;
        QuitRequested = 0;
        RequestedLoadSlot = -1;
        opened.clear();
        modal().boxes.clear();
        chosen_slot = c.dialog_result;
        for (int answer : c.answers) modal().AnswerNext(answer);
        const int frames = host.test_window().frames();
        Command(c.command);
        EXPECT_EQ(PendingRequest, c.request);
        EXPECT_EQ(QuitRequested, c.quit);
        EXPECT_EQ(RequestedLoadSlot, c.load_slot);
        EXPECT_EQ(opened, c.opened);
        EXPECT_EQ(modal().boxes.size(), c.boxes);
        if (c.notice)
            EXPECT_GE(host.test_window().frames() - frames, 119);
        else
            EXPECT_EQ(host.test_window().frames(), frames);
    }
    QuitRequested = 0;
}

TEST_F(WinAppTest, TheGoBackAcceleratorUnwindsTheNextFrameWithCode2) {
    modal().AnswerNext(kIdYes);
    host.test_window().PostMessage({host::kMsgCommand, kMenuGoBack, 0, {}});
    try {
        FrameUpdate();
        FAIL() << "no request";
    } catch (const ScriptException& request) {
        EXPECT_EQ(request.code, 2);
    }
    ASSERT_EQ(modal().boxes.size(), 1u);
    EXPECT_EQ(modal().boxes[0].caption, u"確認");
    EXPECT_EQ(modal().boxes[0].text, u"シナリオを少し戻ります。よろしいですか？");
    EXPECT_EQ(modal().boxes[0].style, unsigned{kMbYesNo | kMbIconQuestion}) << "a question; Yes is the default";
}

TEST_F(WinAppTest, NameChangeOpensTheNameDialogWhichStoresBothNames) {
    const SystemConfigRecord saved = SystemConfig;
    CopyField16(SystemConfig.PlayerName1, u"ユウ");
    CopyField16(SystemConfig.PlayerName2, u"灯守");
    modal().OnNextDialog([](host::Dialog& d) {
        EXPECT_EQ(d.Text(PlayerNamesDialog::kFirstNameEdit), u"ユウ");
        d.Type(PlayerNamesDialog::kFirstNameEdit, u"ミナ");
        d.Type(PlayerNamesDialog::kLastNameEdit, u"岬");
        d.Accept();
    });
    Command(kMenuPlayerNames);
    EXPECT_EQ(modal().dialogs_run, std::vector<std::u16string>{u"主人公の名前"});
    EXPECT_EQ(FieldText(SystemConfig.PlayerName1), u"ミナ");
    EXPECT_EQ(FieldText(SystemConfig.PlayerName2), u"岬");
    SystemConfig = saved;
}

TEST_F(WinAppTest, CloseAsksWithNoAsTheDefaultAndASignalEndsWithoutAsking) {
    modal().AnswerNext(kIdNo);
    app.WindowProc({host::kMsgClose, 0, 0, {}});
    EXPECT_EQ(QuitRequested, 0);
    ASSERT_EQ(modal().boxes.size(), 1u);
    EXPECT_EQ(modal().boxes[0].caption, u"終了");
    EXPECT_EQ(modal().boxes[0].text, u"終了してもよろしいですか？");
    EXPECT_EQ(modal().boxes[0].style, unsigned{kMbYesNo | kMbIconQuestion | kMbDefaultButton2});
    app.WindowProc({host::kMsgQuit, 0, 0, {}});
    EXPECT_EQ(QuitRequested, 1);
    EXPECT_EQ(modal().boxes.size(), 1u) << "no question for a signal";
    EXPECT_THROW(FrameUpdate(), ExceptionHandle);
    QuitRequested = 0;
}

TEST_F(WinAppTest, SettingCommandsCheckTheirRadioItemAndSetTheValue) {
    const struct {
        int command;
        std::int32_t* word;
        std::int32_t value;
        int first, last;
    } cases[] = {
        {kMenuTextSlow, &TextSpeed, 400, kMenuTextSlow, kMenuTextFastest},
        {kMenuTextNormal, &TextSpeed, 200, kMenuTextSlow, kMenuTextFastest},
        {kMenuTextFast, &TextSpeed, 50, kMenuTextSlow, kMenuTextFastest},
        {kMenuTextFastest, &TextSpeed, 0, kMenuTextSlow, kMenuTextFastest},
        {kMenuAutoSlow, &AutoWait, 1000, kMenuAutoOff, kMenuAutoFastest},
        {kMenuAutoNormal, &AutoWait, 600, kMenuAutoOff, kMenuAutoFastest},
        {kMenuAutoFast, &AutoWait, 100, kMenuAutoOff, kMenuAutoFastest},
        {kMenuAutoFastest, &AutoWait, 1, kMenuAutoOff, kMenuAutoFastest},
        {kMenuDrawSpeed16, &DrawSpeed, 16, kMenuDrawSpeed1, kMenuDrawSpeedAuto},
        {kMenuDrawSpeed2, &DrawSpeed, 2, kMenuDrawSpeed1, kMenuDrawSpeedAuto},
        {kMenuDrawSpeedAuto, &DrawSpeed, 0, kMenuDrawSpeed1, kMenuDrawSpeedAuto},
        {kMenuDrawSpeed1, &DrawSpeed, 1, kMenuDrawSpeed1, kMenuDrawSpeedAuto},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        Command(c.command);
        EXPECT_EQ(*c.word, c.value);
        for (int id = c.first; id <= c.last; ++id)
            if (menu().Find(id)) {
                EXPECT_EQ(menu().IsChecked(id), id == c.command) << id;
            }
    }
}

TEST_F(WinAppTest, DrawSpeedSetsTheScreensFrameSkip) {
    const struct {
        int command;
        std::int32_t skip;
    } cases[] = {{kMenuDrawSpeed1, 0}, {kMenuDrawSpeed2, 1},   {kMenuDrawSpeed4, 3},
                 {kMenuDrawSpeed8, 7}, {kMenuDrawSpeed16, 15}, {kMenuDrawSpeedAuto, 0}};
    for (const auto& c : cases) {
        runtime.screen().SetFrameSkipCounter(99);
        Command(c.command);
        EXPECT_EQ(runtime.screen().GetFrameSkipValue(), c.skip) << c.command;
        EXPECT_EQ(runtime.screen().GetFrameSkipCounter(), c.skip) << c.command;
    }
}

TEST_F(WinAppTest, StartUpChecksFollowTheSettingsIndexes) {
    app.CheckSettingsItems(3, 1, 8);
    EXPECT_TRUE(menu().IsChecked(kMenuTextSlow));
    EXPECT_EQ(TextSpeed, 400);
    EXPECT_TRUE(menu().IsChecked(kMenuAutoFastest));
    EXPECT_EQ(AutoWait, 1);
    EXPECT_TRUE(menu().IsChecked(kMenuDrawSpeed8));
    app.CheckSettingsItems(9, -1, 3);
    EXPECT_TRUE(menu().IsChecked(kMenuTextSlow)) << "an index outside the table changes nothing";
    EXPECT_EQ(TextSpeed, 400);
    EXPECT_EQ(AutoWait, 1);
    EXPECT_TRUE(menu().IsChecked(kMenuDrawSpeed1)) << "a draw speed off the table checks normal speed";
}

TEST_F(WinAppTest, ItemsOfMissingScreensStayGray) {
    for (int id : {kMenuSystemSettings, kMenuManual}) {
        EXPECT_TRUE(menu().IsGrayed(id));
        menu().Gray(id, false);
        EXPECT_TRUE(menu().IsGrayed(id)) << id;
    }
    for (int id : {kMenuSave, kMenuLoad, kMenuDebugWindow, kMenuSoundSettings, kMenuPlayerNames}) {
        EXPECT_FALSE(menu().IsGrayed(id)) << id;
    }
    menu().Gray(kMenuSave, true);
    Command(kMenuSave);
    EXPECT_TRUE(opened.empty()) << "a grayed item does nothing";
}

TEST_F(WinAppTest, TypedCharactersAndActivationReachTheInputWords) {
    app.WindowProc({host::kMsgChar, u'あ', 1, {}});
    EXPECT_EQ(CharReceived, 1);
    EXPECT_EQ(InputState.character, u'あ');
    app.WindowProc({host::kMsgActivateApp, 0, 0, {}});
    EXPECT_EQ(AppActive, 0);
    app.WindowProc({host::kMsgActivateApp, 1, 0, {}});
    EXPECT_EQ(AppActive, 1);
}

}  // namespace
