#include "lib/combase.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/capture_reports.h"

namespace {

constexpr IID IID_ITestThing = {0x12345678, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};

class ITestThing : public IUnknown {
public:
    static constexpr const IID& kIid = IID_ITestThing;
    virtual int Value() = 0;
};

class Thing : public CComImpl<ITestThing> {
public:
    explicit Thing(int* destroyed) : destroyed_(destroyed) {}
    ~Thing() override { ++*destroyed_; }
    int Value() override { return 42; }

private:
    int* destroyed_;
};

class Aggregable : public CComBaseT<IUnknown> {
public:
    Aggregable(IUnknown* outer, int* destroyed) : CComBaseT(outer), destroyed_(destroyed) {}
    ~Aggregable() override { ++*destroyed_; }

private:
    int* destroyed_;
};

TEST(ComObjects, GuidComparisonIsBytewise) {
    EXPECT_EQ(IsEqualGUID(IID_IUnknown, IID_IUnknown), 1);
    GUID other = IID_IUnknown;
    other.data4[7] = 0x47;
    EXPECT_EQ(IsEqualGUID(IID_IUnknown, other), 0);
}

TEST(ComObjects, ImplIsBornWithOneReferenceAndDiesAtZeroAndHoldersKeepOne) {
    int destroyed = 0;
    auto* thing = new Thing(&destroyed);
    EXPECT_EQ(thing->AddRef(), 2u);
    EXPECT_EQ(thing->Release(), 1u);
    void* out = nullptr;
    EXPECT_EQ(thing->QueryInterface(IID_ITestThing, &out), S_OK);
    EXPECT_EQ(out, static_cast<ITestThing*>(thing));
    EXPECT_EQ(thing->Release(), 1u);
    EXPECT_EQ(thing->Release(), 0u);
    EXPECT_EQ(destroyed, 1);

    // A base that does not know the interface answers no interface.
    auto* base = new Aggregable(nullptr, &destroyed);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(base->QueryInterface(IID_ITestThing, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(base->QueryInterface(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(base->Release(), 0u);
    EXPECT_EQ(destroyed, 2);
    auto standing = std::make_unique<Aggregable>(nullptr, &destroyed);
    EXPECT_EQ(standing->InternalRelease(), 0u) << "a release at zero deletes nothing";
    EXPECT_EQ(destroyed, 2);
    {
        auto held = ComPtr<ITestThing>::Adopt(new Thing(&destroyed));  // a holder keeps one reference
        ComPtr<ITestThing> copy = held;
        EXPECT_EQ(static_cast<Thing*>(held.Get())->ReferenceCount(), 2);
        ComPtr<ITestThing> moved = std::move(copy);
        EXPECT_FALSE(copy);
        EXPECT_EQ(moved->Value(), 42);
    }
    EXPECT_EQ(destroyed, 3);
}

TEST(ComObjects, AggregatedObjectForwardsToOuter) {
    int outer_destroyed = 0, inner_destroyed = 0;
    auto* outer = new Thing(&outer_destroyed);
    {
        auto inner = std::make_unique<Aggregable>(outer, &inner_destroyed);
        EXPECT_EQ(inner->AddRef(), 2u);  // the outer's count
        void* out = nullptr;
        EXPECT_EQ(inner->QueryInterface(IID_ITestThing, &out), S_OK);
        EXPECT_EQ(out, static_cast<ITestThing*>(outer));
        EXPECT_EQ(inner->Release(), 2u);
        EXPECT_EQ(inner->Release(), 1u);
    }
    EXPECT_EQ(inner_destroyed, 1);
    EXPECT_EQ(outer->Release(), 0u);
    EXPECT_EQ(outer_destroyed, 1);
}

struct Counted {
    int releases = 0;
    ULONG Release() { return ++releases, 0; }
};

TEST(SharedHolder, LastHolderDestroysThroughReleaseOnceAndPairsFreeTheirArrays) {
    Counted sprite;
    {
        SharedHolder<Counted> a(&sprite);
        {
            SharedHolder<Counted> b = a;
            EXPECT_EQ(a.UseCount(), 2);
        }
        EXPECT_EQ(sprite.releases, 0);
        EXPECT_EQ(a.UseCount(), 1);
    }
    EXPECT_EQ(sprite.releases, 1);

    DeleterPair pair{new int[4], new deleter_impl<int, array_deleter<int>>()};
    delete pair.deleter->Clone();
    DestroyWithDeleter(pair);  // frees the array; ASan checks it
    EXPECT_EQ(pair.pointer, nullptr);
    EXPECT_EQ(pair.deleter, nullptr);
}

}  // namespace
