// Damaged and hostile data: declared sizes cost only what the data gives, special files fail at
// once, folder archives stay inside their folder, and the tool says why it refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <random>

#include "archive/archive.h"
#include "pack_fixtures.h"
#include "support/child_peak.h"
#include "support/run_tool.h"

using namespace archive_test;

namespace {

// A zlib stream of `size` bytes, the first `random` of them random and the rest 0x55.
std::vector<std::uint8_t> Deflated(std::size_t size, std::size_t random) {
    std::vector<std::uint8_t> data(size, 0x55);
    std::mt19937 generator(7);
    for (std::size_t i = 0; i < random; ++i) data[i] = static_cast<std::uint8_t>(generator());
    uLongf length = compressBound(size);
    std::vector<std::uint8_t> out(length);
    EXPECT_EQ(compress2(out.data(), &length, data.data(), size, Z_BEST_SPEED), Z_OK);
    out.resize(length);
    return out;
}

// saftool run with `arguments` exits with `status` and `message` in what it writes to stderr.
void ExpectTool(const std::string& arguments, int status, const char* message) {
    const testsupport::ToolRun run = testsupport::RunTool(SAFTOOL_PATH, arguments);
    EXPECT_EQ(run.status, status) << arguments;
    EXPECT_NE(run.errors.find(message), std::string::npos) << arguments << run.errors;
}

std::string Quote(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

TEST(HostileData, DeclaredSizesCostOnlyWhatTheDataGives) {
    TempDir dir;
    const auto random4m = Deflated(4 << 20, 4 << 20);
    const auto bomb = Deflated(64 << 20, 0);  // under 1 MB of zlib data
    const struct {
        const std::vector<std::uint8_t>* stored;  // null: a raw entry of `declared` zero bytes
        std::uint32_t declared;
        const char* reason;  // in saftool's message
    } cases[] = {{nullptr, 600u << 20, "more than the limit of 512 MiB"},
                 {&random4m, 400u << 20, "not of its declared size"},  // the data ends at 4 MiB
                 {&bomb, 0xFFFFFFFF, "cannot open entry"},
                 {&bomb, 8u << 20, "not of its declared size"}};  // the data runs on past it
    for (const auto& c : cases) {
        SCOPED_TRACE(c.declared);
        std::vector<std::uint8_t> pack =
            FlatPack6(0, {{"entry", c.stored ? *c.stored : std::vector<std::uint8_t>(), c.stored ? c.declared : 0}});
        if (!c.stored) PatchU32(pack, Entry6(1, 2), c.declared);
        WriteFile(dir / "pack.saf", pack);
        if (!c.stored) std::filesystem::resize_file(dir / "pack.saf", 2048 + c.declared);  // sparse
        const long peak = testsupport::ChildPeakGrowthMiB([&] {
            ComPtr<IArchive> archive = OpenSafArchive(dir.Path("pack.saf"));
            return archive && !LoadArchiveEntry(*archive, u"entry") && !LoadArchiveText(*archive, u"entry");
        });
        EXPECT_GE(peak, 0) << "opened or decoded";
        EXPECT_LT(peak, 64) << "MiB added to the peak";
        ExpectTool("cat " + Quote(dir / "pack.saf") + " entry", 1, c.reason);
    }
}

// The first match in index order wins, and a folder part of a path is only ever a folder, even
// when a file of that name comes first.
TEST(HostileData, LookupsKeepIndexOrderAndWalkOnlyIntoFolders) {
    TempDir dir;
    ByteWriter w;
    w.U8(0).U8(6).U16(5).U32(12);
    w.U32(0x80000000u).U32(1).U32(0).U32(3);      // root: 1..3
    w.U32(1).U32(1).U32(3).U32(0);                // "bg", a file
    w.U32(0x80000000u | 4).U32(4).U32(0).U32(1);  // "BG", a folder: 4
    w.U32(4).U32(2).U32(3).U32(0);                // "BG" again, a file: never reached
    w.U32(7).U32(2).U32(3).U32(0);                // "x"
    w.U8(0).Text("bg").U8(0).Text("BG").U8(0).Text("x").U8(0).U8(0);
    w.PadTo(2048).Text("one").PadTo(4096).Text("two").PadTo(6144);
    WriteFile(dir / "pack.saf", w.bytes);
    ComPtr<IArchive> archive = OpenSafArchive(dir.Path("pack.saf"));
    ASSERT_TRUE(archive);
    EXPECT_EQ(LoadArchiveEntry(*archive, u"Bg"), Bytes("one"));
    EXPECT_EQ(LoadArchiveEntry(*archive, u"bG/X"), Bytes("two"));
    EXPECT_FALSE(archive->Exists(u"x"));
    EXPECT_FALSE(archive->Exists(u"bg/bg"));
}

// Special files fail at once; names are the file system's bytes, UTF-8 or not.
TEST(HostileData, SpecialFilesFailAtOnceAndPathsKeepTheirBytes) {
    TempDir dir;
    const auto fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directories(dir / "data");
    ASSERT_EQ(::mkfifo((dir / "data" / "pipe.txt").c_str(), 0600), 0);
    WriteFile(dir / "src" / "a.txt", Bytes("a"));
    ASSERT_EQ(::mkfifo((dir / "src" / "b.txt").c_str(), 0600), 0);
    EXPECT_FALSE(OpenSafArchive(dir.Path("fifo")));
    EXPECT_FALSE(OpenArchive5(dir.Path("fifo")));
    EXPECT_FALSE(OpenArchive6(dir.Path("fifo")));
    ComPtr<IArchive> folder = OpenDirArchive(dir.Path("data"));
    ASSERT_TRUE(folder);
    EXPECT_FALSE(folder->OpenFile(u"pipe.txt"));
    EXPECT_FALSE(folder->OpenArchive(u"pipe.txt"));
    const std::filesystem::path latin1 = dir / "caf\xE9";  // not valid UTF-8
    WriteFile(latin1.string() + ".saf", Fixture6(false));
    WriteFile(latin1 / "a.txt", Bytes("folder entry"));
    const std::tuple<std::string, int, const char*> cases[] = {
        {"cat " + Quote(fifo) + " x", 1, "not a regular file or folder"},
        {"cat " + Quote(dir / "data") + " pipe.txt", 1, "not a regular file"},
        {"pack --compress zlib " + Quote(dir / "src") + " " + Quote(dir / "out.saf"), 1, "not a regular file"},
        {"pack " + Quote(dir / "src") + " " + Quote(dir / "out.saf"), 1, "b.txt"},
        {"list '" + latin1.string() + ".saf'", 0, ""},
        {"cat " + Quote(latin1) + " a.txt", 0, ""},
        {"extract '" + latin1.string() + ".saf' '" + latin1.string() + "-out'", 0, ""},
    };
    for (const auto& [arguments, status, message] : cases) ExpectTool(arguments, status, message);
    EXPECT_TRUE(std::filesystem::exists(latin1.string() + "-out/bg/title.png"));
}

// A whole load that gives nothing says why, for the message that names the entry.
TEST(HostileData, FailedLoadsSayWhy) {
    TempDir dir;
    std::filesystem::create_directories(dir / "data" / "sub");
    ASSERT_EQ(::mkfifo((dir / "data" / "pipe.txt").c_str(), 0600), 0);
    WriteFile(dir / "data" / "a.txt", Bytes("abc"));
    WriteFile(dir / "pack.saf", FlatPack6(0, {{"short", Deflated(100, 0), 200}}));
    ComPtr<IArchive> folder = OpenDirArchive(dir.Path("data"));
    ComPtr<IArchive> pack = OpenSafArchive(dir.Path("pack.saf"));
    ASSERT_TRUE(folder && pack);
    const std::tuple<IArchive*, std::u16string, std::uint64_t, std::u16string> cases[] = {
        {folder.Get(), u"missing", kMaxEntryLoadBytes, u"was not found"},
        {folder.Get(), u"PIPE.txt", kMaxEntryLoadBytes, u"is not a regular file"},
        {folder.Get(), u"sub", kMaxEntryLoadBytes, u"is a folder"},
        {folder.Get(), u"a.txt", 2, u"is larger than 2 bytes"},
        {pack.Get(), u"short", kMaxEntryLoadBytes, u"is damaged (its data does not decode to its declared size)"},
        {pack.Get(), u"short", 199, u"is larger than 199 bytes"},
    };
    for (const auto& [archive, name, limit, reason] : cases) {
        SCOPED_TRACE(Utf16ToUtf8(name));
        EXPECT_FALSE(LoadArchiveText(*archive, name, limit));
        EXPECT_EQ(DescribeEntryError(*archive, name, limit), reason);
    }
    EXPECT_EQ(LoadArchiveText(*folder, u"a.txt", 3), "abc");
}

TEST(HostileData, FolderArchivesStayInsideTheirFolder) {
    TempDir dir;
    WriteFile(dir / "outside.txt", Bytes("secret"));
    WriteFile(dir / "data" / "sub" / "inside.txt", Bytes("inside"));
    WriteFile(dir / "data" / "inner.saf", Fixture6(false));
    ComPtr<IArchive> archive = OpenDirArchive(dir.Path("data"));
    ASSERT_TRUE(archive);
    const std::u16string refused[] = {u"sub/../../outside.txt", u"..\\outside.txt", u"/sub/inside.txt",
                                      u"\\sub\\inside.txt", std::u16string(u"sub/inside.txt\0x", 16)};
    for (const std::u16string& name : refused) {
        SCOPED_TRACE(Utf16ToUtf8(name));
        EXPECT_FALSE(archive->Exists(name));
        EXPECT_FALSE(archive->OpenFile(name));
        EXPECT_FALSE(archive->OpenArchive(name));
    }
    EXPECT_FALSE(archive->OpenArchive(u"sub/../inner.saf"));
    EXPECT_EQ(LoadArchiveEntry(*archive, u"SUB/./Inside.TXT"), Bytes("inside"));
    EXPECT_TRUE(archive->OpenArchive(u"inner.saf"));
}

}  // namespace
