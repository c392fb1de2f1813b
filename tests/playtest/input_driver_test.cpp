// The input driver against the test host alone: when presses and releases reach the window,
// accelerators, typed dialog fields and the quit at the script's end.
#include "tools/playtest/input_driver.h"

#include <gtest/gtest.h>

#include "app/frame_step.h"
#include "app/player_names_dialog.h"
#include "app/system_config.h"
#include "host/testhost/test_host.h"
#include "lib/text.h"

namespace {

using namespace playtest;

class InputDriverTest : public ::testing::Test {
protected:
    ~InputDriverTest() override { QuitRequested = 0; }
    // Runs the script for some frames: before each frame's hook, what the engine would poll
    // in that frame (keys, buttons, wheel, cursor, a quit request); what the driver logged.
    std::vector<std::string> Play(const std::string& script, int frames) {
        InputDriver driver(ParseInputScript(script), host, ".",
                           [this](std::string_view kind, std::u16string_view field) {
                               logged += std::string(kind) + " " + Utf16ToUtf8(field) + ";";
                           });
        driver.OnFrame();  // the lines before the first frame
        std::vector<std::string> seen;
        for (int frame = 1; frame <= frames; ++frame) {
            std::uint8_t keys[256];
            host.test_window().ReadKeyboard(keys);
            host::MouseReading mouse;
            host.test_window().ReadMouse(mouse);
            int x = 0, y = 0;
            host.test_window().CursorPosition(x, y);
            std::string line;
            for (int code = 0; code < 256; ++code)
                if (keys[code]) line += "k" + std::to_string(code) + " ";
            for (int button = 0; button < 3; ++button)
                if (mouse.buttons[button]) line += "b" + std::to_string(button) + " ";
            if (mouse.dz) line += "w" + std::to_string(mouse.dz) + " ";
            seen.push_back(line + std::to_string(x) + "," + std::to_string(y) + (QuitRequested ? " quit" : ""));
            driver.OnFrame();
        }
        return seen;
    }

    testhost::TestHost host;
    std::string logged;
};

TEST_F(InputDriverTest, PressesLastAFrameAndEachLineWaitsForTheLastOne) {
    // A click's button is down for one frame; the next line runs in the frame after its release.
    const std::vector<std::string> expected = {
        "b0 10,20",  "10,20", "b1 30,40",    "30,40", "k42 30,40", "k28 k42 30,40",
        "k42 30,40", "30,40", "w-120 30,40", "30,40", "30,40",     "30,40 quit",
    };
    EXPECT_EQ(Play("click 10 20\nrclick 30 40\nhold Shift\nkey Return\nrelease Shift\nwheel -120\nwait 2\n", 12),
              expected);
}

TEST_F(InputDriverTest, TheLeftButtonHeldAcrossMovesMakesADrag) {
    const std::vector<std::string> expected = {"5,6", "b0 5,6", "b0 5,9", "5,9", "5,9 quit"};
    EXPECT_EQ(Play("move 5 6\nhold LeftButton\nmove 5 9\nrelease LeftButton\n", 5), expected);
}

TEST_F(InputDriverTest, UntilTimesOutOrEndsAtItsEvent) {
    Play("until title 3\n", 6);
    EXPECT_EQ(logged, "timeout title;");
    logged.clear();
    InputDriver driver(ParseInputScript("until page 3\n"), host, ".",
                       [this](std::string_view, std::u16string_view) { logged += "logged;"; });
    driver.OnFrame();
    driver.Notice("choice");
    driver.OnFrame();
    EXPECT_FALSE(driver.finished()) << "another event";
    driver.Notice("page");
    driver.OnFrame();
    EXPECT_TRUE(driver.finished());
    EXPECT_EQ(logged, "");
}

TEST_F(InputDriverTest, AnAcceleratorBecomesItsCommandAndTypedTextFillsTheNextDialog) {
    host.menu().AddAccelerator({0x1C, false, true, false, 40001});
    Play("type 湊\ntype 遠野\nkey Alt+Return\n", 3);
    host::WindowMessage message;
    ASSERT_TRUE(host.test_window().PeekMessage(message));
    EXPECT_EQ(message.message, host::kMsgCommand);
    EXPECT_EQ(message.w, 40001u);
    EXPECT_EQ(EditPlayerNames(host.modal()), 1) << "accepted";
    EXPECT_EQ(Utf16ToUtf8(SystemConfig.PlayerName1), "湊");
    EXPECT_EQ(Utf16ToUtf8(SystemConfig.PlayerName2), "遠野");
    SystemConfig = {};
}

// A dialog that writes down each command that reaches it with the state it finds: both edit
// fields and the list's selection.
class RecordingDialog final : public host::Dialog {
public:
    RecordingDialog() : Dialog(u"記録", 300, 200) {}
    void OnInit() override {
        Add({10, host::ControlKind::ListBox});
        SetItems(10, {u"a", u"b", u"c"});
        Add({11, host::ControlKind::Edit});
        Add({12, host::ControlKind::Edit});
        Add({20, host::ControlKind::Button, {}, u"x"});
        Add({1, host::ControlKind::DefaultButton, {}, u"OK"});
        Add({2, host::ControlKind::Button, {}, u"Cancel"});
        Add({30, host::ControlKind::Slider}).maximum = 10;
    }
    void OnScroll(int id, int position) override {
        seen += "slid " + std::to_string(id) + " to " + std::to_string(position) + ";";
    }
    void OnCommand(int id, int notify) override {
        if (notify == host::kNotifyClicked || notify == host::kNotifySelChange)
            seen += std::to_string(id) + ":" + Utf16ToUtf8(Text(11)) + "/" + Utf16ToUtf8(Text(12)) + "@" +
                    std::to_string(Selection(10)) + ";";
        Dialog::OnCommand(id, notify);
    }
    std::string seen;
};

TEST_F(InputDriverTest, AMenuPickPostsItsCommandUnlessTheItemIsGrayed) {
    host::MenuItem& popup = host.menu().AddPopup(u"&File");
    host::MenuModel::AddItem(popup, 40010, u"セーブする(&S)");
    host::MenuModel::AddItem(popup, 40011, u"load");
    host::MenuModel::AddSeparator(popup);
    host::MenuItem& sub = host::MenuModel::AddSubPopup(popup, u"more");
    host::MenuModel::AddItem(sub, 40012, u"S&kip");
    host.menu().Gray(40011, true);
    Play(
        "menu 40011\nmenu 40010\nmenu 40099\nmenu File/セーブする\nmenu File/more/Skip\nmenu File/load\n"
        "menu File/more\nmenu File/セーブする(&S)\n",
        10);
    std::vector<std::uintptr_t> posted;
    for (host::WindowMessage message; host.test_window().PeekMessage(message);) {
        EXPECT_EQ(message.message, host::kMsgCommand);
        posted.push_back(message.w);
    }
    EXPECT_EQ(posted, (std::vector<std::uintptr_t>{40010, 40010, 40012})) << "only the enabled items";
    EXPECT_EQ(logged, "grayed 40011;grayed 40099;grayed File/load;grayed File/more;grayed File/セーブする(&S);");
}

TEST_F(InputDriverTest, ChooseTypeAndPressActInTheNextDialogInTheirOrder) {
    const struct {
        std::string script, seen, logged;
        std::intptr_t result;
    } cases[] = {
        // Without a press the dialog is confirmed after the steps.
        {"choose 10 2\ntype one\ntype two\n", "10:/@2;1:one/two@2;", "dialog 記録;item c;", 1},
        // A press that does not end it: the dialog is left open and closed by its close box.
        {"type one\npress 20\nchoose 10 1\n", "20:one/@-1;10:one/@1;2:one/@1;", "dialog 記録;item b;", 2},
        {"press 2\ntype late\n", "2:/@-1;", "dialog 記録;", 2},
        // A slide is held to the slider's range and confirmed like the other steps.
        {"slide 30 7\nslide 30 99\n", "slid 30 to 7;slid 30 to 10;1:/@-1;", "dialog 記録;", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        logged.clear();
        Play(c.script, 1);
        RecordingDialog dialog;
        EXPECT_EQ(host.modal().RunDialog(dialog), c.result);
        EXPECT_EQ(dialog.seen, c.seen);
        EXPECT_EQ(logged, c.logged);
    }
    // The dialog after takes no steps of the one before.
    RecordingDialog next;
    EXPECT_EQ(host.modal().RunDialog(next), 2);
    EXPECT_EQ(next.seen, "2:/@-1;");
}

TEST_F(InputDriverTest, AStepOnAControlTheDialogLacksIsAnError) {
    for (const char* script : {"press 99\n", "choose 10 3\n", "choose 99 0\n", "slide 99 1\n", "slide 10 1\n"}) {
        SCOPED_TRACE(script);
        Play(script, 1);
        RecordingDialog dialog;
        EXPECT_THROW(host.modal().RunDialog(dialog), std::runtime_error);
    }
}

}  // namespace
