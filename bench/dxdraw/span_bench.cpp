// The span engine at 800x600, 801x600 and 24x24: every routine on the plain, SSE2 and AVX2
// tables (an odd width ends with a plain column, as the dispatch draws it), side by side with
// pixman on the comparable operations and with memcpy of the same bytes.
//
// Names: <operation>/<engine>/<width>x<height>; counters report pixels per second. Every
// benchmark of one size runs the same pinned number of iterations on the same buffers, so the
// engines and the references do the same work; run with repetitions and compare medians:
//   span_bench --benchmark_repetitions=7 --benchmark_enable_random_interleaving=true
//              --benchmark_report_aggregates_only=true --benchmark_format=json > spans.json
//   span_compare.py spans.json
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dxdraw/span_engine.h"

namespace {

using namespace DxDraw;

struct Size {
    int width, height;
};
constexpr Size kSizes[] = {{800, 600}, {801, 600}, {24, 24}};

std::string SizeName(Size s) { return std::to_string(s.width) + "x" + std::to_string(s.height); }

// Source, destination and rule pixels of one size, with varied alpha.
struct Frame {
    explicit Frame(Size s) : size(s), src(Count()), dst(Count()), rule(Count()) {
        std::mt19937 rng(42);
        for (std::size_t i = 0; i < src.size(); ++i) {
            src[i] = rng();
            dst[i] = rng();
            rule[i] = rng();
        }
    }
    std::size_t Count() const { return static_cast<std::size_t>(size.width) * size.height; }
    std::int32_t Pitch() const { return size.width * 4; }
    Size size;
    std::vector<std::uint32_t> src, dst, rule;
};

void Finish(benchmark::State& state, Size s) { state.SetItemsProcessed(state.iterations() * s.width * s.height); }

// About 20 million pixels per repetition whatever the size: some tens of milliseconds for the
// plain path, long enough for the fast ones to dwarf the timer.
benchmark::IterationCount IterationsFor(Size s) {
    constexpr std::int64_t kPixelsPerRun = 20'000'000;
    return std::max<std::int64_t>(1, kPixelsPerRun / (static_cast<std::int64_t>(s.width) * s.height));
}

template <class F>
void Register(const std::string& name, Size s, F body) {
    benchmark::RegisterBenchmark(name.c_str(), body)->Iterations(IterationsFor(s));
}

struct Engine {
    const char* name;
    const BlendSpanTable* fast;  // null: the plain table alone
    FillFunc fill;
};

const char* kOperationNames[16] = {"Copy", "Brightness", "Fade", "Add", "Subtract", "Rule",
                                   "",     "",           "",     "",    "Xor",      "OntoOpaque"};

// Brightness lightens, fade mixes by half, the rule is part-way through its transition; add,
// subtract and xor take the source as it is, the level pixman's ADD compares with.
int LevelFor(std::uint32_t column) { return column == 1 ? 384 : (column == 2 ? 128 : (column == 5 ? 300 : 256)); }

void RegisterSpans(const Engine& e) {
    for (std::uint32_t column : {0u, 1u, 2u, 3u, 4u, 5u, 10u, 11u})
        for (std::uint32_t row = 0; row < 4; ++row) {
            if (column == 11 && row > 0) continue;  // one routine for every row
            for (bool blend : {false, true})
                for (Size s : kSizes) {
                    const std::string name = std::string(kOperationNames[column]) + (blend ? "Blended" : "") + "_row" +
                                             std::to_string(row) + "/" + e.name + "/" + SizeName(s);
                    Register(name, s, [=](benchmark::State& state) {
                        Frame f(s);
                        BlendParams p;
                        p.flags = BlendIndex(column, row) | (blend ? BLEND_SOURCE_ALPHA : 0) | BLEND_EXACT_FADE;
                        p.level = static_cast<std::uint32_t>(LevelFor(column));
                        const BlendParams n = NormalizeBlendParams(&p);
                        SpanRect r{f.dst.data(), f.src.data(), f.rule.data(), s.width,
                                   s.height,     f.Pitch(),    f.Pitch(),     f.Pitch()};
                        for (auto _ : state) {
                            DispatchSpansWith(e.fast, r, n);
                            benchmark::ClobberMemory();
                        }
                        Finish(state, s);
                    });
                }
        }
    for (Size s : kSizes) {
        const std::string name = std::string("Fill/") + e.name + "/" + SizeName(s);
        Register(name, s, [=](benchmark::State& state) {
            Frame f(s);
            for (auto _ : state) {
                FillRectSpansWith(&FillSpan, e.fill, f.dst.data(), s.width, f.Pitch(), 0x80112233, s.height);
                benchmark::ClobberMemory();
            }
            Finish(state, s);
        });
    }
}

// pixman on the same buffers (top-down rows of a8r8g8b8, the same byte order in memory).
struct PixmanFrame : Frame {
    explicit PixmanFrame(Size s) : Frame(s) {
        srcImage = pixman_image_create_bits(PIXMAN_a8r8g8b8, s.width, s.height, src.data(), Pitch());
        dstImage = pixman_image_create_bits(PIXMAN_a8r8g8b8, s.width, s.height, dst.data(), Pitch());
        const pixman_color_t half{0x8000, 0x8000, 0x8000, 0x8000};
        solidImage = pixman_image_create_solid_fill(&half);
    }
    ~PixmanFrame() {
        pixman_image_unref(srcImage);
        pixman_image_unref(dstImage);
        pixman_image_unref(solidImage);
    }
    PixmanFrame(const PixmanFrame&) = delete;
    PixmanFrame& operator=(const PixmanFrame&) = delete;
    pixman_image_t *srcImage, *dstImage, *solidImage;
};

void RegisterReferences() {
    struct Composite {
        const char* name;
        pixman_op_t op;
        int mask;  // 0 none, 1 solid, 2 a8
    };
    for (const Composite c :
         {Composite{"Copy_row0", PIXMAN_OP_SRC, 0}, Composite{"CopyBlended_row0", PIXMAN_OP_OVER, 0},
          Composite{"FadeBlended_row0", PIXMAN_OP_OVER, 1}, Composite{"Add_row0", PIXMAN_OP_ADD, 0},
          Composite{"Rule_row0", PIXMAN_OP_OVER, 2}})
        for (Size s : kSizes) {
            const std::string name = std::string(c.name) + "/pixman/" + SizeName(s);
            Register(name, s, [=](benchmark::State& state) {
                // pixman wants rows of whole 32-bit words, so the a8 mask's stride is rounded up.
                PixmanFrame f(s);
                pixman_image_t* mask = c.mask == 1 ? f.solidImage : nullptr;
                std::vector<std::uint8_t> a8;
                if (c.mask == 2) {
                    const int stride = (s.width + 3) & ~3;
                    a8.assign(static_cast<std::size_t>(stride) * s.height, 0x80);
                    mask = pixman_image_create_bits(PIXMAN_a8, s.width, s.height,
                                                    reinterpret_cast<std::uint32_t*>(a8.data()), stride);
                }
                for (auto _ : state) {
                    pixman_image_composite32(c.op, f.srcImage, mask, f.dstImage, 0, 0, 0, 0, 0, 0, s.width, s.height);
                    benchmark::ClobberMemory();
                }
                if (c.mask == 2) pixman_image_unref(mask);
                Finish(state, s);
            });
        }
    for (Size s : kSizes) {
        Register("Fill/pixman/" + SizeName(s), s, [=](benchmark::State& state) {
            Frame f(s);
            for (auto _ : state) {
                pixman_fill(f.dst.data(), s.width, 32, 0, 0, s.width, s.height, 0x80112233);
                benchmark::ClobberMemory();
            }
            Finish(state, s);
        });
        Register("Memcpy/libc/" + SizeName(s), s, [=](benchmark::State& state) {
            Frame f(s);
            for (auto _ : state) {
                for (int y = 0; y < s.height; ++y)
                    std::memcpy(f.dst.data() + static_cast<std::size_t>(y) * s.width,
                                f.src.data() + static_cast<std::size_t>(y) * s.width,
                                static_cast<std::size_t>(s.width) * 4);
                benchmark::ClobberMemory();
            }
            Finish(state, s);
        });
    }
}

const int kRegistered = [] {
    RegisterSpans({"plain", nullptr, nullptr});
    RegisterSpans({"sse2", &Sse2SpanTable, &FillSpanSse2});
    if (__builtin_cpu_supports("avx2")) RegisterSpans({"avx2", &Avx2SpanTable, &FillSpanAvx2});
    RegisterReferences();
    return 0;
}();

}  // namespace
