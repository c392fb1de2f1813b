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

TEST_F(ListTest, GetAtCountsFromBothEnds) {
    ListGroup empty;
    for (int i : {-2, -1, 0, 1}) EXPECT_EQ(empty.GetAt(i), nullptr);

    ListGroup many;
    auto more = Fill(many, 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(many.GetAt(i), more[i]);
        EXPECT_EQ(many.GetAt(~i), more[6 - i]);
    }
    EXPECT_EQ(many.GetAt(7), nullptr);
    EXPECT_EQ(many.GetAt(-8), nullptr);
}

TEST_F(ListTest, InsertChainInFrontOfHeadOrMiddle) {
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
    ExpectConsistent(group, {a, b, c, items[0], d, items[1]});

    EXPECT_EQ(group.InsertChain(nullptr, nullptr), nullptr);
    EXPECT_EQ(group.count(), 6);
}

TEST_F(ListTest, UnlinkKeepsTheNodeAndFixesTheEnds) {
    ListGroup group;
    auto items = Fill(group, 3);
    EXPECT_EQ(group.Unlink(items[1]), items[1]);
    ExpectConsistent(group, {items[0], items[2]});
    EXPECT_EQ(items[1]->group(), nullptr);
    EXPECT_EQ(items[1]->next(), nullptr);
    EXPECT_EQ(group.Unlink(items[2]), items[2]);
    EXPECT_EQ(group.Unlink(items[0]), items[0]);
    ExpectConsistent(group, {});
    EXPECT_EQ(group.Unlink(items[0]), nullptr);
    for (Item* item : items) delete item;
    EXPECT_EQ(log.size(), 3u);
}

TEST_F(ListTest, UnlinkAndInsertRefuseOtherGroupsMembersAndNull) {
    ListGroup first, second;
    auto mine = Fill(first, 2);
    auto theirs = Fill(second, 2);
    EXPECT_EQ(first.Unlink(theirs[0]), nullptr);
    EXPECT_EQ(first.Unlink(nullptr), nullptr);
    Item item("x");
    EXPECT_EQ(first.InsertChain(theirs[0], &item), nullptr);
    EXPECT_EQ(item.group(), nullptr);
    ExpectConsistent(first, {mine[0], mine[1]});
    ExpectConsistent(second, {theirs[0], theirs[1]});
}

TEST_F(ListTest, DeletingAMemberTakesItOut) {
    ListGroup group;
    auto items = Fill(group, 3);
    delete items[0];
    ExpectConsistent(group, {items[1], items[2]});
}

TEST_F(ListTest, ANodeOnlyNamingItsGroupLeavesTheGroupAlone) {
    ListGroup group;
    auto items = Fill(group, 2);
    {
        Item loose("loose");
        EXPECT_TRUE(loose.SetGroup(&group));
        EXPECT_FALSE(group.Holds(&loose));
    }
    ListGroup other;
    EXPECT_FALSE(items[0]->SetGroup(&other));  // a member keeps its group
    EXPECT_EQ(items[0]->group(), &group);
    ExpectConsistent(group, {items[0], items[1]});
}

TEST_F(ListTest, DestroyingNestedGroupsEmptiesEachHeadFirst) {
    {
        Box outer("outer");
        Box* inner = new Box("inner");
        outer.InsertChain(nullptr, new Item("a"));
        outer.InsertChain(nullptr, inner);
        inner->InsertChain(nullptr, new Item("b"));
        inner->InsertChain(nullptr, new Item("c"));
        outer.InsertChain(nullptr, new Item("d"));
    }
    EXPECT_EQ(log, (std::vector<std::string>{"outer members=3", "a", "inner members=2", "b", "c", "d"}));
}

TEST_F(ListTest, DestroyingAGroupLeavesItsOwnGroup) {
    ListGroup outer;
    Box* inner = new Box("inner");
    auto before = Fill(outer, 1);
    outer.InsertChain(nullptr, inner);
    delete inner;
    ExpectConsistent(outer, {before[0]});
}

// The typed templates as the script language uses them.
class Step;
class Script : public CDoubleListGroup<Script, Step> {};
class Step : public CDoubleListNode<Step, Script> {
public:
    explicit Step(int value) : value(value) {}
    int value;
};

TEST(TypedLists, DoubleListLinksCarryTheDerivedTypes) {
    Script script;
    for (int i = 1; i <= 3; ++i) script.InsertChain(nullptr, new Step(i));
    Step* middle = script.head()->next();
    EXPECT_EQ(middle->value, 2);
    EXPECT_EQ(script.Unlink(middle), middle);
    delete middle;
    EXPECT_EQ(script.tail()->prev()->value, 1);
}

struct Link {
    Link* next;
    int value;
};

TEST(Chains, AppendAndNth) {
    Link c{nullptr, 3}, b{nullptr, 2}, a{nullptr, 1};
    Link* head = ChainAppend<Link>(nullptr, &a);
    EXPECT_EQ(head, &a);
    EXPECT_EQ(ChainAppend(head, &b), &a);
    EXPECT_EQ(ChainAppend(head, &c), &a);
    EXPECT_EQ(a.next, &b);
    EXPECT_EQ(b.next, &c);
    EXPECT_EQ(ChainNth(head, 0), &a);
    EXPECT_EQ(ChainNth(head, 2), &c);
    EXPECT_EQ(ChainNth(head, 3), nullptr);
    EXPECT_EQ(ChainNth(head, 50), nullptr);
    EXPECT_EQ(ChainNth(head, -1), nullptr);
    EXPECT_EQ(ChainNth<Link>(nullptr, 0), nullptr);
}

}  // namespace
