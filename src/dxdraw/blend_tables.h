// Constant lookup tables of the plain span path. Their contents fix the rounding of every
// plain formula, so each entry is part of the engine's behaviour.
//
// The fast path multiplies by the weights u(i) = (i == 0 ? 0 : i + 1) and 256 - u(i); it
// computes them in its vector registers rather than loading them from tables, with the same
// values.
#pragma once

#include <array>
#include <cstdint>

namespace DxDraw {

using ByteRow = std::array<std::uint8_t, 256>;

// [w][x] = floor(x * w / 255).
extern const std::array<ByteRow, 256> MulDiv255Table;
// [l][x] = floor(x * l / 256), l = 0..256 (row 256 is the identity).
extern const std::array<ByteRow, 257> LevelTable;
// [dA][sA] = max(0, sA + dA - 255): the alpha byte when the opacities add.
extern const std::array<ByteRow, 256> AlphaUnionTable;
// [dA][sA] = 255 - max(0, sA - dA): the alpha byte when the destination loses the source's opacity.
extern const std::array<ByteRow, 256> AlphaEraseTable;
// [r + L] = clamp(r + L - 256, 0, 255) for a rule byte r and a level L of 0..512.
extern const std::array<std::uint8_t, 768> RuleClampTable;

}  // namespace DxDraw
