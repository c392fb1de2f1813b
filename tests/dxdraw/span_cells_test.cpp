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

// A picture of width x height pixels made from (x, y) by one function for each plane.
template <class Src, class Dst, class Aux>
Picture Slice(int width, int height, Src src, Dst dst, Aux aux) {
    Picture p{width, height, {}, {}, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            p.src.push_back(src(x, y));
            p.dst.push_back(dst(x, y));
            p.aux.push_back(static_cast<std::uint32_t>(aux(x, y)));
        }
    return p;
}

// Blue and green run through every (source, destination) pair; alpha bytes are spread.
Picture ColourSlice() {
    return Slice(
        256, 256, [](int x, int y) { return Pack(x, y, x * 37 + y * 101, x * 113 + y * 59 + 7); },
        [](int x, int y) { return Pack(y, x, x * 71 + y * 23, x * 29 + y * 199 + 3); },
        [](int x, int y) { return Pack(x * 131 + y * 17, 0, 0, 0); });
}

// Every (source alpha, destination alpha) pair; colours spread.
Picture AlphaSlice() {
    return Slice(
        256, 256, [](int x, int y) { return Pack(x * 7 + y, x * 3 + y * 5, x + y * 11, x); },
        [](int x, int y) { return Pack(y * 13 + x, x * 17, y * 3 + x * 5, y); },
        [](int x, int y) { return Pack(x * 5 + y * 3, 0, 0, 0); });
}

// Every source byte in blue at one level; rule bytes likewise.
Picture LevelSlice(int level) {
    return Slice(
        256, 8, [&](int x, int y) { return Pack(x, 255 - x, x * 3 + level, x * 11 + y * 37 + level); },
        [&](int x, int y) { return Pack(level * 7 + y * 31, x ^ level, y * 40, y * 32); },
        [](int x, int) { return Pack(x, 0, 0, 0); });
}

// Runs one cell over width pixels of each row of a picture from column offset and checks every
// pixel, those around the span unchanged; reports the first wrong ones.
void Check(const Engine& e, std::uint32_t flags, int level, const Picture& pic, const char* slice,
           std::uint32_t mask = kMask, int offset = 0, int width = 0) {
    const SpanFunc span = (*e.table)[flags & 63];
    ASSERT_NE(span, nullptr);
    if (width == 0) width = pic.width;
    std::vector<std::uint32_t> out = pic.dst;
    BlendParams params;
    params.flags = flags;
    params.level = static_cast<std::uint32_t>(level);
    params.channelMask = mask;
    const std::int32_t pitch = pic.width * 4;
    span(out.data() + offset, pic.src.data() + offset, pic.aux.data() + offset, width, &params, pitch, pitch, pitch,
         pic.height);
    const reference::Operation op{e.path, flags, level, mask | 0xFF000000};
    int wrong = 0;
    for (std::size_t i = 0; i < out.size() && wrong < 3; ++i) {
        const int x = static_cast<int>(i) % pic.width - offset;
        const std::uint32_t expected =
            x >= 0 && x < width ? reference::Pixel(op, pic.src[i], pic.dst[i], static_cast<int>(pic.aux[i] & 255))
                                : pic.dst[i];
        if (out[i] != expected) {
            ++wrong;
            ADD_FAILURE() << e.name << " " << slice << " " << reference::Describe(op) << " offset " << offset
                          << " width " << width << std::hex << " src=" << pic.src[i] << " dst=" << pic.dst[i]
                          << " rule=" << (pic.aux[i] & 255) << ": got " << out[i] << " expected " << expected;
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
    std::mt19937 rng(99);
    const auto random = [&](int, int) { return static_cast<std::uint32_t>(rng()); };
    const Picture pic = Slice(128, 3, random, random, random);
    for (const Engine& e : kEngines) {
        if (!EngineRuns(e)) continue;
        for (std::uint32_t column : kColumns)
            for (std::uint32_t row = 0; row < 4; ++row)
                for (std::uint32_t mode : {0x00u, 0x01u})
                    for (int level : {256, 77})
                        for (int offset = 0; offset < 8; ++offset)
                            for (int width : {2, 4, 6, 8, 14, 22, 38, 46, 64, 70, 78, 102, 118}) {
                                Check(e, BlendIndex(column, row) | mode << 16, level, pic, "unmasked", 0xFFFFFFFF,
                                      offset, width);
                                if (HasFailure()) return;
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
