// The base interpreter under a small story interpreter of the tests' own, built the way the game
// builds its own: a derived group that makes derived nodes and fills the frame-loop seam.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "lib/act.h"
#include "lib/error.h"
#include "lib/utility.h"
#include "script/history.h"
#include "script/jump_table.h"
#include "script/script_node.h"
#include "script/variables.h"
#include "script_test_util.h"
#include "support/capture_reports.h"

using namespace TextScript;
using scripttest::Cp932;

namespace {

// A task that finishes after `remaining` walks and counts the hurry messages it gets.
struct TaskProbe {
    int remaining = 0;
    int hurried = 0;
};

std::intptr_t TaskCallback(ACT* act, int message, std::intptr_t, std::intptr_t) {
    auto* probe = reinterpret_cast<TaskProbe*>(act->value);
    if (message == kActWalkEnter && probe->remaining > 0 && --probe->remaining == 0) act->flags = -1;
    if (message == 0x8000) ++probe->hurried;
    return 0;
}

class StoryGroup;

// MESSAGE logs its text (written in brackets); a page node keeps the page and the snapshot as the game's does; GRP WAIT
// waits on a task; every other code goes to the base.
class StoryNode : public ScriptStateNode {
public:
    using ScriptStateNode::ScriptStateNode;
    ScriptStateNode* Execute() override;
};

class StoryGroup : public ScriptStateGroup {
public:
    std::unique_ptr<ScriptStateNode> CreateNode() override { return std::make_unique<StoryNode>(this); }
    bool BeginRun() override {
        begin_results.push_back(ScriptStateGroup::BeginRun());
        return begin_results.back();
    }
    void EndRun() override { ++end_runs; }
    std::intptr_t Notify(std::uint32_t message, std::intptr_t) override {
        notes.push_back(message);
        return 1;
    }
    void StepFrame() override {
        ++frames;
        if (on_frame) on_frame(frames);
    }
    std::uint32_t HeldInput() override { return held; }

    void Load(std::string_view utf8) { Compile(Cp932(utf8), u"t.txt"); }

    std::vector<std::string> log;  // message texts, in the order shown
    std::vector<int> executed;     // codes of the nodes run
    std::vector<bool> begin_results;
    std::vector<std::uint32_t> notes;
    int end_runs = 0;
    int frames = 0;
    std::uint32_t held = 0;
    std::function<void(int frame)> on_frame;
    TaskProbe probe;
};

ScriptStateNode* StoryNode::Execute() {
    auto* story = static_cast<StoryGroup*>(group());
    story->executed.push_back(code);
    switch (code) {
        case kMessage: {
            // Logged without the brackets that make a line a message.
            std::u16string_view text = Arg(0);
            text.remove_prefix(1);
            text.remove_suffix(1);
            story->log.push_back(Utf16ToUtf8(text));
            return next();
        }
        case kPage:
            CurrentPage = number;
            SnapshotVariables();
            return next();
        case kGrp:
            if (Arg(0) == u"WAIT") {
                story->probe.remaining = static_cast<int>(ParseDecimal(Arg(1)));
                story->pending_wait().Reset(MakeACT(TaskCallback, reinterpret_cast<std::uintptr_t>(&story->probe)));
            }
            return next();
        default: return ScriptStateNode::Execute();
    }
}

class Interpreter : public ::testing::Test {
protected:
    void SetUp() override {
        InitACTPool();
        ScenePlayMode = 0;
    }
    void TearDown() override { ScenePlayMode = 0; }

    std::int32_t Value(std::u16string_view name) {
        const VariableNode* node = FindVariable(LiveVariables(), VariableNode::kNumber, name);
        return node ? node->value : -999;
    }

    // Runs and returns the error exception the run raised (with the trace it wrote).
    ExceptionHandle RunError(StoryGroup& group, std::int32_t page = -1) {
        try {
            group.Run(page);
        } catch (const ExceptionHandle& error) {
            return error;
        }
        ADD_FAILURE() << "the run did not fail";
        return {};
    }

    scripttest::FreshVariables fresh_;
    testsupport::CaptureReports reports_;
    StoryGroup group_;
};

TEST_F(Interpreter, EndNodeAloneEndsAtOnceAfterTheHook) {
    group_.Load("");
    CurrentPage = 77;
    EXPECT_EQ(group_.Run(-1), 0);
    EXPECT_EQ(group_.end_runs, 1);
    EXPECT_EQ(CurrentPage, 0u);
    EXPECT_EQ(group_.executed, (std::vector<int>{0}));
}

TEST_F(Interpreter, ResumingStartsAfterThePageNode) {
    group_.Load("「一」\n\n「二」\n\n「三」\n");
    EXPECT_EQ(group_.Run(-1), 0);
    EXPECT_EQ(group_.log, (std::vector<std::string>{"一", "二", "三"}));
    group_.log.clear();
    EXPECT_EQ(group_.Run(2), 0);
    EXPECT_EQ(group_.log, (std::vector<std::string>{"三"}));
    EXPECT_EQ(group_.executed.size(), 6u + 2u) << "the page node itself is not run when resuming";
    EXPECT_EQ(CurrentPage, 2u);
}

TEST_F(Interpreter, MissingPageIsARuntimeErrorOnThatLine) {
    group_.Load("「一」\n\n「二」\n");
    const ExceptionHandle error = RunError(group_, 5);
    EXPECT_EQ(error.line, 5u);
    EXPECT_EQ(std::u16string(error.file), u"t.txt");
    EXPECT_EQ(std::u16string(error.message), u"再開できるページが見つかりません");
    EXPECT_EQ(reports_.debug, u"t.txt(5): Runtime Error: 再開できるページが見つかりません\n");
    EXPECT_EQ(group_.end_runs, 0);
}

TEST_F(Interpreter, JumpsLandOnThePageBreakBeforeTheLabel) {
    group_.Load(".JMP there\n「飛ばす」\n\n.LAB THERE\n「着いた」\n");
    group_.Run(-1);
    EXPECT_EQ(group_.log, (std::vector<std::string>{"着いた"}));
    EXPECT_EQ(group_.executed, (std::vector<int>{15, 34, 5, 1, 0}));

    StoryGroup no_page;
    no_page.Load(".JMP THERE\n.LAB THERE\n");
    ExceptionHandle error = RunError(no_page);
    EXPECT_EQ(std::u16string(error.message), u"ラベルの直前にページ区切りがありません");
    EXPECT_EQ(error.line, 2u) << "the line of the JMP that was running";

    StoryGroup missing;
    missing.Load("\n.JMP NOPE\n");
    error = RunError(missing);
    EXPECT_EQ(std::u16string(error.message), u"ラベルが見つかりません。[NOPE]");
    EXPECT_EQ(error.line, 3u);
}

TEST_F(Interpreter, RandomJumpPicksOneOfThreeLines) {
    group_.Load(".RJP L1\n.RJP L2\n.RJP L3\n\n.LAB L1\n「1」\n\n.LAB L2\n「2」\n\n.LAB L3\n「3」\n");
    ResetLockedRand(1);  // the first number is 41: 41 mod 3 picks the third line
    group_.Run(-1);
    EXPECT_EQ(group_.log, (std::vector<std::string>{"3"}));

    StoryGroup four;
    four.Load(".RJP L1\n.RJP L1\n.RJP L1\n.RJP L1\n\n.LAB L1\n");
    EXPECT_EQ(std::u16string(RunError(four).message), u"RJP: ジャンプ先を３つ指定してください。");
}

TEST_F(Interpreter, AssignmentsAndConditionalJumps) {
    group_.Load(".PST X + 5\n.PST Y = 07\n.PST Z - 10\n.PJP X > Y SKIP\n.PJP X < 6 SKIP\n「no」\n\n.LAB SKIP\n");
    LiveVariables().Clear();  // the compile declared them: PST must create a missing one itself
    group_.Run(-1);
    EXPECT_EQ(Value(u"X"), 5);
    EXPECT_EQ(Value(u"Y"), 7);
    EXPECT_EQ(Value(u"Z"), -10);
    EXPECT_TRUE(group_.log.empty()) << "5 < 6 jumps";

    StoryGroup bad;
    bad.Load("\n\n.PST X = Y\n");
    const ExceptionHandle error = RunError(bad);
    EXPECT_EQ(std::u16string(error.message), u"数値を指定してください。");
    EXPECT_EQ(error.line, 4u) << "raised with line 0, reported with the node's line";
}

TEST_F(Interpreter, SceneReplayNeitherAssignsNorJumps) {
    group_.Load(".PST X = 3\n.PJP X = 0 SKIP\n「shown」\n\n.LAB SKIP\n");
    ScenePlayMode = 1;
    group_.Run(-1);
    EXPECT_EQ(Value(u"X"), 0);
    EXPECT_EQ(group_.log, (std::vector<std::string>{"shown"}));
}

TEST_F(Interpreter, ResetsAndClearMessageRuns) {
    for (const char16_t* name : {u"ALPHA", u"APPLE", u"BETA", u"GAMMA"}) GetOrCreateVariable(LiveVariables(), name, 4);
    // (A message line right after a CLM line would join the CLM's text.)
    group_.Load(".RST a\n.RSP GAMMA\n.CLM 「一」\n.CLM 「二」\n.GRP X\n");
    group_.Run(-1);
    EXPECT_EQ(Value(u"ALPHA"), 0);
    EXPECT_EQ(Value(u"APPLE"), 0);
    EXPECT_EQ(Value(u"BETA"), 4);
    EXPECT_EQ(Value(u"GAMMA"), 0);
    EXPECT_EQ(group_.executed, (std::vector<int>{19, 18, 12, 2, 0})) << "a run of CLM lines acts as one";

    StoryGroup rsx;
    rsx.Load(".RSX A\n");
    rsx.Run(-1);
    EXPECT_EQ(Value(u"BETA"), 0);
}

TEST_F(Interpreter, TableJumpUsesTheGroupsTables) {
    std::string tables;
    for (int i = 0; i < 20; ++i) tables += "J" + std::to_string(i) + "\n";
    tables += "#4\nWIN\nSCORE >= 10\n";
    group_.Load(
        ".IVG 4\n.IVG N\n\n.LAB J4\n「負け」\n.JMP END\n\n.LAB J2\n「二」\n.JMP END\n\n.LAB WIN\n「勝ち」\n\n.LAB "
        "END\n");
    ParseJumpTable(group_, tables, u"iv.txt");
    group_.Run(-1);
    EXPECT_EQ(group_.log, (std::vector<std::string>{"負け"}));
    EXPECT_EQ(Value(u"SCORE"), 0) << "the run declared the table's operands";

    GetOrCreateVariable(LiveVariables(), u"SCORE", 12);
    group_.log.clear();
    group_.Run(-1);
    EXPECT_EQ(group_.log, (std::vector<std::string>{"勝ち"}));
}

TEST_F(Interpreter, WaitsTurnFramesUntilTheTaskEnds) {
    group_.Load(".GRP WAIT 3\n「後」\n");
    group_.held = 0x10000;  // left Shift hurries the task on every frame it is still running
    group_.Run(-1);
    EXPECT_EQ(group_.frames, 3);
    EXPECT_EQ(group_.probe.hurried, 2);
    EXPECT_FALSE(group_.pending_wait());
    EXPECT_EQ(group_.log, (std::vector<std::string>{"後"}));

    group_.frames = 0;
    group_.probe.hurried = 0;
    group_.held = 0x1000;  // a mouse button does not hurry
    group_.Run(-1);
    EXPECT_EQ(group_.frames, 3);
    EXPECT_EQ(group_.probe.hurried, 0);

    // Every task went back to the pool: the whole pool can be taken again.
    std::vector<ACT*> tasks;
    for (int i = 0; i < kActPoolSize - kActRootSlots; ++i) tasks.push_back(MakeACT(nullptr, 0));
    for (ACT* task : tasks) FreeACT(task);
}

TEST_F(Interpreter, ScriptExceptionsEndTheRunWithTheirResult) {
    group_.Load(".PST X = 5\n.GRP WAIT 100\n「never」\n");
    const std::pair<std::int32_t, std::int32_t> cases[] = {{0, 1}, {1, 2}, {3, 0}};
    for (auto [code, result] : cases) {
        ClearVariableTable(VariableSnapshot());
        group_.on_frame = [code = code](int frame) {
            if (frame == 2) throw ScriptException{code};
        };
        group_.frames = 0;
        EXPECT_EQ(group_.Run(-1), result) << code;
        EXPECT_FALSE(group_.pending_wait());
        EXPECT_TRUE(group_.log.empty());
        const bool snapshot = FindVariable(VariableSnapshot(), VariableNode::kNumber, u"X") != nullptr;
        EXPECT_EQ(snapshot, code != 3) << "title and load requests take a snapshot";
    }
    EXPECT_EQ(group_.end_runs, 3);
}

TEST_F(Interpreter, OnlyTheQuietQuitIsSwallowed) {
    group_.Load(".GRP WAIT 100\n");
    group_.on_frame = [](int) { ThrowError(u"main", 1, 1, 0, u"Quit"); };
    EXPECT_EQ(group_.Run(-1), 0);
    EXPECT_EQ(group_.end_runs, 1);

    // A missing picture or a failed save must reach the game cycle, not end the game quietly.
    group_.on_frame = [](int) { ThrowError(u"image.cpp", 10, 0, 0, u"cannot load %s", u"BG01"); };
    try {
        group_.Run(-1);
        FAIL();
    } catch (const ExceptionHandle& error) {
        EXPECT_EQ(std::u16string(error.message), u"cannot load BG01");
    }
    EXPECT_FALSE(group_.pending_wait()) << "the task is freed on the way out";
}

TEST_F(Interpreter, ScriptErrorsFromStoryCommandsUseTheTable) {
    group_.Load(".GRP WAIT 100\n");
    group_.on_frame = [](int) { throw ScriptError{7, 11}; };
    const ExceptionHandle error = RunError(group_);
    EXPECT_EQ(error.line, 7u);
    EXPECT_EQ(std::u16string(error.message), u"0011: CG番号が範囲を超えています");
    EXPECT_EQ(reports_.debug, u"t.txt(7): Runtime Error: 0011: CG番号が範囲を超えています\n");
    EXPECT_EQ(ScriptErrorText(0), u"0000: None");
    EXPECT_EQ(ScriptErrorText(15), u"0015: 文字列以外で全角文字が使われています");
}

TEST_F(Interpreter, GoingBackReplaysTheCurrentPageWithItsVariables) {
    group_.Load("「一」\n\n.PST X + 1\n「二」\n.GRP WAIT 5\n「三」\n");
    bool asked = false;
    group_.on_frame = [&](int) {
        if (!asked) {
            asked = true;
            throw ScriptException{ScriptException::kGoBack};
        }
    };
    EXPECT_EQ(group_.Run(-1), 0);
    EXPECT_EQ(group_.log, (std::vector<std::string>{"一", "二", "二", "三"}));
    EXPECT_EQ(Value(u"X"), 1) << "the page began with X = 0";
    EXPECT_EQ(group_.notes, (std::vector<std::uint32_t>{ScriptStateGroup::kNotifyGoBack}));
    EXPECT_EQ(group_.end_runs, 1);
}

TEST_F(Interpreter, GoingBackBeforeAnyPageRestartsTheScript) {
    group_.Load("「一」\n.PST X + 1\n.GRP WAIT 5\n「二」\n");
    bool asked = false;
    group_.on_frame = [&](int) {
        if (!asked) {
            asked = true;
            throw ScriptException{ScriptException::kGoBack};
        }
    };
    group_.Run(-1);
    EXPECT_EQ(group_.log, (std::vector<std::string>{"一", "一", "二"}));
    EXPECT_EQ(Value(u"X"), 1);
}

TEST_F(Interpreter, BeginRunRecordsTheScriptTitleOnce) {
    group_.Compile("", u"scripts/Chapter9.txt");
    group_.Run(-1);
    group_.Run(-1);
    EXPECT_EQ(group_.begin_results, (std::vector<bool>{false, true}));
    EXPECT_TRUE(ScriptHistory().Find(u"CHAPTER9"));
    EXPECT_FALSE(ScriptHistory().Find(u"scripts/Chapter9.txt"));
}

TEST(FileHistory, TitlesAreKeptOnceIgnoringCase) {
    FILEHISTGROUP history;
    EXPECT_FALSE(history.Add(u"ABC"));
    EXPECT_TRUE(history.Add(u"abc"));
    EXPECT_EQ(history.count(), 1);
    EXPECT_EQ(history.head()->title, u"ABC");
    EXPECT_EQ(FileTitle(u"/data/bg/BG01.png"), u"BG01");
    AddImageHistory(u"cg/EV001.jpg");
    EXPECT_TRUE(ImageHistory().Find(u"ev001"));
}

}  // namespace
