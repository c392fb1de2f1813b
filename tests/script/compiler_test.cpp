#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/error.h"
#include "script/pools.h"
#include "script/script_node.h"
#include "script/variables.h"
#include "script_test_util.h"
#include "support/capture_reports.h"

using namespace TextScript;
using scripttest::Cp932;

namespace {

// Each failing compile raises the error exception at the lexer's line, writes the trace, and keeps
// the nodes made before the error in the group (counted by their first code).
TEST(Compile, ErrorsRaiseTheErrorExceptionAtTheLexerLine) {
    struct Case {
        std::string source, trace;
        std::int32_t kept;
    } cases[] = {
        {".RSX AB\n", "変数名は１文字にして下さい", 0},
        {".GRP A\n.PST X + -3\n.GRP B\n", "syntax error", 1},
        {".GRP A\n.GRPX B\n", "Compile Error: コマンド名が違います。", 1},  // keywords match whole
        {".GRP A\n.GRP " + std::string(2000, '7') + "\n", "Compile Error: 名前または数値が長すぎます。", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.trace);
        ScriptStateGroup group;
        testsupport::CaptureReports reports;
        try {
            group.Compile(c.source, u"bad.txt");
            ADD_FAILURE() << "the compile did not fail";
        } catch (const ExceptionHandle& error) {
            EXPECT_EQ(std::u16string(error.file), u"bad.txt");
            EXPECT_EQ(error.line, 2u);
            EXPECT_EQ(error.type, 0u);
            const std::string message = c.trace.substr(c.trace.starts_with("Compile Error: ") ? 15 : 0);
            EXPECT_EQ(Utf16ToUtf8(error.message), message);
            if (c.trace != message) {  // a lexer error is also kept in the group
                EXPECT_EQ(Utf16ToUtf8(group.last_error().text), message);
                EXPECT_EQ(group.last_error().line, 2u);
            }
        }
        EXPECT_EQ(reports.debug, u"bad.txt(2): " + Utf8ToUtf16(c.trace) + u"\n");
        ASSERT_EQ(group.count(), c.kept);
        EXPECT_TRUE(c.kept == 0 || group.head()->code == ScriptStateNode::kGrp);
    }
}

TEST(Compile, CommandsDeclareTheirVariablesButNotNumbers) {
    scripttest::FreshVariables fresh;
    GetOrCreateVariable(LiveVariables(), u"KEEP", 9);
    ScriptStateGroup group;
    group.Compile(Cp932(".PST keep = 1\n.PJP A < 10 L\n.PJP 5 = B L\n.RSP C\n.DON D\n.JMP E\n.IVG F\n"), u"t.txt");
    for (const char16_t* name : {u"A", u"B", u"C", u"D"}) {
        const VariableNode* node = FindVariable(LiveVariables(), VariableNode::kNumber, name);
        ASSERT_NE(node, nullptr) << Utf16ToUtf8(name);
        EXPECT_EQ(node->value, 0);
    }
    EXPECT_EQ(FindVariable(LiveVariables(), VariableNode::kNumber, u"KEEP")->value, 9) << "compiling runs nothing";
    EXPECT_EQ(FindVariable(LiveVariables(), VariableNode::kNumber, u"E"), nullptr);
    EXPECT_EQ(FindVariable(LiveVariables(), VariableNode::kNumber, u"F"), nullptr);
    EXPECT_EQ(FindVariable(LiveVariables(), VariableNode::kNumber, u"10"), nullptr);
    EXPECT_EQ(LiveVariables().size(), 5u);
}

TEST(ScriptStateNode, ArgumentsOutOfRangeAreEmptyAndAnUnlinkedNodeLeavesTheList) {
    ScriptStateGroup group;
    group.Compile(".GRP A\n\n", u"t.txt");
    std::unique_ptr<ScriptStateNode> node = group.CreateNode();
    EXPECT_EQ(node->line, 3u);
    node->AddArgument(u"first");
    EXPECT_EQ(node->Arg(0), u"first");
    EXPECT_EQ(node->Arg(1), u"");
    EXPECT_EQ(node->Arg(-1), u"");
    node.reset();
    EXPECT_EQ(group.count(), 3);
}

TEST(NamedItem, ChildrenAreFreedWithTheirParent) {
    NamedItem* left = NewNamedItem(1, u"left");
    NamedItem* right = NewNamedItem(2, u"right");
    NamedItem* root = NewNamedItem(1, u"root", left, right);
    EXPECT_EQ(left->parent, root);
    EXPECT_EQ(root->right, right);
    FreeNamedItem(right);
    EXPECT_EQ(root->right, nullptr) << "a freed child leaves its parent";
    FreeNamedItem(root);  // frees `left` too; the sanitizer build checks that nothing leaks
}

// Objects made in the script layer's pools: a constructor that throws gives its block back.
struct MaybeThrows {
    explicit MaybeThrows(bool fail) {
        if (fail) throw 7;
    }
    int value = 0;
};

TEST(PoolNew, AThrowingConstructorGivesItsBlockBack) {
    FixHeap pool(sizeof(MaybeThrows), 64, alignof(MaybeThrows));
    MaybeThrows* first = TextScript::PoolNew<MaybeThrows>(pool, u"test", false);
    TextScript::PoolDelete(pool, first);
    EXPECT_THROW(TextScript::PoolNew<MaybeThrows>(pool, u"test", true), int);
    // The pool hands out its first free block: the one the failed construction took, if it came back.
    MaybeThrows* again = TextScript::PoolNew<MaybeThrows>(pool, u"test", false);
    EXPECT_EQ(again, first);
    TextScript::PoolDelete(pool, again);
}

}  // namespace
