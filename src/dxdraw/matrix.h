// 4x4 float matrices for the transforms of the view tree, and the process-wide matrix stack.
//
// Elements are stored row by row; points are row vectors multiplied on the left, so row 3
// (elements 12-15) holds the translation. Angles are 65,536 units to the full turn; only their
// low 16 bits count.
#pragma once

#include <array>
#include <cstdint>

namespace DxDraw {

using Matrix = std::array<float, 16>;

inline constexpr Matrix kIdentityMatrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

struct Vector3 {
    float x = 0, y = 0, z = 0;
    friend bool operator==(const Vector3&, const Vector3&) = default;
};

struct ScreenPoint {
    std::int16_t x = 0;
    std::int16_t y = 0;
};

// Radians of an angle in 65,536ths of a turn.
float AngleToRadians(std::int32_t angle);

// Each operation changes m in place and returns it.
Matrix& TranslateMatrix(Matrix& m, float x, float y, float z);
Matrix& TranslateMatrixV(Matrix& m, const Vector3& v);
Matrix& RotateMatrixX(Matrix& m, std::int32_t angle);
Matrix& RotateMatrixY(Matrix& m, std::int32_t angle);
Matrix& RotateMatrixZ(Matrix& m, std::int32_t angle);
// Y, then X, then Z.
Matrix& RotateMatrixXYZ(Matrix& m, std::int32_t ax, std::int32_t ay, std::int32_t az);
Matrix& ScaleMatrix(Matrix& m, float x, float y, float z);
Matrix& ScaleMatrixV(Matrix& m, const Vector3& v);

// The point (x, y, z, 1) through m, each coordinate truncated toward zero and kept in 16 bits.
ScreenPoint TransformPoint(const Matrix& m, const Vector3& p);

// The matrix stack: `capacity` entries, depth 0. Called once at start-up; FreeMatrixStack at exit.
void CreateMatrixStack(std::uint32_t capacity);
void FreeMatrixStack();
std::uint32_t MatrixStackDepth();
// Saves m at the current depth and deepens the stack; raises the error exception when the
// stack is full or was never created.
Matrix& PushMatrix(Matrix& m);
// Restores m from the entry below the current depth; raises the error exception when empty.
Matrix& PopMatrix(Matrix& m);

}  // namespace DxDraw
