// The base interpreter under a small story interpreter of the tests' own, built the way the game
// builds its own: a derived group that makes derived nodes and fills the frame-loop seam.
#include <gtest/gtest.h>

#include <functional>
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
// only, so PST must create what it assigns.
TEST_F(Interpreter, CommandsByTable) {
    struct Case {
        const char* script;
        std::int32_t page;
        std::uint32_t seed, scene;
        std::vector<std::pair<const char16_t*, std::int32_t>> before;
        std::vector<const char16_t*> names;
        std::string outcome;
    };
    constexpr const char* kPages = "「一」\n\n「二」\n\n「三」\n";
    constexpr const char* kRandom = ".RJP L1\n.RJP L2\n.RJP L3\n\n.LAB L1\n「1」\n\n.LAB L2\n「2」\n\n.LAB L3\n「3」\n";
    constexpr const char* kPjpLess = ".PJP X < Y SKIP\n「no」\n\n.LAB SKIP\n「yes」\n";
    constexpr const char* kPjpMore = ".PJP X > Y SKIP\n「no」\n\n.LAB SKIP\n「yes」\n";
    constexpr const char* kPjpSame = ".PJP X = Y SKIP\n「no」\n\n.LAB SKIP\n「yes」\n";
    const std::int32_t kMin = INT32_MIN, kMax = INT32_MAX;
    const Case cases[] = {
        {kPages, -1, 1, 0, {}, {}, "一|二|三"},
        {kPages, 2, 1, 0, {}, {}, "三"},
        {kPages, 5, 1, 0, {}, {}, "!再開できるページが見つかりません@5"},
        {".JMP there\n「飛ばす」\n\n.LAB THERE\n「着いた」\n", -1, 1, 0, {}, {}, "着いた"},
        {".JMP THERE\n.LAB THERE\n", -1, 1, 0, {}, {}, "!ラベルの直前にページ区切りがありません@2"},
        {"\n.JMP NOPE\n", -1, 1, 0, {}, {}, "!ラベルが見つかりません。[NOPE]@3"},
        {kRandom, -1, 2, 0, {}, {}, "1|2|3"},  // the first number of seed 2 is 45: pick 0
        {kRandom, -1, 6, 0, {}, {}, "2|3"},  // 58: pick 1
        {kRandom, -1, 1, 0, {}, {}, "3"},  // 41: pick 2
        {".RJP L1\n.RJP L1\n\n.LAB L1\n", -1, 1, 0, {}, {}, "!RJP: ジャンプ先を３つ指定してください。@2"},
        {".RJP L1\n.RJP L1\n.RJP L1\n.RJP L1\n\n.LAB L1\n",
         -1,
         1,
         0,
         {},
         {},
         "!RJP: ジャンプ先を３つ指定してください。@2"},
        {".PST X + 5\n.PST Y = 07\n.PST Z - 10\n", -1, 1, 0, {}, {u"X", u"Y", u"Z"}, " X=5 Y=7 Z=-10"},
        {".PST X + 1\n.PST Y - 1\n.PST Z = 4294967295\n",
         -1,
         1,
         0,
         {{u"X", kMax}, {u"Y", kMin}},
         {u"X", u"Y", u"Z"},
         " X=-2147483648 Y=2147483647 Z=-1"},
        {"\n\n.PST X = Y\n", -1, 1, 0, {}, {u"X"}, "!数値を指定してください。@4 X=0"},
        {kPjpLess, -1, 1, 0, {{u"X", -1}, {u"Y", 0}}, {}, "yes"},
        {kPjpLess, -1, 1, 0, {{u"X", 0}, {u"Y", 0}}, {}, "no|yes"},
        {kPjpLess, -1, 1, 0, {{u"X", 0}, {u"Y", -1}}, {}, "no|yes"},
        {kPjpMore, -1, 1, 0, {{u"X", 0}, {u"Y", -1}}, {}, "yes"},
        {kPjpMore, -1, 1, 0, {{u"X", 0}, {u"Y", 0}}, {}, "no|yes"},
        {kPjpMore, -1, 1, 0, {{u"X", -1}, {u"Y", 0}}, {}, "no|yes"},
        {kPjpSame, -1, 1, 0, {{u"X", -3}, {u"Y", -3}}, {}, "yes"},
        {kPjpSame, -1, 1, 0, {{u"X", -3}, {u"Y", 3}}, {}, "no|yes"},
        {".PJP X = 07 NOPE\n", -1, 1, 0, {{u"X", 7}}, {}, "!ラベルが見つかりません。[NOPE]@2"},
        {".PJP X > 6 NOPE\n", -1, 1, 0, {{u"X", 7}}, {}, "!ラベルが見つかりません。[NOPE]@2"},
        {".PJP X > 7 NOPE\n「no」\n", -1, 1, 0, {{u"X", 7}}, {}, "no"},
        {".PST X = 3\n.PJP 1 = 1 NOPE\n「shown」\n", -1, 1, 1, {}, {u"X"}, "shown X=-"},
        {".RST a\n.RSP GAMMA\n.RSP DELTA\n",
         -1,
         1,
         0,
         {{u"ALPHA", 4}, {u"APPLE", 4}, {u"BETA", 4}, {u"GAMMA", 4}},
         {u"ALPHA", u"APPLE", u"BETA", u"GAMMA", u"DELTA"},
         " ALPHA=0 APPLE=0 BETA=4 GAMMA=0 DELTA=0"},
        {".RSX A\n", -1, 1, 0, {{u"ALPHA", 4}, {u"BETA", 4}}, {u"ALPHA", u"BETA"}, " ALPHA=4 BETA=0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        StoryGroup group;
        testsupport::CaptureReports reports;
        group.Load(c.script);
        LiveVariables().Clear();
        for (auto [name, value] : c.before) GetOrCreateVariable(LiveVariables(), name, value);
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
        for (const char16_t* name : c.names) {
            const VariableNode* node = FindVariable(LiveVariables(), VariableNode::kNumber, name);
            outcome += " " + Utf16ToUtf8(name) + "=" + (node ? std::to_string(node->value) : "-");
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
    const char16_t* texts[] = {
        u"0000: None",
        u"0001: 不明なコマンドです",
        u"0002: 文字列の書き方に間違いがあります",
        u"0003: ラベルはすでに定義されています",
        u"0004: ラベルが定義されていません",
        u"0005: 使われている変数は存在しません",
        u"0006: パラメータの指定に間違いがあります",
        u"0007: 対応する IF コマンドがありません",
        u"0008: 対応する WHILE / SWITCH コマンドがありません",
        u"0009: 計算式に間違いがあります",
        u"0010: 音楽番号が範囲を超えています",
        u"0011: CG番号が範囲を超えています",
        u"0012: CGデータがロードされていません",
        u"0013: スプライトが作成されていません",
        u"0014: メニューが見つかりません",
        u"0015: 文字列以外で全角文字が使われています",
    };
    for (std::uint32_t code = 0; code < 16; ++code) EXPECT_EQ(ScriptErrorText(code), texts[code]);
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
