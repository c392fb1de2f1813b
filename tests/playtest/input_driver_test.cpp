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

}  // namespace
