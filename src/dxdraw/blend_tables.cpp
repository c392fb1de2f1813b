#include "dxdraw/blend_tables.h"

namespace DxDraw {
namespace {

template <std::size_t Rows, class F>
constexpr std::array<ByteRow, Rows> MakeTable(F entry) {
    std::array<ByteRow, Rows> table{};
    for (std::uint32_t row = 0; row < Rows; ++row)
        for (std::uint32_t column = 0; column < 256; ++column)
            table[row][column] = static_cast<std::uint8_t>(entry(row, column));
    return table;
}

constexpr std::array<std::uint8_t, 768> MakeRuleClamp() {
    std::array<std::uint8_t, 768> table{};
    for (int i = 0; i < 768; ++i) table[i] = static_cast<std::uint8_t>(i < 256 ? 0 : (i > 511 ? 255 : i - 256));
    return table;
}

}  // namespace

constinit const std::array<ByteRow, 256> MulDiv255Table =
    MakeTable<256>([](std::uint32_t w, std::uint32_t x) { return x * w / 255; });
constinit const std::array<ByteRow, 257> LevelTable =
    MakeTable<257>([](std::uint32_t l, std::uint32_t x) { return x * l / 256; });
constinit const std::array<ByteRow, 256> AlphaUnionTable =
    MakeTable<256>([](std::uint32_t dA, std::uint32_t sA) { return sA + dA > 255 ? sA + dA - 255 : 0; });
constinit const std::array<ByteRow, 256> AlphaEraseTable =
    MakeTable<256>([](std::uint32_t dA, std::uint32_t sA) { return 255 - (sA > dA ? sA - dA : 0); });
constinit const std::array<std::uint8_t, 768> RuleClampTable = MakeRuleClamp();

}  // namespace DxDraw
