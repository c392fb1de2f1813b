// The plain path's lookup tables at entries worked out by hand, where truncation, the divisor
// or a clamp would show a slip.
#include <gtest/gtest.h>

#include "dxdraw/blend_tables.h"

namespace {

using namespace DxDraw;

TEST(BlendTables, WorkedEntries) {
    EXPECT_EQ(MulDiv255Table[200][200], 156);  // 40000 / 255 = 156.9, truncated
    EXPECT_EQ(MulDiv255Table[255][255], 255);
    EXPECT_EQ(LevelTable[255][255], 254);  // / 256
    EXPECT_EQ(LevelTable[200][100], 78);
    EXPECT_EQ(LevelTable[256][77], 77);         // level 256 keeps the value
    EXPECT_EQ(AlphaUnionTable[200][100], 45);   // a + b - 255
    EXPECT_EQ(AlphaUnionTable[100][100], 0);    // not below 0
    EXPECT_EQ(AlphaEraseTable[100][200], 155);  // 255 - (b - a)
    EXPECT_EQ(AlphaEraseTable[200][100], 255);  // not above 255
    EXPECT_EQ(RuleClampTable[300], 44);         // i - 256 within 0..255
    EXPECT_EQ(RuleClampTable[100], 0);
    EXPECT_EQ(RuleClampTable[767], 255);
}

}  // namespace
