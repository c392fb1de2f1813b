// The plain path's lookup tables, entry by entry, and the fast path's weights.
#include <gtest/gtest.h>

#include "dxdraw/blend_tables.h"

namespace {

using namespace DxDraw;

TEST(BlendTables, EveryEntryFollowsItsRule) {
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            ASSERT_EQ(MulDiv255Table[a][b], b * a / 255) << a << "," << b;
            ASSERT_EQ(LevelTable[a][b], b * a / 256) << a << "," << b;
            ASSERT_EQ(AlphaUnionTable[a][b], std::max(0, a + b - 255)) << a << "," << b;
            ASSERT_EQ(AlphaEraseTable[a][b], 255 - std::max(0, b - a)) << a << "," << b;
        }
    for (int x = 0; x < 256; ++x) ASSERT_EQ(LevelTable[256][x], x);
    for (int i = 0; i < 768; ++i) ASSERT_EQ(RuleClampTable[i], std::clamp(i - 256, 0, 255)) << i;
}

TEST(BlendTables, WorkedEntries) {
    EXPECT_EQ(MulDiv255Table[128][1], 0);
    EXPECT_EQ(MulDiv255Table[254][255], 254);
    EXPECT_EQ(LevelTable[255][255], 254);
    EXPECT_EQ(LevelTable[1][255], 0);
    EXPECT_EQ(RuleClampTable[300], 44);
    EXPECT_EQ(RuleClampTable[511], 255);
}

}  // namespace
