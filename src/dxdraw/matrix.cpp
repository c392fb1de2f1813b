#include "dxdraw/matrix.h"

#include <cmath>
#include <limits>
#include <vector>

#include "lib/error.h"

namespace DxDraw {
namespace {

struct MatrixStackRecord {
    std::vector<Matrix> entries;
    std::uint32_t depth = 0;
};

MatrixStackRecord g_stack;

// Rows a and b become c a + signA s b and c b + signB s a, both from the old rows.
void MixRows(Matrix& m, int a, int b, float c, float s, float signA, float signB) {
    for (int i = 0; i < 4; ++i) {
        const float ra = m[4 * a + i];
        const float rb = m[4 * b + i];
        m[4 * a + i] = c * ra + signA * s * rb;
        m[4 * b + i] = c * rb + signB * s * ra;
    }
}

std::int16_t ToScreen(float v) {
    const double t = std::trunc(static_cast<double>(v));
    if (!(t == t)) return 0;  // NaN
    const double limited =
        std::fmin(std::fmax(t, std::numeric_limits<std::int32_t>::min()), std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int16_t>(static_cast<std::int32_t>(limited));
}

}  // namespace

float AngleToRadians(std::int32_t angle) {
    constexpr float kPi = 3.1415927410125732f;
    return static_cast<float>(static_cast<std::uint32_t>(angle) & 0xFFFF) * 2.0f * kPi / 65536.0f;
}

Matrix& TranslateMatrix(Matrix& m, float x, float y, float z) {
    for (int i = 0; i < 4; ++i) m[12 + i] += x * m[i] + y * m[4 + i] + z * m[8 + i];
    return m;
}

Matrix& TranslateMatrixV(Matrix& m, const Vector3& v) { return TranslateMatrix(m, v.x, v.y, v.z); }

Matrix& RotateMatrixX(Matrix& m, std::int32_t angle) {
    const float r = AngleToRadians(angle);
    MixRows(m, 1, 2, std::cos(r), std::sin(r), 1.0f, -1.0f);
    return m;
}

Matrix& RotateMatrixY(Matrix& m, std::int32_t angle) {
    const float r = AngleToRadians(angle);
    MixRows(m, 0, 2, std::cos(r), std::sin(r), -1.0f, 1.0f);
    return m;
}

Matrix& RotateMatrixZ(Matrix& m, std::int32_t angle) {
    const float r = AngleToRadians(angle);
    MixRows(m, 0, 1, std::cos(r), std::sin(r), 1.0f, -1.0f);
    return m;
}

Matrix& RotateMatrixXYZ(Matrix& m, std::int32_t ax, std::int32_t ay, std::int32_t az) {
    RotateMatrixY(m, ay);
    RotateMatrixX(m, ax);
    return RotateMatrixZ(m, az);
}

Matrix& ScaleMatrix(Matrix& m, float x, float y, float z) {
    for (int i = 0; i < 3; ++i) {
        m[i] *= x;
        m[4 + i] *= y;
        m[8 + i] *= z;
    }
    return m;
}

Matrix& ScaleMatrixV(Matrix& m, const Vector3& v) { return ScaleMatrix(m, v.x, v.y, v.z); }

ScreenPoint TransformPoint(const Matrix& m, const Vector3& p) {
    return {ToScreen(m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12]),
            ToScreen(m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13])};
}

void CreateMatrixStack(std::uint32_t capacity) {
    g_stack.entries.assign(capacity, kIdentityMatrix);
    g_stack.depth = 0;
}

void FreeMatrixStack() {
    g_stack.entries = {};
    g_stack.depth = 0;
}

std::uint32_t MatrixStackDepth() { return g_stack.depth; }

Matrix& PushMatrix(Matrix& m) {
    if (g_stack.depth >= g_stack.entries.size())
        ThrowError(u"dxdraw/matrix", __LINE__, 0, g_stack.depth, u"PushMatrix: stack full (%u of %u).\n", g_stack.depth,
                   static_cast<std::uint32_t>(g_stack.entries.size()));
    g_stack.entries[g_stack.depth++] = m;
    return m;
}

Matrix& PopMatrix(Matrix& m) {
    if (g_stack.depth == 0) ThrowError(u"dxdraw/matrix", __LINE__, 0, 0, u"PopMatrix: stack empty.\n");
    m = g_stack.entries[--g_stack.depth];
    return m;
}

}  // namespace DxDraw
