#include "lib/list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records every destruction, in order, so tests see who was deleted and when.
std::vector<std::string>* g_log = nullptr;

class Item : public ListNode {
public:
    explicit Item(std::string name) : name_(std::move(name)) {}
    ~Item() override {
        if (g_log) g_log->push_back(name_);
    }
    const std::string& name() const { return name_; }

private:
    std::string name_;
};

class Box : public ListGroup {
public:
    explicit Box(std::string name) : name_(std::move(name)) {}
    ~Box() override {
        if (g_log) g_log->push_back(name_ + " members=" + std::to_string(count()));
    }

private:
    std::string name_;
};

class ListTest : public testing::Test {
protected:
    void SetUp() override { g_log = &log; }
    void TearDown() override { g_log = nullptr; }

    // Appends fresh items to the group, one InsertChain each.
    std::vector<Item*> Fill(ListGroup& group, int n) {
        std::vector<Item*> items;
        for (int i = 0; i < n; ++i) {
            items.push_back(new Item("n" + std::to_string(i)));
            group.InsertChain(nullptr, items.back());
        }
        return items;
    }

    // Checks the links run head to tail and back, with the right group and count.
    static void ExpectConsistent(const ListGroup& group, const std::vector<ListNode*>& order) {
        ASSERT_EQ(group.count(), static_cast<std::int32_t>(order.size()));
        ListNode* node = group.head();
        for (std::size_t i = 0; i < order.size(); ++i, node = node->next()) {
            ASSERT_EQ(node, order[i]) << i;
            EXPECT_EQ(node->group(), &group);
            EXPECT_EQ(node->prev(), i == 0 ? nullptr : order[i - 1]);
        }
        EXPECT_EQ(node, nullptr);
        EXPECT_EQ(group.tail(), order.empty() ? nullptr : order.back());
    }

    std::vector<std::string> log;
};

TEST_F(ListTest, InsertChainInFrontOfHeadOrMiddleAndGetAtCountsFromBothEnds) {
    ListGroup group;
    auto items = Fill(group, 2);
    Item* a = new Item("a");
    Item* b = new Item("b");
    Item* c = new Item("c");
    a->SetChainNext(b);
    b->SetChainNext(c);
    EXPECT_EQ(group.InsertChain(items[0], a), c);
    ExpectConsistent(group, {a, b, c, items[0], items[1]});
    Item* d = new Item("d");
    EXPECT_EQ(group.InsertChain(items[1], d), d);
    const std::vector<ListNode*> order = {a, b, c, items[0], d, items[1]};
    ExpectConsistent(group, order);
    EXPECT_EQ(group.InsertChain(nullptr, nullptr), nullptr);
    EXPECT_EQ(group.count(), 6);

    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(group.GetAt(i), order[i]);
        EXPECT_EQ(group.GetAt(~i), order[5 - i]);
    }
    EXPECT_EQ(group.GetAt(6), nullptr);
    EXPECT_EQ(group.GetAt(-7), nullptr);
    ListGroup empty;
    for (int i : {-1, 0}) EXPECT_EQ(empty.GetAt(i), nullptr);
}

TEST_F(ListTest, UnlinkKeepsTheNodeFixesTheEndsAndRefusesStrangers) {
    ListGroup group, second;
    auto items = Fill(group, 4);
    auto theirs = Fill(second, 1);
    EXPECT_EQ(group.Unlink(theirs[0]), nullptr);
    EXPECT_EQ(group.Unlink(nullptr), nullptr);
    Item loose("x");
    EXPECT_EQ(group.InsertChain(theirs[0], &loose), nullptr);
    EXPECT_EQ(loose.group(), nullptr);
    EXPECT_FALSE(theirs[0]->SetGroup(&group));  // a member keeps its group
    ExpectConsistent(second, {theirs[0]});
    {
        Item only_naming("loose");  // a node that only names its group leaves the group alone
        EXPECT_TRUE(only_naming.SetGroup(&group));
        EXPECT_FALSE(group.Holds(&only_naming));
    }

    delete items[3];  // deleting a member takes it out
    EXPECT_EQ(group.Unlink(items[1]), items[1]);
    ExpectConsistent(group, {items[0], items[2]});
    EXPECT_EQ(items[1]->group(), nullptr);
    EXPECT_EQ(items[1]->next(), nullptr);
    EXPECT_EQ(group.Unlink(items[2]), items[2]);
    EXPECT_EQ(group.Unlink(items[0]), items[0]);
    ExpectConsistent(group, {});
    EXPECT_EQ(group.Unlink(items[0]), nullptr);
    for (int i : {0, 1, 2}) delete items[i];
    EXPECT_EQ(log, (std::vector<std::string>{"loose", "n3", "n0", "n1", "n2"}));
}

TEST_F(ListTest, DestroyingNestedGroupsEmptiesEachHeadFirstAndLeavesTheirOwnGroup) {
    {
        Box outer("outer");
        Box* inner = new Box("inner");
        outer.InsertChain(nullptr, new Item("a"));
        outer.InsertChain(nullptr, inner);
        inner->InsertChain(nullptr, new Item("b"));
        inner->InsertChain(nullptr, new Item("c"));
        Item* d = new Item("d");
        outer.InsertChain(nullptr, d);
        Box* leaving = new Box("leaving");
        outer.InsertChain(nullptr, leaving);
        delete leaving;
        ExpectConsistent(outer, {outer.head(), inner, d});
    }
    EXPECT_EQ(
        log, (std::vector<std::string>{"leaving members=0", "outer members=3", "a", "inner members=2", "b", "c", "d"}));
}

}  // namespace
