// The settings dialogs opened from the menu while the story runs (settings_menu.txt): what the
// player changes in them is applied at once (the message window's ground takes the new colour)
// and written back to the settings file when the game ends.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "playtest/playtest_run.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace playtest_test;

TEST(SettingsMenu, BothDialogsOpenDuringTheStoryAndTheirChangesAreWrittenBack) {
    testsupport::TempFolder settings("playtest_settings_menu");
    const PlayRun run =
        RunPlaytest(DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "settings_menu.txt",
                    "--settings '" + settings.path().string() + "' --shots '" + settings.path().string() + "'");
    EXPECT_EQ(run.status, 0) << run.errors;
    for (const char* kind : {"box", "error", "timeout", "grayed"})
        EXPECT_TRUE(run.Of(kind).empty()) << kind << ": " << run.Kinds();
    ASSERT_EQ(run.Of("dialog").size(), 2u) << run.Kinds();
    EXPECT_EQ(run.Of("dialog")[0].fields.at(0), "システム設定");
    EXPECT_EQ(run.Of("dialog")[1].fields.at(0), "サウンド設定");
    ASSERT_EQ(run.Of("item").size(), 1u);
    EXPECT_EQ(run.Of("item")[0].fields.at(0), "ＭＳ ゴシック");
    EXPECT_EQ(run.Of("page").size(), 2u) << "the story went on after the dialogs";

    std::ifstream file(settings.path() / "quibel.ini", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    for (const char* line : {"\nBaseColor=32,32,240,200\n", "\nFontName=ＭＳ ゴシック\n", "\nEnableVoice=0\n",
                             "\nMainVolume=70\n", "\nEnableBgm=1\n", "\nBgmVolume=50\n", "\nFullScreen=0\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << text;

    // The message window's ground on the first page: 64,64,240 at 160/255 before, 32,32,240 at
    // 200/255 after (less red and green, more blue over the same picture).
    const Shot before = ReadShot(settings.path() / "before.png");
    const Shot after = ReadShot(settings.path() / "after.png");
    ASSERT_EQ(before.width, 800);
    ASSERT_EQ(after.width, 800);
    const std::uint32_t was = before.At(760, 470), is = after.At(760, 470);
    EXPECT_LT(static_cast<int>(is >> 16 & 0xFF), static_cast<int>(was >> 16 & 0xFF) - 8)
        << std::hex << was << " " << is;
    EXPECT_GT(static_cast<int>(is & 0xFF), static_cast<int>(was & 0xFF)) << std::hex << was << " " << is;
}

}  // namespace
