#include "script/jump_table.h"

#include <gtest/gtest.h>

#include <string>

#include "lib/error.h"
#include "script/script_node.h"
#include "script/variables.h"
#include "script_test_util.h"
#include "support/capture_reports.h"

using namespace TextScript;
using scripttest::Cp932;

namespace {

std::string JumpLines(const std::string& last_label = "LAST") {
    std::string text;
    for (int i = 0; i < 19; ++i) text += "J" + std::to_string(i) + "\n";
    return text + last_label + "\n";
}

// A script with a label on a page for every name used by the tables below.
constexpr std::string_view kScript =
    ".GRP START\n\n.LAB J0\n\n.LAB J3\n\n.LAB T1\n\n.LAB T2\n\n.LAB LAST\n\n.LAB FIRST\n";

class Tables : public ::testing::Test {
protected:
    void Load(const std::string& tables) {
        group_.Compile(std::string(kScript), u"t.txt");
        ParseJumpTable(group_, Cp932(JumpLines() + tables), u"iv.txt");
    }
    // The label after the page node IVG n lands on.
    std::u16string Target(std::int32_t n) {
        const ScriptStateNode* page = JumpThroughTables(group_, n);
        EXPECT_EQ(page->code, ScriptStateNode::kPage);
        return std::u16string(page->next()->Arg(0));
    }
    std::u16string FailureText(std::int32_t n) {
        try {
            JumpThroughTables(group_, n);
        } catch (const ScriptError2& error) {
            return error.text;
        }
        return u"(no error)";
    }

    scripttest::FreshVariables fresh_;
    ScriptStateGroup group_;
};

TEST_F(Tables, WithoutAJudgeTableTheJumpEntryDecides) {
    Load("");
    EXPECT_EQ(group_.jump_tables().count(), kJumpEntryCount);
    EXPECT_EQ(Target(0), u"J0");
    EXPECT_EQ(Target(3), u"J3");
    EXPECT_EQ(Target(-1), u"LAST") << "a negative number counts from the last entry";
    EXPECT_EQ(Target(-20), u"J0");
    EXPECT_EQ(FailureText(20), u"IVG: ジャンプテーブルに20番はありません");
    EXPECT_EQ(FailureText(-21), u"IVG: ジャンプテーブルに-21番はありません");
    EXPECT_EQ(FailureText(1), u"ラベルが見つかりません。[J1]");
}

TEST_F(Tables, TheFirstTableThatHoldsWinsInFileOrder) {
    Load("#3\nT1\nA == 1\nB >> 5\n#3\nT2\nA << 2\n#3\nLAST\n");
    GetOrCreateVariable(LiveVariables(), u"B", 9);
    DeclareJudgeOperands(group_);
    for (const char16_t* literal : {u"1", u"2", u"5"})
        EXPECT_EQ(FindVariable(LiveVariables(), VariableNode::kNumber, literal), nullptr);
    const VariableNode* a = FindVariable(LiveVariables(), VariableNode::kNumber, u"A");
    ASSERT_NE(a, nullptr) << "operands are declared";
    EXPECT_EQ(a->value, 0);
    EXPECT_EQ(FindVariable(LiveVariables(), VariableNode::kNumber, u"B")->value, 9)
        << "a declared name keeps its value";
    EXPECT_EQ(Target(3), u"T2");
    GetOrCreateVariable(LiveVariables(), u"A", 1);
    EXPECT_EQ(Target(3), u"T1");
    GetOrCreateVariable(LiveVariables(), u"A", 7);
    EXPECT_EQ(Target(3), u"LAST") << "a table with no entries always holds";
}

TEST_F(Tables, OperatorsCompareSigned32BitValuesAtTheirBoundaries) {
    // Whether N op M holds for N < M, N = M and N > M (with -1 < 0, so unsigned compares fail).
    const std::pair<const char*, std::string> cases[] = {
        {"==", "010"}, {"=!", "010"}, {"<<", "100"}, {">>", "001"},
        {"<=", "110"}, {">=", "011"}, {"<>", "101"}, {"> ", "000"},
    };
    const std::pair<std::int32_t, std::int32_t> values[] = {{-1, 0}, {-7, -7}, {0, -1}};
    for (const auto& [op, holds] : cases) {
        Load(std::string("#3\nT1\nN ") + op + " M\n");
        for (int i = 0; i < 3; ++i) {
            GetOrCreateVariable(LiveVariables(), u"N", values[i].first);
            GetOrCreateVariable(LiveVariables(), u"M", values[i].second);
            EXPECT_EQ(Target(3), holds[i] == '1' ? u"T1" : u"J3") << op << " case " << i;
        }
    }
}

TEST(ParseJumpTable, HeaderRuleEightEntriesAndFaultsWithFileAndLine) {
    struct Case {
        std::string text;
        std::uint32_t line;
        std::u16string message;
    };
    const std::string eight_entries = "#1\nT\nA == 1\nA == 2\nA == 3\nA == 4\nA == 5\nA == 6\nA == 7\nA == 8\n";
    ScriptStateGroup fits;
    ParseJumpTable(fits, JumpLines() + eight_entries, u"iv.txt");
    ASSERT_EQ(fits.judge_tables().count(), 1);
    EXPECT_EQ(fits.judge_tables().head()->count, kMaxJudgeEntries);
    EXPECT_EQ(fits.judge_tables().head()->entries[7].b, u"8");
    // A first byte 0 skips a 128-byte header; the first word is the label, the rest is kept.
    ScriptStateGroup header;
    std::string bytes(128, '\0');
    bytes += "  first  rest of line // comment\n" + JumpLines().substr(JumpLines().find('\n') + 1);
    ParseJumpTable(header, bytes, u"iv.txt");
    ASSERT_EQ(header.jump_tables().count(), kJumpEntryCount);
    EXPECT_EQ(header.jump_tables().head()->label, u"FIRST");
    EXPECT_EQ(header.jump_tables().head()->rest, u"rest of line ");

    const Case cases[] = {
        {"A\nB\n", 3, u"ジャンプテーブルが2行しかありません（20行必要です）"},
        {"", 1, u"ジャンプテーブルが0行しかありません（20行必要です）"},
        {JumpLines() + "X\n", 21, u"書式が違います"},
        {JumpLines() + "#\nT\n", 21, u"書式が違います"},
        {JumpLines() + "#1\n\n", 23, u"書式が違います"},
        {JumpLines() + "#1\nT\nA ==\nB\n", 23, u"書式が違います"},
        {JumpLines() + "#1\nT\nA\nB == 1\n", 23, u"書式が違います"},
        {JumpLines() + "#1\nT\nA =\n", 23, u"書式が違います"},
        {JumpLines() + eight_entries + "A == 9\n", 31, u"判定テーブルの条件は8個までです"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ScriptStateGroup group;
        testsupport::CaptureReports reports;
        try {
            ParseJumpTable(group, c.text, u"iv.txt");
            ADD_FAILURE() << "no error";
        } catch (const ExceptionHandle& error) {
            EXPECT_EQ(std::u16string(error.file), u"iv.txt");
            EXPECT_EQ(error.line, c.line);
            EXPECT_EQ(std::u16string(error.message), c.message);
            EXPECT_EQ(group.last_error().line, c.line);
            EXPECT_EQ(reports.debug,
                      u"iv.txt(" + Utf8ToUtf16(std::to_string(c.line)) + u"): Compile Error: " + c.message + u"\n");
        }
    }
}

}  // namespace
