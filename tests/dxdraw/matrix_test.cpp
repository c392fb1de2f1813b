// Matrix operations, point transformation and the checked matrix stack.
#include <gtest/gtest.h>

#include <cmath>

#include "dxdraw/matrix.h"
#include "lib/error.h"

namespace {

using namespace DxDraw;

void ExpectNear(const Matrix& a, const Matrix& b) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], 1e-5f) << "element " << i;
}

Matrix Sample() {
    Matrix m;
    for (int i = 0; i < 16; ++i) m[i] = static_cast<float>(i * 3 % 7) - 2.5f;
    return m;
}

TEST(Matrices, QuarterTurnsAndFullTurns) {
    Matrix z = kIdentityMatrix;
    RotateMatrixZ(z, 16384);
    ExpectNear(z, {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    Matrix x = kIdentityMatrix;
    RotateMatrixX(x, 16384);
    ExpectNear(x, {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1});
    Matrix y = kIdentityMatrix;
    RotateMatrixY(y, 16384);
    ExpectNear(y, {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1});
    // Only the low 16 bits of an angle count.
    Matrix a = Sample(), b = Sample();
    RotateMatrixZ(a, 65536 + 1000);
    RotateMatrixZ(b, 1000);
    EXPECT_EQ(a, b);
    Matrix full = Sample();
    RotateMatrixZ(full, 65536);
    EXPECT_EQ(full, Sample());
    // The three turns together are Y, then X, then Z.
    RotateMatrixXYZ(a, 1000, 2000, 3000);
    RotateMatrixY(b, 2000);
    RotateMatrixX(b, 1000);
    RotateMatrixZ(b, 3000);
    EXPECT_EQ(a, b);
}

TEST(Matrices, PointsTruncateTowardZeroInto16Bits) {
    const ScreenPoint p = TransformPoint(kIdentityMatrix, {1.9f, -1.9f, 0});
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.y, -1);
    Matrix m = kIdentityMatrix;
    TranslateMatrix(m, 100, 50, 0);
    ScaleMatrix(m, 2, 3, 1);
    const ScreenPoint q = TransformPoint(m, {10, 10, 7});
    EXPECT_EQ(q.x, 120);
    EXPECT_EQ(q.y, 80);
    Matrix v = kIdentityMatrix;
    TranslateMatrixV(v, {100, 50, 0});
    ScaleMatrix(v, 2, 3, 1);
    EXPECT_EQ(v, m);
    EXPECT_EQ(TransformPoint(kIdentityMatrix, {65536.0f + 5, 0, 0}).x, 5);
    EXPECT_EQ(TransformPoint(kIdentityMatrix, {std::nanf(""), 1e30f, 0}).x, 0);
}

TEST(MatrixStack, PushAndPopRestoreAndAreChecked) {
    CreateMatrixStack(3);
    Matrix m = Sample();
    PushMatrix(m);
    TranslateMatrix(m, 5, 5, 5);
    const Matrix moved = m;
    PushMatrix(m);
    RotateMatrixZ(m, 999);
    EXPECT_EQ(MatrixStackDepth(), 2u);
    PopMatrix(m);
    EXPECT_EQ(m, moved);
    PopMatrix(m);
    EXPECT_EQ(m, Sample());
    EXPECT_THROW(PopMatrix(m), ExceptionHandle);
    for (int i = 0; i < 3; ++i) PushMatrix(m);
    try {
        PushMatrix(m);
        FAIL() << "a full stack must refuse";
    } catch (const ExceptionHandle& e) {
        EXPECT_EQ(e.type, 0u);
        EXPECT_EQ(std::u16string(e.file), u"dxdraw/matrix");
    }
    EXPECT_EQ(MatrixStackDepth(), 3u);
    FreeMatrixStack();
    EXPECT_THROW(PushMatrix(m), ExceptionHandle);
}

}  // namespace
