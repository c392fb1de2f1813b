// The debug window through the program's menu on the sample game: with the option -D the window
// opens from the story's first page, changes a variable and asks for a jump, and the story takes
// the jump when the page is turned; without the option the menu has no such item.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "playtest/playtest_run.h"

namespace {

namespace fs = std::filesystem;
using namespace playtest_test;

const fs::path kScript = fs::path(PLAYTEST_SCRIPTS) / "debug_window.txt";

// The kinds and first fields of the log from the dialog on, up to the next page wait.
std::vector<std::string> AfterTheDialog(const PlayRun& run) {
    std::vector<std::string> seen;
    bool open = false;
    for (const LogLine& line : run.log) {
        open = open || line.kind == "dialog";
        if (!open || line.kind == "picture" || line.kind == "music" || line.kind == "effect") continue;
        const std::string field = line.fields.empty() ? "" : line.fields.back();
        seen.push_back(line.kind + " " + field.substr(0, field.find("\\n")));
        if (line.kind == "page") break;
    }
    return seen;
}

TEST(DebugWindow, AJumpAndAChangedVariableFromTheMenuSteerTheStory) {
    const PlayRun run = RunPlaytest(DEMO_DATA_DIR, kScript, "--debug");
    EXPECT_EQ(run.status, 0) << run.errors;
    for (const char* kind : {"box", "error", "timeout", "grayed", "choice"})
        EXPECT_TRUE(run.Of(kind).empty()) << kind << ": " << run.Kinds();
    ASSERT_EQ(run.Of("page").size(), 2u) << run.Kinds();
    EXPECT_EQ(run.Of("page")[0].fields.at(1), "1");
    // The window opens over the first page; the page turned, the story goes to TURNHUB, whose
    // test of TURN (3 now, 0 as the script left it) goes on to the festival's first page.
    EXPECT_EQ(AfterTheDialog(run),
              (std::vector<std::string>{"dialog デバッグウィンドウ", "jump TURNHUB", "jump FESTIVAL",
                                        "text ――そして、祭りの夜が来た。", "page " + run.Of("page")[1].fields.at(1)}))
        << run.Kinds();
}

TEST(DebugWindow, WithoutTheOptionTheMenuHasNoDebugWindow) {
    const PlayRun run = RunPlaytest(DEMO_DATA_DIR, kScript);
    EXPECT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.Of("grayed").size(), 1u) << run.Kinds();
    EXPECT_EQ(run.Of("grayed")[0].fields.at(0), "デバッグ/変数表示");
    EXPECT_TRUE(run.Of("dialog").empty() && run.Of("jump").empty()) << run.Kinds();
}

}  // namespace
