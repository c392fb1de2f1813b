// Packs written by saftool and read back every way the engine reads them, for every
// combination of version, scrambling, compression and nesting; folder archives; the tool's
// own commands.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <sstream>

#include "archive/archive.h"
#include "test_util.h"

using namespace archive_test;
namespace fs = std::filesystem;

namespace {

using Files = std::map<std::string, std::vector<std::uint8_t>>;  // path under the root -> bytes

std::vector<std::uint8_t> Random(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng() % 7 == 0 ? rng() : 'a' + rng() % 4);
    return bytes;
}

// The tree every round trip packs: folders, a CP932 name, an empty file, an entry large enough
// for the streamed zlib path, and a nested pack with a folder of its own.
Files SourceTree(int version) {
    Files files;
    files["BG/Title.png"] = Random(3000, 1);
    files["BG/chars/Hero_01.png"] = Random(70000, 2);
    files["script/_start.txt"] = Bytes("*start\nmessage hello\n");
    files["empty.txt"] = {};
    files["big.bin"] = Random(0x60000, 3);
    files[version == 6 ? "日本語の名前.txt" : "a日本.txt"] = Bytes("kana");
    files["inner.saf/deep/n.txt"] = Bytes("nested text");
    files["inner.saf/x.bin"] = Random(5000, 4);
    return files;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs saftool with what it prints in `out` and its errors in `err`; the exit code, or -1 when the
// tool died of a signal.
int RunTool(const std::string& arguments, std::string* out = nullptr, std::string* err = nullptr) {
    TempDir capture;
    const std::string command = std::string("'") + SAFTOOL_PATH + "' " + arguments + " >'" +
                                (capture / "out").string() + "' 2>'" + (capture / "err").string() + "'";
    const int status = std::system(command.c_str());
    if (out) *out = ReadText(capture / "out");
    if (err) *err = ReadText(capture / "err");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

struct Combination {
    int version;
    bool scramble;
    std::string compression;
};

std::string Name(const ::testing::TestParamInfo<Combination>& info) {
    return "v" + std::to_string(info.param.version) + (info.param.scramble ? "_scrambled_" : "_plain_") +
           info.param.compression;
}

// Every way of reading an entry must give the same bytes.
void ExpectReadable(IArchive& archive, const std::string& path, const std::vector<std::uint8_t>& expected) {
    SCOPED_TRACE(path);
    const std::u16string name = Utf8ToUtf16(path);
    auto whole = LoadArchiveEntry(archive, name);
    ASSERT_TRUE(whole);
    EXPECT_TRUE(*whole == expected);

    // The stored bytes, by seek and read in two halves, by a clone, and through a mapping.
    auto file = archive.OpenFile(name);
    ASSERT_TRUE(file);
    const std::uint64_t stored = file->GetSize();
    std::vector<std::uint8_t> read(stored);
    const std::uint64_t half = stored / 2;
    if (stored > 0) {
        ASSERT_EQ(file->Seek(static_cast<std::int64_t>(half), IArchiveFile::kSeekSet), static_cast<std::int64_t>(half));
        auto clone = file->Clone();
        ASSERT_TRUE(clone);
        EXPECT_EQ(clone->Read(read.data() + half, stored), stored - half);
        ASSERT_EQ(file->Seek(0, IArchiveFile::kSeekSet), 0);
        EXPECT_EQ(file->Read(read.data(), half), half);
    }
    EXPECT_TRUE(archive.IsCompressed(name) || read == expected);
    auto mapping = archive.OpenMapping(name);
    ASSERT_TRUE(mapping);
    if (stored > 0) {
        const void* view = mapping->Map(0, 0);
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(std::memcmp(view, read.data(), stored), 0);
    }
}

class RoundTrip : public ::testing::TestWithParam<Combination> {};

TEST_P(RoundTrip, EveryEntryReadsBackEveryWay) {
    const Combination& c = GetParam();
    TempDir dir;
    const Files files = SourceTree(c.version);
    for (const auto& [path, bytes] : files) WriteFile(dir / ("src/" + path), bytes);
    fs::create_directories(dir / "src/empty_folder");
    const std::string options = "--version " + std::to_string(c.version) + (c.scramble ? " --scramble" : "") +
                                " --compress " + c.compression + " ";
    ASSERT_EQ(RunTool("pack " + options + Quote(dir / "src") + " " + Quote(dir / "out.saf")), 0);

    auto archive = OpenSafArchive(dir.Path("out.saf"));
    ASSERT_TRUE(archive);
    auto inner = archive->OpenArchive(u"INNER.saf");
    ASSERT_TRUE(inner);
    std::vector<std::u16string> listed;
    for (const auto& entry : archive->Enumerate()) listed.push_back(entry.path);
    for (const auto& [path, bytes] : files) {
        if (path.starts_with("inner.saf/")) {
            ExpectReadable(*inner, path.substr(10), bytes);
            continue;
        }
        ExpectReadable(*archive, path, bytes);
        EXPECT_EQ(std::count(listed.begin(), listed.end(), Utf8ToUtf16(path)), 1);
        EXPECT_EQ(archive->IsCompressed(Utf8ToUtf16(path)), c.compression != "none" && !bytes.empty());
    }
    EXPECT_EQ(listed.size(), 7u);  // six files and the nested pack, never folders
    EXPECT_EQ(inner->Enumerate().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Packs, RoundTrip,
                         ::testing::Values(Combination{5, false, "none"}, Combination{5, true, "none"},
                                           Combination{5, false, "zlib"}, Combination{5, true, "zlib"},
                                           Combination{6, false, "none"}, Combination{6, true, "none"},
                                           Combination{6, false, "zlib"}, Combination{6, true, "zlib"},
                                           Combination{6, false, "lzss"}, Combination{6, true, "lzss"}),
                         Name);

class Tool : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir / "src/BG/Title.png", Bytes("picture"));
        WriteFile(dir / "src/inner.saf/a.txt", Bytes("inner"));
        ASSERT_EQ(RunTool("pack --scramble " + Quote(dir / "src") + " " + Quote(dir / "out.saf")), 0);
    }
    TempDir dir;
    std::string out;
};

TEST_F(Tool, ListCatAndExtract) {
    const std::pair<std::string, std::string> cases[] = {
        {"list " + Quote(dir / "out.saf"), "BG/Title.png\t7\t6144\ninner.saf\t4096\t2048\n"},
        {"list " + Quote(dir / "out.saf") + " --open INNER.SAF", "a.txt\t5\t2048\n"},
        {"cat " + Quote(dir / "out.saf") + " 'bg\\title.PNG'", "picture"},
        {"cat " + Quote(dir / "out.saf") + " --open inner.saf A.TXT", "inner"},
        {"cat " + Quote(dir / "src") + " bg/TITLE.png", "picture"},
    };
    for (const auto& [arguments, expected] : cases) {
        EXPECT_EQ(RunTool(arguments, &out), 0) << arguments;
        EXPECT_EQ(out, expected);
    }
    EXPECT_EQ(RunTool("extract " + Quote(dir / "out.saf") + " " + Quote(dir / "x")), 0);
    EXPECT_TRUE(fs::exists(dir / "x/BG/Title.png"));
    EXPECT_EQ(fs::file_size(dir / "x/inner.saf"), 4096u);
}

TEST_F(Tool, FailuresExitWithOneAndNeverASignal) {
    EXPECT_EQ(RunTool("cat " + Quote(dir / "out.saf") + " missing.png"), 1);
    EXPECT_EQ(RunTool("cat " + Quote(dir / "out.saf") + " --open missing.saf a.txt"), 1);
    EXPECT_EQ(RunTool("cat " + Quote(dir / "nothing.saf") + " a.txt"), 1);
    fs::resize_file(dir / "out.saf", 6144 + 3);  // the picture is cut short
    EXPECT_EQ(RunTool("cat " + Quote(dir / "out.saf") + " BG/Title.png"), 1);
    WriteFile(dir / "garbage.saf", Random(5000, 9));
    std::string err;
    EXPECT_EQ(RunTool("cat " + Quote(dir / "garbage.saf") + " a", nullptr, &err), 1);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(RunTool("pack --version 5 --compress lzss " + Quote(dir / "src") + " " + Quote(dir / "bad.saf")), 1);
    WriteFile(dir / "long/a_name_longer_than_twenty.txt", Bytes("x"));
    EXPECT_EQ(RunTool("pack --version 5 " + Quote(dir / "long") + " " + Quote(dir / "bad.saf")), 1);
    EXPECT_EQ(RunTool("pack --version 6 " + Quote(dir / "long") + " " + Quote(dir / "good.saf")), 0);
    EXPECT_EQ(RunTool("frobnicate"), 2);
}

TEST(FolderArchive, NamesIgnoreCaseAndNestedPacksKeepTheirVersion) {
    TempDir dir;
    WriteFile(dir / "data/BG/Title.png", Bytes("picture"));
    WriteFile(dir / "data/inner/a.txt", Bytes("v5 inside a folder"));
    ASSERT_EQ(RunTool("pack --version 5 " + Quote(dir / "data/inner") + " " + Quote(dir / "data/Pack5.saf")), 0);
    auto archive = OpenDirArchive(dir.Path("data"));
    auto slashed = OpenDirArchive(dir.Path("data/"));
    ASSERT_TRUE(archive);
    ASSERT_TRUE(slashed);
    for (IArchive* a : {archive.Get(), slashed.Get()}) {
        EXPECT_TRUE(a->Exists(u"bg/TITLE.PNG"));
        EXPECT_TRUE(a->Exists(u"BG\\title.png"));
        EXPECT_FALSE(a->Exists(u"bg/title.pn"));
        EXPECT_FALSE(a->IsCompressed(u"bg/title.png"));
        EXPECT_EQ(LoadArchiveText(*a, u"Bg/Title.Png").value_or("<none>"), "picture");
    }
    EXPECT_TRUE(archive->Enumerate().empty());
    auto pack = archive->OpenArchive(u"pack5.SAF");
    ASSERT_TRUE(pack);
    EXPECT_EQ(LoadArchiveText(*pack, u"A.txt").value_or("<none>"), "v5 inside a folder");
    EXPECT_FALSE(archive->OpenFile(u"bg"));  // a folder is not a file
    EXPECT_FALSE(OpenDirArchive(dir.Path("missing")));

    std::u16string probed;
    EXPECT_FALSE(ProbeArchiveFile(*archive, u"none.png", &probed));
    EXPECT_TRUE(probed.empty());  // a bare name is copied only when it exists
    EXPECT_FALSE(ProbeArchiveFile(*archive, u"bg/none.png", &probed));
    EXPECT_EQ(probed, u"bg/none.png");
    EXPECT_TRUE(ProbeArchiveFile(*archive, u"pack5.saf", &probed));
    EXPECT_EQ(probed, u"pack5.saf");
}

}  // namespace
