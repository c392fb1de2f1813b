// Objects made in the script layer's pools: a constructor that throws gives its block back.
#include "script/pools.h"

#include <gtest/gtest.h>

namespace {

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
