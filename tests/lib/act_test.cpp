#include "lib/act.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "lib/error.h"

namespace {

// Every message a recording callback receives, as "name:message" (with ":child" for message 3).
std::vector<std::string> g_log;

std::string NameOf(ACT* act) { return act->value ? reinterpret_cast<const char*>(act->value) : "root"; }

std::intptr_t Record(ACT* act, int message, std::intptr_t a, std::intptr_t) {
    std::string entry = NameOf(act) + ":" + std::to_string(message);
    if (message == kActChildDetached) entry += ":" + NameOf(reinterpret_cast<ACT*>(a));
    g_log.push_back(entry);
    return 7;
}

// On its walk, frees the record kept in its user word.
std::intptr_t FreeOtherOnWalk(ACT* act, int message, std::intptr_t a, std::intptr_t b) {
    Record(act, message, a, b);
    if (message == kActWalkEnter && act->user) {
        FreeACT(reinterpret_cast<ACT*>(std::exchange(act->user, 0)));
    }
    return 0;
}

std::uintptr_t Name(const char* text) { return reinterpret_cast<std::uintptr_t>(text); }

// As FreeOtherOnWalk, then makes record "n" under root 1: it takes the freed record from the pool.
std::intptr_t ReuseOtherOnWalk(ACT* act, int message, std::intptr_t a, std::intptr_t b) {
    const bool frees = message == kActWalkEnter && act->user;
    FreeOtherOnWalk(act, message, a, b);
    if (frees) AttachACT(1, MakeACT(Record, Name("n")));
    return 0;
}

class ACTTest : public testing::Test {
protected:
    void SetUp() override {
        InitACTPool();
        g_log.clear();
    }
    void TearDown() override { FreeAllACTRoots(); }

    // Makes records until the pool is empty and returns how many it gave.
    static int DrainPool() {
        int made = 0;
        try {
            for (;;) {
                MakeACT(nullptr, 0);
                ++made;
            }
        } catch (const ExceptionHandle&) {}
        return made;
    }
};

TEST_F(ACTTest, PoolHandsOutRecordsInArrayOrderThen112AndRaises) {
    for (int slot = 1; slot < kActRootSlots; ++slot) EXPECT_EQ(GetACTRoot(slot), GetACTRoot(0) + slot);
    ACT* first = MakeACT(nullptr, 0);
    EXPECT_EQ(first, GetACTRoot(15) + 1) << "the roots take the first 16 records";
    EXPECT_EQ(MakeACT(nullptr, 0), first + 1);
    FreeACT(first);
    EXPECT_EQ(MakeACT(nullptr, 0), first) << "a freed record is the next one handed out";
    for (int i = 2; i < 112; ++i) MakeACT(nullptr, 0);
    try {
        MakeACT(nullptr, 0);
        FAIL() << "no error raised";
    } catch (const ExceptionHandle& e) {
        EXPECT_EQ(std::u16string(e.message), u"MakeACT: Empty Memory!!");
        EXPECT_EQ(std::u16string(e.file), u"act.cpp");
        EXPECT_EQ(e.line, 224u);
        EXPECT_EQ(e.type, 0u);
    }
}

TEST_F(ACTTest, MakeAnnouncesItselfAndWalksVisitChildrenOldestFirstBetweenTheRootsMessages) {
    for (const char* name : {"a", "b", "c"}) AttachACT(0, MakeACT(Record, Name(name)));
    EXPECT_EQ(g_log, (std::vector<std::string>{"a:1", "a:4", "b:1", "b:4", "c:1", "c:4"}));
    ACT* c = GetACTRoot(0)->last_child;
    EXPECT_EQ(c->flags, 1);
    EXPECT_EQ(c->user, 0u);
    EXPECT_EQ(c->parent, GetACTRoot(0));
    EXPECT_EQ(c->last_child, nullptr);
    EXPECT_EQ(SendACT(c, 0x8000, 0, 0), 7);
    EXPECT_EQ(SendACT(MakeACT(nullptr, 0), 0x8000, 0, 0), 0);

    for (int slot = 0; slot < kActRootSlots; ++slot) GetACTRoot(slot)->callback = Record;
    g_log.clear();
    WalkACTRoots(0, 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"root:5", "a:5", "a:6", "b:5", "b:6", "c:5", "c:6", "root:6"}));
    g_log.clear();
    WalkACTRoots(0, -1);
    EXPECT_EQ(g_log.size(), 32u + 6u);
    g_log.clear();
    WalkACTRoots(3, 2);
    EXPECT_TRUE(g_log.empty());
}

// Children hung under a task rather than a root, as the ring rules allow.
TEST_F(ACTTest, ChildrenOfATaskAreWalkedOldestFirstHiddenByTheFlagAndFreedNewestFirst) {
    GetACTRoot(1)->callback = Record;
    ACT* task = MakeACT(Record, Name("t"));
    AttachACT(1, task);
    ACT* older = MakeACT(Record, Name("old"));
    ACT* newer = MakeACT(Record, Name("new"));
    older->parent = newer->parent = task;
    older->next = newer;
    newer->next = older;
    task->last_child = newer;
    g_log.clear();
    WalkACT(task);
    EXPECT_EQ(g_log, (std::vector<std::string>{"t:5", "old:5", "old:6", "new:5", "new:6", "t:6"}));
    g_log.clear();
    task->flags = 0;
    WalkACT(GetACTRoot(1));
    EXPECT_EQ(g_log, (std::vector<std::string>{"root:5", "root:6"}));
    g_log.clear();
    EXPECT_EQ(FreeACT(task), 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"t:3:new", "new:2", "t:3:old", "old:2", "root:3:t", "t:2"}));
    EXPECT_EQ(GetACTRoot(1)->last_child, nullptr);
    EXPECT_EQ(DrainPool(), 112);
}

// Freeing (below) unlinks from rings of one and many; a record outside the ring leaves it alone.
TEST_F(ACTTest, UnlinkingAStrangerChangesNothing) {
    ACT* a = MakeACT(nullptr, 0);
    ACT* b = MakeACT(nullptr, 0);
    ACT* stranger = MakeACT(nullptr, 0);
    for (ACT* act : {a, b}) AttachACT(0, act);
    UnlinkChildACT(GetACTRoot(0), stranger);
    EXPECT_EQ(GetACTRoot(0)->last_child, b);
    EXPECT_EQ(b->next, a);
    EXPECT_EQ(a->next, b);
}

TEST_F(ACTTest, RecordsFreedDuringTheWalkAreSkippedAndTheWalkGoesOn) {
    // Children a, b, c, d of slot 0; `frees` is freed by `by` on its walk (and, with `reuse`,
    // made again at once as "n" under slot 1).
    struct Case {
        int by, frees;
        std::vector<std::string> log;
        bool reuse = false;
    } cases[] = {
        {1, 1, {"a:5", "a:6", "b:5", "b:2", "c:5", "c:6", "d:5", "d:6"}},         // itself
        {0, 1, {"a:5", "b:2", "a:6", "c:5", "c:6", "d:5", "d:6"}},                // the next sibling
        {1, 3, {"a:5", "a:6", "b:5", "d:2", "b:6", "c:5", "c:6"}},                // the newest
        {2, 0, {"a:5", "a:6", "b:5", "b:6", "c:5", "a:2", "c:6", "d:5", "d:6"}},  // one already walked
        // The next sibling, its record reused under another root: not walked here.
        {0, 1, {"a:5", "b:2", "n:1", "n:4", "a:6", "c:5", "c:6", "d:5", "d:6"}, true},
    };
    const char* names[] = {"a", "b", "c", "d"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.by * 10 + c.frees + 100 * c.reuse);
        InitACTPool();
        ACT* acts[4];
        for (int i = 0; i < 4; ++i) {
            const ACTCallback callback = i != c.by ? Record : c.reuse ? ReuseOtherOnWalk : FreeOtherOnWalk;
            AttachACT(0, acts[i] = MakeACT(callback, Name(names[i])));
        }
        acts[c.by]->user = reinterpret_cast<std::uintptr_t>(acts[c.frees]);
        g_log.clear();
        WalkACTRoots(0, 0);
        EXPECT_EQ(g_log, c.log);
    }
}

TEST_F(ACTTest, FreeingTwiceReturnsARecordOnceAndFreeAllRootsRefillsThePool) {
    ACT* act = MakeACT(nullptr, 0);
    FreeACT(act);
    FreeACT(act);
    EXPECT_EQ(DrainPool(), 112);
    InitACTPool();
    AttachACT(5, MakeACT(Record, Name("a")));
    FreeAllACTRoots();
    EXPECT_EQ(GetACTRoot(5), nullptr);
    EXPECT_EQ(g_log.back(), "a:2");
    EXPECT_EQ(DrainPool(), 128);
    EXPECT_THROW(AttachACT(5, nullptr), ExceptionHandle);
}

}  // namespace
