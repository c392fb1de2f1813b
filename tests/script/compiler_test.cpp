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
using scripttest::Describe;
using Lines = std::vector<std::string>;

namespace {

Lines Compiled(std::string_view utf8) {
    ScriptStateGroup group;
    group.Compile(Cp932(utf8), u"t.txt");
    return Describe(group);
}

// The error exception a failing compile raises.
ExceptionHandle CompileError(ScriptStateGroup& group, std::string_view bytes) {
    try {
        group.Compile(bytes, u"bad.txt");
    } catch (const ExceptionHandle& error) {
        return error;
    }
    ADD_FAILURE() << "the compile did not fail";
    return {};
}

TEST(Compile, CommandNodeTakesTheLineAfterItsLineEnd) {
    // Written on line 5 (after a page break of four lines), the node holds line 6; the page node
    // holds the line on which the first token after the blank lines was read.
    EXPECT_EQ(Compiled("\n\n\n\n.GRP A\n"), (Lines{"5 34 - 1", "6 2 - 0 A", "6 0 - 0"}));
}

TEST(Compile, ResetCommandsNameExactlyOneLetter) {
    EXPECT_EQ(Compiled(".RST a\n"), (Lines{"2 19 - 0 A", "2 0 - 0"}));
    ScriptStateGroup group;
    testsupport::CaptureReports reports;
    const ExceptionHandle error = CompileError(group, ".RSX AB\n");
    EXPECT_EQ(std::u16string(error.message), u"変数名は１文字にして下さい");
    EXPECT_EQ(error.line, 2u);
    EXPECT_EQ(reports.debug, u"bad.txt(2): 変数名は１文字にして下さい\n");
}

TEST(Compile, SyntaxErrorsRaiseTheErrorExceptionAtTheLexerLine) {
    ScriptStateGroup group;
    testsupport::CaptureReports reports;
    const ExceptionHandle error = CompileError(group, ".GRP A\n.PST X + -3\n.GRP B\n");
    EXPECT_EQ(std::u16string(error.file), u"bad.txt");
    EXPECT_EQ(error.line, 2u);
    EXPECT_EQ(std::u16string(error.message), u"syntax error");
    EXPECT_EQ(error.type, 0u);
    EXPECT_EQ(reports.debug, u"bad.txt(2): syntax error\n");
    // The nodes made before the error stay in the group.
    ASSERT_EQ(group.count(), 1);
    EXPECT_EQ(group.head()->code, ScriptStateNode::kGrp);
}

TEST(Compile, LexerErrorsAreKeptInTheGroupAndReportedAsCompileErrors) {
    ScriptStateGroup group;
    testsupport::CaptureReports reports;
    const ExceptionHandle error = CompileError(group, ".GRP A\n.NOPE\n");
    EXPECT_EQ(error.line, 2u);
    EXPECT_EQ(std::u16string(error.message), u"コマンド名が違います。");
    EXPECT_EQ(group.last_error().line, 2u);
    EXPECT_EQ(std::u16string(group.last_error().text), u"コマンド名が違います。");
    EXPECT_EQ(reports.debug, u"bad.txt(2): Compile Error: コマンド名が違います。\n");
}

TEST(Compile, OverlongWordIsAnErrorNotAnOverrun) {
    ScriptStateGroup group;
    testsupport::CaptureReports reports;
    const ExceptionHandle error = CompileError(group, ".GRP A\n.GRP " + std::string(2000, 'W') + "\n");
    EXPECT_EQ(error.line, 2u);
    EXPECT_EQ(std::u16string(error.message), u"名前または数値が長すぎます。");
}

TEST(Compile, CommandsDeclareTheirVariablesButNotNumbers) {
    scripttest::FreshVariables fresh;
    GetOrCreateVariable(LiveVariables(), u"KEEP", 9);
    Compiled(".PST keep = 1\n.PJP A < 10 L\n.PJP 5 = B L\n.RSP C\n.DON D\n.JMP E\n.IVG F\n");
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

// A group that makes its own nodes, as the game's group does, from the story-node pool.
class PooledNode : public ScriptStateNode {
public:
    using ScriptStateNode::ScriptStateNode;
    static void* operator new(std::size_t size) {
        void* block = StateNodePool().Alloc(size);
        if (!block) throw std::bad_alloc();
        return block;
    }
    static void operator delete(void* block) { StateNodePool().Free(block); }
};
static_assert(sizeof(PooledNode) <= kStateNodeBlockSize);

class PooledGroup : public ScriptStateGroup {
public:
    std::unique_ptr<ScriptStateNode> CreateNode() override {
        ++made;
        return std::make_unique<PooledNode>(this);
    }
    int made = 0;
};

TEST(Compile, EveryNodeIsMadeThroughTheGroup) {
    PooledGroup group;
    group.Compile(Cp932("「文」\n\n.GRP A\n"), u"t.txt");
    EXPECT_EQ(group.made, 4);
    for (const ScriptStateNode* node = group.head(); node; node = node->next())
        EXPECT_NE(dynamic_cast<const PooledNode*>(node), nullptr);
}

TEST(ScriptStateNode, UnlinkedNodeStillReachesItsGroup) {
    ScriptStateGroup group;
    group.Compile(".GRP A\n\n", u"t.txt");
    std::unique_ptr<ScriptStateNode> node = group.CreateNode();
    EXPECT_EQ(node->group(), &group);
    EXPECT_EQ(node->line, 3u);
    EXPECT_EQ(group.count(), 3);
    node->AddArgument(u"first");
    node->AddArgument(u"second");
    EXPECT_EQ(node->ArgCount(), 2);
    EXPECT_EQ(node->Arg(0), u"first");
    EXPECT_EQ(node->Arg(1), u"second");
    EXPECT_EQ(node->Arg(2), u"");
    node.reset();
    EXPECT_EQ(group.count(), 3) << "a node that was never linked leaves the list alone";
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

}  // namespace
