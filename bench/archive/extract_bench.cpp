// Extracting every entry of a pack whose files all sit in one folder, as `saftool extract` does:
// one listing, then each entry looked up by its path and loaded. The time per entry must not grow
// with the entry count (items per second stay level from 4,096 files to 65,535 entries).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "lib/text.h"

namespace fs = std::filesystem;

namespace {

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A version 6 pack of `count` files in its root, every one 16 bytes long and stored in the same
// sector (so the pack stays small), with names of equal length so that every lookup compares
// the same way.
std::vector<std::uint8_t> FlatPack(std::uint32_t count) {
    std::string names(1, '\0');
    std::vector<std::uint32_t> offsets;
    for (std::uint32_t i = 0; i < count; ++i) {
        offsets.push_back(static_cast<std::uint32_t>(names.size()));
        names += "entry" + std::to_string(100000 + i) + ".bin";
        names.push_back('\0');
    }
    std::vector<std::uint8_t> out = {0, 6};
    out.push_back(static_cast<std::uint8_t>((count + 1) & 0xFF));
    out.push_back(static_cast<std::uint8_t>((count + 1) >> 8));
    PutU32(out, static_cast<std::uint32_t>(names.size()));
    const std::uint32_t indexEnd = 8 + (count + 1) * 16 + static_cast<std::uint32_t>(names.size());
    const std::uint32_t sector = (indexEnd + 2047) / 2048;
    for (std::uint32_t v : {0x80000000u, 1u, 0u, count}) PutU32(out, v);
    for (std::uint32_t i = 0; i < count; ++i)
        for (std::uint32_t v : {offsets[i], sector, 16u, 0u}) PutU32(out, v);
    out.insert(out.end(), names.begin(), names.end());
    out.resize(std::size_t{sector} * 2048 + 2048, 'x');
    return out;
}

// The packs of each size, written once into a temporary folder that is removed at exit.
class Packs {
public:
    Packs() {
        std::string pattern = (fs::temp_directory_path() / "extract_bench_XXXXXX").string();
        root_ = mkdtemp(pattern.data());
    }
    ~Packs() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::u16string Path(std::uint32_t count) {
        const fs::path path = root_ / ("flat" + std::to_string(count) + ".saf");
        if (!fs::exists(path)) {
            const std::vector<std::uint8_t> bytes = FlatPack(count);
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        }
        return Utf8ToUtf16(path.string());
    }

private:
    fs::path root_;
};

void BM_ExtractEveryEntry(benchmark::State& state) {
    static Packs packs;
    const auto count = static_cast<std::uint32_t>(state.range(0));
    const std::u16string path = packs.Path(count);
    for (auto _ : state) {
        ComPtr<IArchive> archive = OpenSafArchive(path);
        if (!archive) return state.SkipWithError("cannot open the pack");
        for (const ArchiveListEntry& entry : archive->Enumerate()) {
            auto bytes = LoadArchiveEntry(*archive, entry.path);
            if (!bytes) return state.SkipWithError("entry failed");
            benchmark::DoNotOptimize(bytes->data());
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * count);
    state.SetComplexityN(count);
}
BENCHMARK(BM_ExtractEveryEntry)
    ->Arg(4096)
    ->Arg(16384)
    ->Arg(65534)  // with the root, the most entries a pack can hold
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
