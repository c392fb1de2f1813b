#include "script/variables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script_test_util.h"

using namespace TextScript;

namespace {

std::vector<std::u16string> NamesInOrder(const VariableTable& table) {
    std::vector<std::u16string> names;
    table.ForEach([&](const VariableNode& node) { names.push_back(node.name); });
    return names;
}

TEST(HashName, RunsOverUtf16BytesUpToTheFirstZeroByte) {
    // An ASCII first character is followed by a zero byte: the hash is that byte times the key.
    EXPECT_EQ(HashName(u"A"), 0x41u * 0x12345678u);
    EXPECT_EQ(HashName(u"ALPHA"), HashName(u"A"));
    EXPECT_EQ(HashName(u""), 0u);
    // U+3042 U+3044 is the bytes 42 30 44 30: each step rotates left by one and adds byte times key.
    EXPECT_EQ(HashName(u"\u3042\u3044"), 0x48D157C6u);
    // A character whose low byte is zero ends the hash there.
    EXPECT_EQ(HashName(u"\u3000X"), 0u);
}

TEST(VariableTable, OrderIsByHashThenByInsertionAndKindsAreSeparate) {
    VariableTable table;
    table.GetOrCreate(u"Bee", 1);
    table.GetOrCreate(u"Apple", 2);
    table.GetOrCreate(u"Ant", 3);
    table.GetOrCreate(u"\u3042", 4);
    table.GetOrCreate(u"apple", 5);  // the same variable as Apple
    EXPECT_EQ(NamesInOrder(table), (std::vector<std::u16string>{u"Apple", u"Ant", u"Bee", u"\u3042"}));
    EXPECT_EQ(table.Find(VariableNode::kNumber, u"APPLE")->value, 5);
    EXPECT_EQ(table.Find(VariableNode::kNumber, u"APPLE")->name, u"Apple") << "the first writing's case stays";
    table.AddText(u"T", u"text");
    EXPECT_EQ(table.Find(VariableNode::kText, u"Bee"), nullptr);
    EXPECT_EQ(table.Find(VariableNode::kNumber, u"T"), nullptr);
    ASSERT_NE(table.Find(VariableNode::kText, u"t"), nullptr);
    EXPECT_EQ(table.Find(VariableNode::kText, u"t")->text, u"text");
}

TEST(Variables, OperandsAreNumbersOrVariables) {
    scripttest::FreshVariables fresh;
    EXPECT_EQ(EvaluateOperand(u"NOBODY", 0), 0);
    EXPECT_EQ(EvaluateOperand(u"NOBODY", -4), -4);
    EXPECT_EQ(EvaluateOperand(u"007", 0), 7);
    EXPECT_EQ(EvaluateOperand(u"99999999999", 0), INT32_MAX);
    GetOrCreateVariable(LiveVariables(), u"V", -12);
    EXPECT_EQ(EvaluateOperand(u"v", 0), -12);

    EXPECT_EQ(ParseDecimal(u""), 0u);
    EXPECT_EQ(ParseDecimal(u"0042"), 42u);
    EXPECT_EQ(ParseDecimal(u"4294967297"), 1u) << "wraps as 32-bit arithmetic";
}

TEST(Variables, SnapshotIsACopy) {
    scripttest::FreshVariables fresh;
    GetOrCreateVariable(LiveVariables(), u"B", 1);
    GetOrCreateVariable(LiveVariables(), u"A", 2);
    LiveVariables().AddText(u"T", u"words");
    SnapshotVariables();
    GetOrCreateVariable(LiveVariables(), u"A", 100);
    GetOrCreateVariable(LiveVariables(), u"C", 3);
    EXPECT_EQ(FindVariable(VariableSnapshot(), VariableNode::kNumber, u"A")->value, 2);
    EXPECT_EQ(FindVariable(VariableSnapshot(), VariableNode::kNumber, u"C"), nullptr);
    EXPECT_EQ(FindVariable(VariableSnapshot(), VariableNode::kText, u"T")->text, u"words");
    EXPECT_EQ(NamesInOrder(VariableSnapshot()), (std::vector<std::u16string>{u"A", u"B", u"T"}));
    ClearVariableTable(LiveVariables());
    EXPECT_TRUE(LiveVariables().empty());
    EXPECT_EQ(VariableSnapshot().size(), 3u);
}

}  // namespace
