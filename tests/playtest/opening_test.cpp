// The playthrough tool on the sample game: the opening through the real start-up and the title, the quiet quit,
// and the tool's own errors, a difference that the frame check finds among them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "playtest/playtest_run.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using playtest_test::PlayRun;
using playtest_test::ReadShot;
using playtest_test::RunPlaytest;

const fs::path kScripts = PLAYTEST_SCRIPTS;
const std::string kDemo = DEMO_DATA_DIR;

double Red(std::uint32_t pixel) { return static_cast<double>(pixel >> 16 & 0xFF); }

TEST(Playtest, TheOpeningShowsTheSplashAndStartsTheStory) {
    testsupport::TempFolder shots("playtest_opening");
    const PlayRun run = RunPlaytest(kDemo, kScripts / "opening.txt", "--shots '" + shots.path().string() + "'");
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_TRUE(run.Of("box").empty() && run.Of("error").empty()) << run.Kinds();

    // The splash fades in by 4 a frame over black: 30 frames in, the picture stands near level
    // 120 of 255; the click ends the fade at once.
    const auto fading = ReadShot(shots.path() / "splash_fading.png");
    const auto shown = ReadShot(shots.path() / "splash_shown.png");
    ASSERT_EQ(fading.width, 800);
    ASSERT_EQ(shown.height, 600);
    const std::uint32_t ground = shown.At(50, 50);
    ASSERT_GT(Red(ground), 200) << "the brand picture's pale ground";
    EXPECT_GT(Red(ground), (ground & 0xFF) + 10.0) << "a warm cream: more red than blue";
    const double level = Red(fading.At(50, 50)) / Red(shown.At(50, 50)) * 255;
    EXPECT_NEAR(level, 118, 8);

    // Five seconds and the fade-out after the click, then the first cycle's title: its music at
    // once, its menu once the title has risen from black over 16 frames; the new game clicked
    // there stops the music.
    ASSERT_GE(run.log.size(), 3u);
    EXPECT_EQ(run.log[0].kind, "music");
    EXPECT_EQ(run.log[0].fields, std::vector<std::string>{"TITLE"});
    EXPECT_GE(run.log[0].frame, 31 + 300 + 64);
    EXPECT_LE(run.log[0].frame, 31 + 300 + 64 + 8);
    EXPECT_EQ(run.log[1].kind, "title");
    EXPECT_EQ(run.log[1].frame, run.log[0].frame + 16);
    EXPECT_EQ(run.log[2].kind, "music");
    EXPECT_EQ(run.log[2].fields, std::vector<std::string>{""});

    // The story starts: its first message, then the page wait of page 1, where the script ends.
    const auto texts = run.Of("text");
    ASSERT_EQ(texts.size(), 1u) << run.Kinds();
    EXPECT_EQ(texts[0].fields,
              (std::vector<std::string>{
                  "", "夏の終わりの匂いがした。\\n潮の香りと、焼けたアスファルトと、\\n遠い花火の火薬。"}));
    const auto pages = run.Of("page");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].fields, (std::vector<std::string>{"_start.txt", "1"}));
    EXPECT_GT(pages[0].frame, texts[0].frame) << "the page wait after the text is shown";

    // Over the black first picture: the window's ground and text, gone after the right click.
    const auto lit_in_window = [](const playtest_test::Shot& shot) {
        int lit = 0;
        for (int y = 400; y < 600; ++y)
            for (int x = 0; x < 800; ++x) lit += (shot.At(x, y) & 0xFFFFFF) != 0;
        return lit;
    };
    EXPECT_GT(lit_in_window(ReadShot(shots.path() / "first_page.png")), 10000);
    EXPECT_EQ(lit_in_window(ReadShot(shots.path() / "window_hidden.png")), 0);
}

TEST(Playtest, AnUntilTimesOutAndF12EndsTheGameQuietly) {
    testsupport::TempFolder shots("playtest_quit");
    const PlayRun run = RunPlaytest(kDemo, kScripts / "quit.txt", "--shots '" + shots.path().string() + "'");
    EXPECT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.Kinds(), "timeout ");
    EXPECT_EQ(run.log[0].frame, 50);
    EXPECT_EQ(run.log[0].fields, std::vector<std::string>{"choice"});
    EXPECT_FALSE(fs::exists(shots.path() / "never.png"));

    // A script that runs out ends the game as a confirmed close does, here in the splash.
    const fs::path short_script = shots.path() / "short.txt";
    std::ofstream(short_script) << "wait 10\n";
    const PlayRun ended = RunPlaytest(kDemo, short_script);
    EXPECT_EQ(ended.status, 0) << ended.errors;
    EXPECT_EQ(ended.Kinds(), "") << "no title: the game ended in the splash";
}

TEST(Playtest, ErrorsOfTheRunAreReportedWithExitCodeOne) {
    testsupport::TempFolder folder("playtest_errors");
    const fs::path script = folder.path() / "script.txt";
    const struct {
        std::string script, data, arguments, message;
    } cases[] = {
        {"wait 1\nclick 5\n", kDemo, "", "script.txt: line 2: 'click' takes 2 operands"},
        {"key Hyper\n", kDemo, "", "unknown key 'Hyper'"},
        {"wait 1\n", kDemo + "/missing", "", "missing is not a folder"},
        {"wait 1\n", folder.path().string(), "", "データがありません。"},
        {"wait 100\n", kDemo, "--max-frames 20", "the run passed 20 frames"},
        {"wait 1\n", kDemo, "--settings '" + script.string() + "/sub'", "sub/ cannot be made"},
        // What the window shows changed behind the views' back, on the title standing still.
        {"until title 1200\nwait 30\nsmudge 8 8\nwait 3\n", kDemo, "",
         "the screen differs from the views in (8, 8)-(16, 16), 64 pixels"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        std::ofstream(script) << c.script;
        const PlayRun run = RunPlaytest(c.data, script, c.arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
        const std::vector<playtest_test::LogLine> errors = run.Of("error");
        ASSERT_EQ(errors.size(), 1u) << run.Kinds();
        EXPECT_NE(errors[0].fields.at(0).find(c.message), std::string::npos) << errors[0].fields.at(0);
    }
    // The settings box the player would see is logged with its answer before the error.
    const PlayRun run = RunPlaytest(kDemo, script, "--settings '" + script.string() + "/sub'");
    ASSERT_EQ(run.Kinds(), "box error ");
    EXPECT_EQ(run.log[0].fields.at(0), "エラー");
    EXPECT_NE(run.log[0].fields.at(1).find("無効なディレクトリ名です。"), std::string::npos);
    EXPECT_EQ(run.log[0].fields.at(2), "ok");
}

}  // namespace
