// The view tree: child rings, focus, dispatch, transforms, dirty rectangles and commit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dxdraw/button_tracker.h"
#include "dxdraw/dxdraw_view.h"
#include "dxdraw/matrix.h"
#include "lib/utility.h"
#include "surface_test_util.h"

namespace {

using DxDraw::DxDrawGroup;
using DxDraw::DxDrawView;
using surface_test::DirtyPass;

// Records message 77 (answering it with 0), hiding and its own deletion.
class RecordingView : public DrawView {
public:
    RecordingView(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}
    ~RecordingView() override { log_->push_back(name_ + ":gone"); }
    void Hide() override {
        log_->push_back(name_ + ":hide");
        DrawView::Hide();
    }
    std::uint32_t HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) override {
        if (msg == 77) {
            log_->push_back(name_);
            return 0;
        }
        return DrawView::HandleMessage(msg, a, b);
    }

private:
    std::string name_;
    std::vector<std::string>* log_;
};

// A drawable covering 10 x 10 pixels from its screen position.
class Box : public DxDrawView {
public:
    void GetBounds(std::uintptr_t, RECT* out) override {
        if (!IsVisible()) return;
        const DxDraw::ScreenPoint p = DxDraw::TransformPoint(*matrix_, GetPosition());
        *out = RECT{p.x, p.y, p.x + 10, p.y + 10};
    }
};

// The top of a test tree: collects the rectangles detached views report.
class TopGroup : public DxDrawGroup {
public:
    std::uint32_t HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) override {
        if (msg == kMsgUncovered) {
            uncovered.push_back(*reinterpret_cast<const RECT*>(a));
            return 1;
        }
        return DxDrawGroup::HandleMessage(msg, a, b);
    }
    std::vector<RECT> uncovered;
};

class ViewTreeTest : public ::testing::Test {
protected:
    void SetUp() override { DxDraw::CreateMatrixStack(128); }
    void TearDown() override {
        EXPECT_EQ(DxDraw::MatrixStackDepth(), 0u);
        DxDraw::FreeMatrixStack();
    }

    std::vector<std::string> log;
};

std::vector<ssView*> Children(const ssGroup& group) {
    std::vector<ssView*> out;
    for (ssView* v = group.GetFirstChild(); v; v = v->GetNextSibling()) out.push_back(v);
    return out;
}

TEST_F(ViewTreeTest, RingsKeepOrderThroughAddMoveRemoveAndDelete) {
    DrawGroup first, second;
    RecordingView a("a", &log), b("b", &log), c("c", &log);
    first.Add(&a);
    EXPECT_EQ(first.GetLastChild(), &a);
    EXPECT_EQ(a.GetNextSibling(), nullptr);
    EXPECT_EQ(a.GetPrevSibling(), nullptr);
    first.Add(&b);
    first.Add(&c);
    EXPECT_EQ(Children(first), (std::vector<ssView*>{&a, &b, &c}));
    EXPECT_EQ(c.GetPrevSibling(), &b);
    first.Remove(&c);  // the last: its predecessor becomes the last
    EXPECT_EQ(first.GetLastChild(), &b);
    EXPECT_EQ(c.GetParent(), nullptr);

    second.Add(&c);
    EXPECT_TRUE(second.Add(&a));  // a view in another group moves
    EXPECT_EQ(Children(first), (std::vector<ssView*>{&b}));
    EXPECT_EQ(Children(second), (std::vector<ssView*>{&c, &a}));
    EXPECT_TRUE(a.IsVisible());
    EXPECT_TRUE(second.Add(&c));  // to the end of its own group
    EXPECT_EQ(Children(second), (std::vector<ssView*>{&a, &c}));
    second.Add(&first);
    EXPECT_FALSE(first.Add(&second)) << "a group cannot go below itself";
    EXPECT_FALSE(first.Add(&first));
    second.Remove(&first);
    {
        RecordingView d("d", &log);
        second.Add(&d);
        second.Add(&c);
        second.SetFocus(&d);
    }
    EXPECT_EQ(Children(second), (std::vector<ssView*>{&a, &c})) << "a deleted view leaves the ring whole";
    EXPECT_EQ(second.GetFocus(), &c);
    first.Remove(&b);
    second.Remove(&a);
    second.Remove(&c);
    EXPECT_EQ(second.GetFirstChild(), nullptr);
}

TEST_F(ViewTreeTest, FocusMovesOnDetachAndSetsTheFlag) {
    DrawGroup group;
    auto* a = new RecordingView("a", &log);
    auto* b = new RecordingView("b", &log);
    group.Add(a);
    group.Add(b);
    group.SetFocus(a);
    EXPECT_TRUE(a->GetFlags() & ssView::kFlagFocused);
    group.SetFocus(b);
    EXPECT_FALSE(a->GetFlags() & ssView::kFlagFocused);
    EXPECT_TRUE(b->GetFlags() & ssView::kFlagFocused);

    b->Detach();  // focused: focus goes to the next sibling (the ring wraps to a)
    EXPECT_EQ(group.GetFocus(), a);
    EXPECT_FALSE(b->IsVisible());
    delete b;
    a->Detach();  // the only child: focus cleared
    EXPECT_EQ(group.GetFocus(), nullptr);
    delete a;
}

TEST_F(ViewTreeTest, GroupDetachHidesEveryChildBeforeDestroyingAny) {
    DrawGroup root;
    auto* group = new DrawGroup;
    for (const char* name : {"a", "b", "c"}) group->Add(new RecordingView(name, &log));
    root.Add(group);
    group->Destroy();
    EXPECT_EQ(log, (std::vector<std::string>{"c:hide", "b:hide", "a:hide", "c:hide", "c:gone", "b:hide", "b:gone",
                                             "a:hide", "a:gone"}));
    EXPECT_EQ(root.GetFirstChild(), nullptr);
}

TEST_F(ViewTreeTest, DispatchKinds) {
    DrawGroup root, inner;
    RecordingView a("a", &log), b("b", &log), c("c", &log);
    root.Add(&a);
    root.Add(&inner);
    inner.Add(&b);
    inner.Add(&c);

    std::uint32_t count = 0;
    root.HandleMessage(kMsgCount, reinterpret_cast<std::uintptr_t>(&count), 0);
    EXPECT_EQ(count, 5u);
    using Names = std::vector<std::string>;
    const auto reached = [&](std::uint32_t kind, std::uintptr_t answer) {
        log.clear();
        EXPECT_EQ(root.Dispatch(kind, 77, 0, 0), answer) << kind;
        return log;
    };
    EXPECT_EQ(reached(kDispatchFocusChain, 1), Names{}) << "no focused child: nobody is reached";
    root.SetFocus(&inner);
    inner.SetFocus(&c);
    EXPECT_EQ(reached(kDispatchFocusChain, 0), Names{"c"});
    EXPECT_EQ(reached(kDispatchFirstChildChain, 0), Names{"a"});
    EXPECT_EQ(reached(kDispatchBroadcast, 1), (Names{"a", "b", "c"}));
    EXPECT_EQ(reached(kDispatchHitSearch, reinterpret_cast<std::uintptr_t>(static_cast<ssView*>(&a))), Names{"a"});
    EXPECT_EQ(reached(9, 1), Names{});
    inner.Remove(&b);
    inner.Remove(&c);
    root.Remove(&a);
    root.Remove(&inner);
}

TEST_F(ViewTreeTest, TransformsComposeDownTheTree) {
    DrawGroup outer, inner;
    RecordingView leaf("leaf", &log);
    outer.Add(&inner);
    inner.Add(&leaf);
    outer.SetPosition(100, 100);
    inner.SetPosition(10, 20);
    leaf.SetPosition(3, 4);
    const auto onScreen = [&](POINT p) {
        leaf.LocalToScreen(&p, 1);
        return p;
    };
    POINT p = onScreen({1, 1});
    EXPECT_EQ(p, (POINT{114, 125}));
    leaf.ScreenToLocal(&p, 1);
    EXPECT_EQ(p, (POINT{1, 1}));

    // Scale about the origin: the child lands at (position - origin) x scale.
    inner.SetOrigin({5, 5, 0});
    inner.SetScale({2, 2, 1});
    leaf.SetPosition(10, 0);
    EXPECT_EQ(onScreen({}), (POINT{110 + 10, 120 - 10}));
    inner.SetSize(30, 40);
    RECT screen{};
    inner.GetScreenRect(&screen);
    EXPECT_EQ(screen, (RECT{110, 120, 110 + 60, 120 + 80}));
    RECT untouched{1, 2, 3, 4};
    leaf.GetScreenRect(&untouched);
    EXPECT_EQ(untouched, (RECT{1, 2, 3, 4})) << "a plain view has no screen rectangle";

    // A quarter turn of the group swaps the axes of its children.
    inner.SetScale({1, 1, 1});
    inner.SetOrigin({});
    inner.SetRotation({0, 0, 16384});
    inner.SetTransformFlags(DrawView::kApplyRotation);
    EXPECT_EQ(onScreen({}), (POINT{110, 130}));

    // The orbit turns the group's position about its parent's origin, and only with its flag.
    inner.SetRotation({});
    inner.SetOrbit({0, 0, 16384});
    inner.SetTransformFlags(DrawView::kApplyOrbit);
    leaf.SetPosition(0, 0);
    EXPECT_EQ(onScreen({}), (POINT{100 - 20, 100 + 10}));
    inner.SetTransformFlags(DrawView::kApplyRotation);
    EXPECT_EQ(onScreen({}), (POINT{110, 120}));
    inner.Remove(&leaf);
    outer.Remove(&inner);
}

TEST_F(ViewTreeTest, DirtyRectanglesFollowMovesAndVisibility) {
    TopGroup top;
    DxDrawGroup group;
    Box box;
    top.Add(&group);
    group.SetPosition(100, 0);
    group.Add(&box);
    box.SetPosition(5, 5);

    EXPECT_EQ(DirtyPass(top), (std::vector<RECT>{{105, 5, 115, 15}}));  // attached: dirty 16
    EXPECT_EQ(box.GetDirtyFlags(), 0u);
    EXPECT_TRUE(DirtyPass(top).empty()) << "nothing changed";

    box.SetPosition(20, 5);
    EXPECT_EQ(DirtyPass(top), (std::vector<RECT>{{105, 5, 115, 15}, {120, 5, 130, 15}}));

    group.SetPosition(0, 0);  // a group move reaches every child
    EXPECT_EQ(DirtyPass(top), (std::vector<RECT>{{120, 5, 130, 15}, {20, 5, 30, 15}}));

    box.SetFlags(ssView::kFlagFocused, true);
    EXPECT_TRUE(DirtyPass(top).empty()) << "other flag bits do not invalidate";
    box.Hide();
    EXPECT_EQ(DirtyPass(top), (std::vector<RECT>{{20, 5, 30, 15}}));
    box.Show();
    EXPECT_EQ(DirtyPass(top), (std::vector<RECT>{{20, 5, 30, 15}}));

    group.Hide();  // a hidden group makes its children dirty; they still report their areas
    EXPECT_EQ(box.GetDirtyFlags(), DxDraw::kDirtyContents);
    DirtyPass(top);
    group.Show();

    box.Detach();
    EXPECT_EQ(top.uncovered, (std::vector<RECT>{{20, 5, 30, 15}}));
    top.Remove(&group);

    DxDrawView plain;  // without bounds of its own: never a new rectangle
    top.Add(&plain);
    plain.SetPosition(7, 8);
    EXPECT_TRUE(DirtyPass(top).empty());
    RECT at{};
    plain.GetPositionRect(&at);
    EXPECT_EQ(at, (RECT{7, 8, 7, 8}));
    top.Remove(&plain);
}

TEST(DirtyRectListTest, UnionSeparateAndCapacity) {
    DirtyRectList list(500);
    list.Reset(DirtyRectList::kUnionMode);
    list.Add(RECT{0, 0, 10, 10});
    EXPECT_EQ(list.Add(RECT{790, 590, 800, 600}), 1);
    EXPECT_EQ(list[0], (RECT{0, 0, 800, 600}));

    list.Reset(DirtyRectList::kSeparateMode);
    list.Add(RECT{10, 10, 20, 20});
    EXPECT_EQ(list.Add(RECT{12, 12, 15, 15}), 1) << "inside an entry: nothing added";
    EXPECT_EQ(list.Add(RECT{0, 0, 50, 50}), 2);
    EXPECT_EQ(list[0], RECT{}) << "an entry inside the new one is emptied but stays";
    for (int i = 0; i < 600; ++i) list.Add(RECT{i * 100, 0, i * 100 + 1, 1});
    EXPECT_EQ(list.Count(), 500);
}

TEST(ButtonTrackerTest, SelectionFollowsThePointer) {
    const RECT buttons[] = {{0, 0, 10, 10}, {20, 0, 30, 10}};
    ButtonTracker t;
    t.Reset();
    // Leaving every button changes the selection once.
    const struct { int x, selected, changed; } moves[] = {{5, 0, 1}, {5, 0, 0}, {25, 1, 1}, {15, -1, 1}, {16, -1, 0}};
    for (const auto& m : moves) {
        EXPECT_EQ(t.Update(buttons, 2, m.x, 5, nullptr), m.selected) << m.x;
        EXPECT_EQ(t.changed, m.changed) << m.x;
    }
    EXPECT_EQ(FindRectAtPoint(buttons, 2, 10, 5), -1) << "right edges are outside";
}

}  // namespace
