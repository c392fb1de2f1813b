// Reading a 200 MB pack of raw entries through the archive, side by side with plain read() of
// the same bytes; and the decode rates of zlib and LZSS entries.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "archive/archive.h"
#include "archive/compressed_file.h"
#include "lib/text.h"
#include "saf_writer.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kEntrySize = 512 * 1024;
constexpr std::size_t kEntryCount = 400;  // 200 MiB
constexpr std::size_t kSampleSize = 4 * 1024 * 1024;

// Text-like bytes: words from a small vocabulary, so both coders find matches.
std::vector<std::uint8_t> Sample(std::size_t size, unsigned seed) {
    static const char* const words[] = {"the ", "quiet ", "river ", "runs ",    "under ",
                                        "a ",   "pale ",  "moon ",  "\x82\xA0", "\x82\xA2",
                                        "\n",   "and ",   "night ", "falls ",   "slowly "};
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> out;
    out.reserve(size + 16);
    while (out.size() < size) {
        const char* word = words[rng() % std::size(words)];
        out.insert(out.end(), word, word + std::char_traits<char>::length(word));
    }
    out.resize(size);
    return out;
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The packs, built once in a temporary folder that is removed at exit.
class Fixture {
public:
    Fixture() {
        std::string pattern = (fs::temp_directory_path() / "archive_bench_XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        std::mt19937 rng(1);
        std::vector<std::uint8_t> bytes(kEntrySize);
        for (std::size_t i = 0; i < kEntryCount; ++i) {
            for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
            WriteBytes(root_ / "raw" / ("dir" + std::to_string(i % 8)) / ("entry" + std::to_string(i) + ".bin"), bytes);
        }
        PackFolder(root_ / "raw", root_ / "raw.saf", {});
        fs::remove_all(root_ / "raw");
        sample_ = Sample(kSampleSize, 2);
        WriteBytes(root_ / "text/sample.txt", sample_);
        PackFolder(root_ / "text", root_ / "zlib.saf", {6, false, PackCompression::kZlib});
        PackFolder(root_ / "text", root_ / "lzss.saf", {6, false, PackCompression::kLzss});
        lzss_ = EncodeLzss(sample_);
    }
    ~Fixture() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::u16string Pack(const char* name) const { return Utf8ToUtf16((root_ / name).string()); }
    std::string PackPath(const char* name) const { return (root_ / name).string(); }
    const std::vector<std::uint8_t>& sample() const { return sample_; }
    const std::vector<std::uint8_t>& lzss() const { return lzss_; }

private:
    fs::path root_;
    std::vector<std::uint8_t> sample_;
    std::vector<std::uint8_t> lzss_;
};

const Fixture& Data() {
    static Fixture fixture;
    return fixture;
}

void BM_RawEntriesThroughArchive(benchmark::State& state) {
    auto archive = OpenSafArchive(Data().Pack("raw.saf"));
    if (!archive) return state.SkipWithError("cannot open the pack");
    const auto entries = archive->Enumerate();
    std::vector<std::uint8_t> buffer(kEntrySize);
    std::size_t total = 0;
    for (auto _ : state) {
        for (const ArchiveListEntry& entry : entries) {
            auto size = LoadArchiveEntry(*archive, entry.path, buffer);
            if (!size) return state.SkipWithError("entry failed");
            total += *size;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
}
BENCHMARK(BM_RawEntriesThroughArchive)->Unit(benchmark::kMillisecond)->UseRealTime();

// The reference: the same pack file read front to back with read(), one entry's size at a time.
void BM_RawEntriesPlainRead(benchmark::State& state) {
    const std::string path = Data().PackPath("raw.saf");
    std::vector<std::uint8_t> buffer(kEntrySize);
    std::size_t total = 0;
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return state.SkipWithError("cannot open the pack");
        ssize_t n;
        while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) total += static_cast<std::size_t>(n);
        ::close(fd);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
}
BENCHMARK(BM_RawEntriesPlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void DecodeEntry(benchmark::State& state, const char* pack) {
    auto archive = OpenSafArchive(Data().Pack(pack));
    if (!archive) return state.SkipWithError("cannot open the pack");
    std::vector<std::uint8_t> buffer(kSampleSize);
    for (auto _ : state) {
        if (!LoadArchiveEntry(*archive, u"sample.txt", buffer)) return state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSampleSize));
}

void BM_ZlibEntryDecode(benchmark::State& state) { DecodeEntry(state, "zlib.saf"); }
BENCHMARK(BM_ZlibEntryDecode)->Unit(benchmark::kMillisecond);

void BM_LzssEntryDecode(benchmark::State& state) { DecodeEntry(state, "lzss.saf"); }
BENCHMARK(BM_LzssEntryDecode)->Unit(benchmark::kMillisecond);

// The LZSS decoder alone, from memory to memory.
void BM_LzssDecodeInMemory(benchmark::State& state) {
    std::vector<std::uint8_t> out(kSampleSize);
    for (auto _ : state) {
        benchmark::DoNotOptimize(DecodeLzss(out, Data().lzss()));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSampleSize));
}
BENCHMARK(BM_LzssDecodeInMemory)->Unit(benchmark::kMillisecond);

}  // namespace
