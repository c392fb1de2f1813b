// Every cell of the plain, SSE2 and AVX2 span tables against the reference model: exhaustive
// slices over (source, destination) bytes, over (source alpha, destination alpha) and over
// every level, for every alpha row and alpha mode.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "dxdraw/span_engine.h"
#include "span_reference.h"

namespace {

using namespace DxDraw;
using reference::Path;

struct Engine {
    const char* name;
    const BlendSpanTable* table;
    Path path;
};

const Engine kEngines[] = {
    {"plain", &PlainSpanTable, Path::kPlain},
    {"sse2", &Sse2SpanTable, Path::kFast},
    {"avx2", &Avx2SpanTable, Path::kFast},
};

bool EngineRuns(const Engine& e) { return e.table != &Avx2SpanTable || __builtin_cpu_supports("avx2"); }

constexpr std::uint32_t kColumns[] = {0, 1, 2, 3, 4, 5, 10, 11};
// The exact alpha modes, one value outside them, and all of them seen by both paths.
constexpr std::uint32_t kModes[] = {0x00, 0x01, 0x04, 0x05, 0x03};
constexpr std::uint32_t kMask = 0x00C3A5F0;  // alpha byte 0: the mask must never touch the source alpha

int MaxLevel(std::uint32_t column) { return column == 1 || column == 2 || column == 5 ? 512 : 256; }

struct Picture {
    int width, height;
    std::vector<std::uint32_t> src, dst, aux;
};

std::uint32_t Pack(int b, int g, int r, int a) {
    return static_cast<std::uint32_t>(b & 255) | static_cast<std::uint32_t>(g & 255) << 8 |
           static_cast<std::uint32_t>(r & 255) << 16 | static_cast<std::uint32_t>(a & 255) << 24;
}

// Blue and green run through every (source, destination) pair; alpha bytes are spread.
Picture ColourSlice() {
    Picture p{256, 256, {}, {}, {}};
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            p.src.push_back(Pack(x, y, x * 37 + y * 101, x * 113 + y * 59 + 7));
            p.dst.push_back(Pack(y, x, x * 71 + y * 23, x * 29 + y * 199 + 3));
            p.aux.push_back(Pack(x * 131 + y * 17, 0, 0, 0));
        }
    return p;
}

// Every (source alpha, destination alpha) pair; colours spread.
Picture AlphaSlice() {
    Picture p{256, 256, {}, {}, {}};
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            p.src.push_back(Pack(x * 7 + y, x * 3 + y * 5, x + y * 11, x));
            p.dst.push_back(Pack(y * 13 + x, x * 17, y * 3 + x * 5, y));
            p.aux.push_back(Pack(x * 5 + y * 3, 0, 0, 0));
        }
    return p;
}

// Every source byte in blue at one level; rule bytes likewise.
Picture LevelSlice(int level) {
    Picture p{256, 8, {}, {}, {}};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 256; ++x) {
            p.src.push_back(Pack(x, 255 - x, x * 3 + level, x * 11 + y * 37 + level));
            p.dst.push_back(Pack(level * 7 + y * 31, x ^ level, y * 40, y * 32));
            p.aux.push_back(Pack(x, 0, 0, 0));
        }
    return p;
}

// Runs one cell over a picture and checks every pixel; reports the first wrong ones.
void Check(const Engine& e, std::uint32_t flags, int level, const Picture& pic, const char* slice) {
    const SpanFunc span = (*e.table)[flags & 63];
    ASSERT_NE(span, nullptr);
    std::vector<std::uint32_t> out = pic.dst;
    BlendParams params;
    params.flags = flags;
    params.level = static_cast<std::uint32_t>(level);
    params.channelMask = kMask;
    const std::int32_t pitch = pic.width * 4;
    span(out.data(), pic.src.data(), pic.aux.data(), pic.width, &params, pitch, pitch, pitch, pic.height);
    const reference::Operation op{e.path, flags, level, kMask | 0xFF000000};
    int wrong = 0;
    for (std::size_t i = 0; i < out.size() && wrong < 3; ++i) {
        const std::uint32_t expected = reference::Pixel(op, pic.src[i], pic.dst[i], static_cast<int>(pic.aux[i] & 255));
        if (out[i] != expected) {
            ++wrong;
            ADD_FAILURE() << e.name << " " << slice << " " << reference::Describe(op) << std::hex
                          << " src=" << pic.src[i] << " dst=" << pic.dst[i] << " rule=" << (pic.aux[i] & 255)
                          << ": got " << out[i] << " expected " << expected;
        }
    }
}

class SpanCells : public testing::TestWithParam<std::tuple<int, std::uint32_t>> {};

TEST_P(SpanCells, MatchTheModelOnEverySlice) {
    const Engine& e = kEngines[std::get<0>(GetParam())];
    if (!EngineRuns(e)) GTEST_SKIP() << "no AVX2 on this processor";
    const std::uint32_t column = std::get<1>(GetParam());
    static const Picture colours = ColourSlice();
    static const Picture alphas = AlphaSlice();
    const int top = MaxLevel(column);
    const std::vector<int> levels = column == 0 ? std::vector<int>{256, 77}
                                                : (top == 512 ? std::vector<int>{0, 1, 128, 255, 256, 257, 384, 512}
                                                              : std::vector<int>{0, 1, 128, 255, 256});
    for (std::uint32_t row = 0; row < 4; ++row)
        for (std::uint32_t mode : kModes) {
            const std::uint32_t flags = BlendIndex(column, row) | mode << 16;
            for (int level : levels) {
                if (row != 0 && level != levels.front() && level != 128) continue;
                Check(e, flags, level, colours, "colours");
            }
            Check(e, flags, levels.back(), alphas, "alphas");
            if (HasFailure()) return;
        }
    // Every level, blended or not.
    for (std::uint32_t mode : {0x00u, 0x01u})
        for (int level = 0; level <= top; ++level) {
            Check(e, BlendIndex(column, 0) | mode << 16, level, LevelSlice(level), "levels");
            if (HasFailure()) return;
        }
}

INSTANTIATE_TEST_SUITE_P(AllCells, SpanCells, testing::Combine(testing::Values(0, 1, 2), testing::ValuesIn(kColumns)),
                         [](const auto& info) {
                             return std::string(kEngines[std::get<0>(info.param)].name) + "_column" +
                                    std::to_string(std::get<1>(info.param));
                         });

// The cells each table fills: the same 32 in both, one routine for all rows of column 11.
TEST(SpanTables, FillTheSameCells) {
    for (const Engine& e : kEngines)
        for (std::uint32_t index = 0; index < 64; ++index) {
            const std::uint32_t column = index & 15;
            const bool filled = column <= 5 || column == 10 || column == 11;
            EXPECT_EQ((*e.table)[index] != nullptr, filled) << e.name << " index " << index;
        }
    for (const Engine& e : kEngines)
        for (std::uint32_t row = 1; row < 4; ++row)
            EXPECT_EQ((*e.table)[BlendIndex(11, row)], (*e.table)[BlendIndex(11, 0)]) << e.name;
}

// The worked examples of the two paths, where they differ by design.
TEST(SpanTables, PathsDifferWhereTheirRoundingDoes) {
    const auto one = [](const BlendSpanTable& table, std::uint32_t flags, int level, std::uint32_t src,
                        std::uint32_t dst) {
        std::uint32_t pair[2] = {dst, dst};
        const std::uint32_t srcs[2] = {src, src};
        BlendParams p;
        p.flags = flags;
        p.level = static_cast<std::uint32_t>(level);
        table[flags & 63](pair, srcs, nullptr, 2, &p, 8, 8, 0, 1);
        return pair[0];
    };
    // Copy blended, s = 255 over d = 0 at sA = 1.
    EXPECT_EQ(one(PlainSpanTable, BLEND_SOURCE_ALPHA, 256, 0x010000FF, 0) & 255, 254u);
    EXPECT_EQ(one(Sse2SpanTable, BLEND_SOURCE_ALPHA, 256, 0x010000FF, 0) & 255, 253u);
    // Subtract, d = 10, s = 1, level 128.
    EXPECT_EQ(one(PlainSpanTable, 4, 128, 1, 10) & 255, 10u);
    EXPECT_EQ(one(Sse2SpanTable, 4, 128, 1, 10) & 255, 9u);
    // Fade, level 128, s = 255 over d = 0: 127 in both.
    EXPECT_EQ(one(PlainSpanTable, 2, 128, 255, 0) & 255, 127u);
    EXPECT_EQ(one(Sse2SpanTable, 2, 128, 255, 0) & 255, 127u);
}

// Out-of-range levels act as the nearest level the column has.
TEST(SpanTables, LevelsAreClampedToTheColumnRange) {
    const Picture pic = LevelSlice(100);
    for (const Engine& e : kEngines) {
        if (!EngineRuns(e)) continue;
        for (std::uint32_t column : kColumns) {
            const int top = MaxLevel(column);
            for (auto [given, meant] : {std::pair{-1, 0}, std::pair{-32768, 0}, std::pair{top + 1, top},
                                        std::pair{0x7FFF, top}, std::pair{0x10000 + 64, 64}}) {
                std::vector<std::uint32_t> a = pic.dst, b = pic.dst;
                BlendParams p;
                p.flags = column | BLEND_SOURCE_ALPHA;
                p.level = static_cast<std::uint32_t>(given);
                (*e.table)[column](a.data(), pic.src.data(), pic.aux.data(), 256, &p, 1024, 1024, 1024, 8);
                p.level = static_cast<std::uint32_t>(meant);
                (*e.table)[column](b.data(), pic.src.data(), pic.aux.data(), 256, &p, 1024, 1024, 1024, 8);
                EXPECT_EQ(a, b) << e.name << " column " << column << " level " << given;
            }
        }
    }
}

// The fast tables split rows into a lead up to an aligned store, whole vectors and a tail, and
// take shortcuts when nothing is masked: every cell, unmasked, starting at every pixel of a
// vector, over widths that end on each kind of tail, leaves the pixels around it alone.
TEST(SpanCells, UnmaskedRowsAtEveryAlignmentMatchTheModel) {
    constexpr int kStride = 128, kRows = 3;
    std::mt19937 rng(99);
    std::vector<std::uint32_t> src(kStride * kRows), dst(kStride * kRows), aux(kStride * kRows);
    for (std::size_t i = 0; i < src.size(); ++i) {
        src[i] = rng();
        dst[i] = rng();
        aux[i] = rng();
    }
    for (const Engine& e : kEngines) {
        if (!EngineRuns(e)) continue;
        for (std::uint32_t column : kColumns)
            for (std::uint32_t row = 0; row < 4; ++row)
                for (std::uint32_t mode : {0x00u, 0x01u})
                    for (int level : {256, 77})
                        for (int offset = 0; offset < 8; ++offset)
                            for (int width : {2, 4, 6, 8, 14, 22, 38, 46, 64, 70, 78, 102, 118}) {
                                const std::uint32_t flags = BlendIndex(column, row) | mode << 16;
                                std::vector<std::uint32_t> out = dst;
                                BlendParams params;
                                params.flags = flags;
                                params.level = static_cast<std::uint32_t>(level);
                                params.channelMask = 0xFFFFFFFF;
                                (*e.table)[flags & 63](out.data() + offset, src.data() + offset, aux.data() + offset,
                                                       width, &params, kStride * 4, kStride * 4, kStride * 4, kRows);
                                const reference::Operation op{e.path, flags, level, 0xFFFFFFFF};
                                for (std::size_t i = 0; i < out.size(); ++i) {
                                    const int x = static_cast<int>(i % kStride) - offset;
                                    const std::uint32_t expected =
                                        x >= 0 && x < width
                                            ? reference::Pixel(op, src[i], dst[i], static_cast<int>(aux[i] & 255))
                                            : dst[i];
                                    ASSERT_EQ(out[i], expected)
                                        << e.name << " " << reference::Describe(op) << " offset " << offset << " width "
                                        << width << " at " << i;
                                }
                            }
    }
}

// The fast fills walk rows as the spans do: every start and width fills its pixels only.
TEST(SpanCells, FastFillsAtEveryAlignmentKeepToTheirPixels) {
    struct Fill {
        const char* name;
        FillFunc fill;
        bool setsAlpha;
        bool avx2;
    };
    const Fill kFills[] = {{"fill sse2", &FillSpanSse2, false, false},
                           {"alpha sse2", &SetAlphaSpanSse2, true, false},
                           {"fill avx2", &FillSpanAvx2, false, true},
                           {"alpha avx2", &SetAlphaSpanAvx2, true, true}};
    constexpr int kStride = 64, kRows = 3;
    std::vector<std::uint32_t> start(kStride * kRows);
    std::mt19937 rng(7);
    for (auto& p : start) p = rng();
    for (const Fill& f : kFills) {
        if (f.avx2 && !__builtin_cpu_supports("avx2")) continue;
        for (int offset = 0; offset < 8; ++offset)
            for (int width : {2, 4, 6, 8, 14, 22, 38, 46}) {
                std::vector<std::uint32_t> out = start;
                f.fill(out.data() + offset, width, kStride * 4, 0x80112233, kRows);
                for (std::size_t i = 0; i < out.size(); ++i) {
                    const int x = static_cast<int>(i % kStride) - offset;
                    std::uint32_t expected = start[i];
                    if (x >= 0 && x < width) expected = f.setsAlpha ? (start[i] & 0x00FFFFFF) | 0x33000000 : 0x80112233;
                    ASSERT_EQ(out[i], expected) << f.name << " offset " << offset << " width " << width << " at " << i;
                }
            }
    }
}

// A plain copy within one row, a few pixels to either side, gives what memmove gives.
TEST(SpanCells, OverlappingCopiesWithinARowActAsMemmove) {
    std::vector<std::uint32_t> start(112);  // room for the widest copy at the largest shift
    for (std::size_t i = 0; i < start.size(); ++i) start[i] = static_cast<std::uint32_t>(i * 0x01010101u + 7);
    for (const Engine& e : kEngines) {
        if (!EngineRuns(e)) continue;
        for (int shift : {-9, -3, -1, 1, 2, 5, 8, 13})
            for (int width : {2, 10, 40, 70}) {
                std::vector<std::uint32_t> expected = start, got = start;
                const int from = 12, to = from + shift;
                std::memmove(expected.data() + to, expected.data() + from, 4 * static_cast<std::size_t>(width));
                BlendParams params;
                params.flags = BlendIndex(kColumnCopy, kAlphaFromSource);
                (*e.table)[params.flags](got.data() + to, got.data() + from, nullptr, width, &params, 256, 256, 0, 1);
                EXPECT_EQ(got, expected) << e.name << " shift " << shift << " width " << width;
            }
    }
}

}  // namespace
