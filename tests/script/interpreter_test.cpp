// The base interpreter under a small story interpreter of the tests' own, built the way the game
// builds its own: a derived group that makes derived nodes and fills the frame-loop seam.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <sstream>
#include <string>
#include <utility>
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

    scripttest::FreshVariables fresh_;
    testsupport::CaptureReports reports_;
    StoryGroup group_;
};

TEST_F(Interpreter, EndNodeAloneEndsAtOnceAfterTheHookAndFreesALeftoverWait) {
    group_.Load("");
    CurrentPage = 77;
    group_.probe.remaining = 100;
    ACT* leftover = MakeACT(TaskCallback, reinterpret_cast<std::uintptr_t>(&group_.probe));
    group_.pending_wait().Reset(leftover);
    EXPECT_EQ(group_.Run(-1), 0);
    EXPECT_EQ(group_.end_runs, 1);
    EXPECT_EQ(group_.frames, 0) << "the run does not wait on a task left by an earlier run";
    EXPECT_EQ(CurrentPage, 0u);
    EXPECT_EQ(group_.executed, (std::vector<int>{0}));
    EXPECT_EQ(MakeACT(nullptr, 0), leftover) << "the leftover task went back to the pool";
}

// One run per case: the messages shown ("|" between them), then "!error@line" when the run
// failed, then the listed variables ("-" when absent). The variable table starts with `before`
// ("NAME=value ...") only, so PST must create what it assigns.
TEST_F(Interpreter, CommandsByTable) {
    struct Case {
        std::string script, outcome, before = "", names = "";
        std::int32_t page = -1;
        std::uint32_t seed = 1, scene = 0;
    };
    constexpr const char* kPages = "「一」\n\n「二」\n\n「三」\n";
    constexpr const char* kRandom = ".RJP L1\n.RJP L2\n.RJP L3\n\n.LAB L1\n「1」\n\n.LAB L2\n「2」\n\n.LAB L3\n「3」\n";
    const std::string kBadRjp = "!RJP: ジャンプ先を３つ指定してください。@2";
    std::vector<Case> cases = {
        {.script = kPages, .outcome = "一|二|三"},
        {.script = kPages, .outcome = "三", .page = 2},
        {.script = kPages, .outcome = "!再開できるページが見つかりません@5", .page = 5},
        {.script = ".JMP there\n「飛ばす」\n\n.LAB THERE\n「着いた」\n", .outcome = "着いた"},
        {.script = ".JMP THERE\n.LAB THERE\n", .outcome = "!ラベルの直前にページ区切りがありません@2"},
        {.script = "\n.JMP NOPE\n", .outcome = "!ラベルが見つかりません。[NOPE]@3"},
        {.script = kRandom, .outcome = "1|2|3", .seed = 2},  // the first number of seed 2 is 45: pick 0
        {.script = kRandom, .outcome = "2|3", .seed = 6},    // 58: pick 1
        {.script = kRandom, .outcome = "3"},                 // 41: pick 2
        {.script = ".RJP L1\n.RJP L1\n\n.LAB L1\n", .outcome = kBadRjp},
        {.script = ".RJP L1\n.RJP L1\n.RJP L1\n.RJP L1\n\n.LAB L1\n", .outcome = kBadRjp},
        {.script = ".PST X + 5\n.PST Y = 07\n.PST Z - 10\n", .outcome = " X=5 Y=7 Z=-10", .names = "X Y Z"},
        {.script = ".PST X + 1\n.PST Y - 1\n.PST Z = 4294967295\n",
         .outcome = " X=-2147483648 Y=2147483647 Z=-1",
         .before = "X=2147483647 Y=-2147483648",
         .names = "X Y Z"},
        {.script = "\n\n.PST X = Y\n", .outcome = "!数値を指定してください。@4 X=0", .names = "X"},
        {.script = ".PJP X = 07 NOPE\n", .outcome = "!ラベルが見つかりません。[NOPE]@2", .before = "X=7"},
        {.script = ".PJP X > 6 NOPE\n", .outcome = "!ラベルが見つかりません。[NOPE]@2", .before = "X=7"},
        {.script = ".PJP X > 7 NOPE\n「no」\n", .outcome = "no", .before = "X=7"},
        {.script = ".PST X = 3\n.PJP 1 = 1 NOPE\n「shown」\n", .outcome = "shown X=-", .names = "X", .scene = 1},
        {.script = ".RST a\n.RSP GAMMA\n.RSP DELTA\n",
         .outcome = " ALPHA=0 APPLE=0 BETA=4 GAMMA=0 DELTA=0",
         .before = "ALPHA=4 APPLE=4 BETA=4 GAMMA=4",
         .names = "ALPHA APPLE BETA GAMMA DELTA"},
        {.script = ".RSX A\n", .outcome = " ALPHA=4 BETA=0", .before = "ALPHA=4 BETA=4", .names = "ALPHA BETA"},
    };
    // PJP compares signed values (-1 < 0 fails unsigned) and jumps only when the comparison holds.
    for (char op : {'<', '>', '='}) {
        for (auto [x, y] : {std::pair{-1, 0}, {0, 0}, {0, -1}, {-3, 3}}) {
            const bool holds = op == '<' ? x < y : op == '>' ? x > y : x == y;
            cases.push_back({.script = std::string(".PJP X ") + op + " Y SKIP\n「no」\n\n.LAB SKIP\n「yes」\n",
                             .outcome = holds ? "yes" : "no|yes",
                             .before = "X=" + std::to_string(x) + " Y=" + std::to_string(y)});
        }
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script + " " + c.before);
        StoryGroup group;
        testsupport::CaptureReports reports;
        group.Load(c.script);
        LiveVariables().Clear();
        std::istringstream before(c.before);
        for (std::string pair; before >> pair;) {
            const std::size_t eq = pair.find('=');
            GetOrCreateVariable(LiveVariables(), Utf8ToUtf16(pair.substr(0, eq)), std::stoi(pair.substr(eq + 1)));
        }
        ResetLockedRand(c.seed);
        ScenePlayMode = c.scene;
        std::string outcome;
        try {
            group.Run(c.page);
        } catch (const ExceptionHandle& error) {
            outcome = "!" + Utf16ToUtf8(error.message) + "@" + std::to_string(error.line);
            EXPECT_EQ(std::u16string(error.file), u"t.txt");
            EXPECT_EQ(reports.debug, u"t.txt(" + Utf8ToUtf16(std::to_string(error.line)) + u"): Runtime Error: " +
                                         std::u16string(error.message) + u"\n");
        }
        std::string shown;
        for (const std::string& text : group.log) shown += (shown.empty() ? "" : "|") + text;
        outcome = shown + outcome;
        std::istringstream names(c.names);
        for (std::string name; names >> name;) {
            const VariableNode* node = FindVariable(LiveVariables(), VariableNode::kNumber, Utf8ToUtf16(name));
            outcome += " " + name + "=" + (node ? std::to_string(node->value) : "-");
        }
        EXPECT_EQ(outcome, c.outcome);
    }
}

TEST_F(Interpreter, ARunOfClearMessageLinesActsAsOne) {
    // (A message line right after a CLM line would join the CLM's text.)
    group_.Load(".CLM 「一」\n.CLM 「二」\n.GRP X\n");
    group_.Run(-1);
    EXPECT_EQ(group_.executed, (std::vector<int>{12, 2, 0}));
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

// A loop without a wait still steps a frame every kCommandsWithoutFrame commands, so that the
// player's quit (thrown by a frame) ends it.
TEST_F(Interpreter, ALoopWithoutAWaitStillStepsFrames) {
    group_.Load("\n.LAB L1\n.JMP L1\n");  // the page, the label and the jump, for ever
    group_.on_frame = [](int frame) {
        if (frame == 3) ThrowError(u"main", 1, 1, 0, u"Quit");
    };
    ::alarm(20);  // a run that never steps a frame would hang: the alarm turns it into a failure
    EXPECT_EQ(group_.Run(-1), 0);
    ::alarm(0);
    EXPECT_EQ(group_.frames, 3);
    EXPECT_EQ(group_.executed.size(), 3 * ScriptStateGroup::kCommandsWithoutFrame);
}

// A script exception ends the run with its result (title and load requests take a snapshot); of the
// error exceptions only the quiet quit is swallowed: a missing picture must reach the game cycle;
// a story command's script error becomes the error exception with the table's text.
TEST_F(Interpreter, ExceptionsFromAFrameEndTheRunAndFreeTheTask) {
    group_.Load(".PST X = 5\n.GRP WAIT 100\n「never」\n");
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[] { throw ScriptException{0}; }, "1 snapshot"},
        {[] { throw ScriptException{1}; }, "2 snapshot"},
        {[] { throw ScriptException{3}; }, "0 none"},
        {[] { ThrowError(u"main", 1, 1, 0, u"Quit"); }, "0"},
        {[] { ThrowError(u"image.cpp", 10, 0, 0, u"cannot load %s", u"BG01"); }, "!cannot load BG01@10"},
        {[] {
             throw ScriptError{7, 11};
         },
         "!0011: CG番号が範囲を超えています@7"},  // story commands' errors
    };
    for (const auto& [thrower, expected] : cases) {
        ClearVariableTable(VariableSnapshot());
        group_.on_frame = [&thrower](int frame) {
            if (frame == 2) thrower();
        };
        group_.frames = 0;
        std::string outcome;
        try {
            outcome = std::to_string(group_.Run(-1));
        } catch (const ExceptionHandle& error) {
            outcome = "!" + Utf16ToUtf8(error.message) + "@" + std::to_string(error.line);
        }
        if (expected.ends_with(" snapshot") || expected.ends_with(" none"))
            outcome += FindVariable(VariableSnapshot(), VariableNode::kNumber, u"X") ? " snapshot" : " none";
        EXPECT_EQ(outcome, expected);
        EXPECT_FALSE(group_.pending_wait()) << "the task is freed on the way out";
        EXPECT_TRUE(group_.log.empty());
    }
    EXPECT_EQ(group_.end_runs, 4);
    EXPECT_EQ(reports_.debug, u"t.txt(7): Runtime Error: 0011: CG番号が範囲を超えています\n");
    EXPECT_EQ(ScriptErrorText(0), u"0000: None");
    EXPECT_EQ(ScriptErrorText(15), u"0015: 文字列以外で全角文字が使われています");
}

// Go back (thrown at the first frame of the wait) replays from the start of the current page,
// with the variables the page began with.
TEST_F(Interpreter, GoingBackReplaysTheCurrentPage) {
    struct Case {
        const char* script;
        std::int32_t page;
        std::vector<std::string> log;
    } cases[] = {
        {"「一」\n\n.PST X + 1\n「二」\n.GRP WAIT 5\n「三」\n", -1, {"一", "二", "二", "三"}},
        {"「一」\n.PST X + 1\n.GRP WAIT 5\n「二」\n", -1, {"一", "一", "二"}},           // before any page: the head
        {"「一」\n\n.PST X + 1\n「二」\n.GRP WAIT 5\n「三」\n", 1, {"二", "二", "三"}},  // the page resumed at
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        StoryGroup group;
        group.Load(c.script);
        GetOrCreateVariable(LiveVariables(), u"X", 0);
        GetOrCreateVariable(VariableSnapshot(), u"X", 40);  // another run's snapshot
        bool asked = false;
        group.on_frame = [&](int) {
            if (!std::exchange(asked, true)) throw ScriptException{ScriptException::kGoBack};
        };
        EXPECT_EQ(group.Run(c.page), 0);
        EXPECT_EQ(group.log, c.log);
        EXPECT_EQ(Value(u"X"), 1);
        EXPECT_EQ(group.notes, (std::vector<std::uint32_t>{ScriptStateGroup::kNotifyGoBack}));
        EXPECT_EQ(group.end_runs, 1);
    }
}

TEST_F(Interpreter, BeginRunRecordsTheScriptTitleOnceIgnoringCase) {
    group_.Compile("", u"scripts/Chapter9.txt");
    group_.Run(-1);
    group_.Run(-1);
    EXPECT_EQ(group_.begin_results, (std::vector<bool>{false, true}));
    EXPECT_EQ(ScriptHistory().tail()->title, u"Chapter9");
    EXPECT_TRUE(ScriptHistory().Find(u"CHAPTER9"));
    EXPECT_TRUE(ScriptHistory().Add(u"chapter9"));
    AddImageHistory(u"cg/EV001.jpg");
    EXPECT_TRUE(ImageHistory().Find(u"ev001"));
}

}  // namespace
