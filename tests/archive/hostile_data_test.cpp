// Damaged and hostile data: declared sizes cost only what the data gives, special files fail at
// once, folder archives stay inside their folder, and the tool says why it refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <random>

#include "archive/archive.h"
#include "pack_fixtures.h"
#include "support/child_peak.h"
#include "support/run_tool.h"

using namespace archive_test;

namespace {

// A zlib stream of `size` bytes, the first `random` of them random and the rest 0x55,
// compressed in slices so that a stream of hundreds of MB never has to be held whole.
std::vector<std::uint8_t> Deflated(std::size_t size, std::size_t random) {
    z_stream stream{};
    EXPECT_EQ(deflateInit(&stream, Z_BEST_SPEED), Z_OK);
    std::vector<std::uint8_t> slice(1 << 20);
    std::mt19937 generator(7);
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> chunk(1 << 16);
    for (std::size_t done = 0; done < size;) {
        const std::size_t n = std::min(slice.size(), size - done);
        for (std::size_t i = 0; i < n; ++i)
            slice[i] = done + i < random ? static_cast<std::uint8_t>(generator()) : std::uint8_t{0x55};
        done += n;
        stream.next_in = slice.data();
        stream.avail_in = static_cast<uInt>(n);
        int result;
        do {
            stream.next_out = chunk.data();
            stream.avail_out = static_cast<uInt>(chunk.size());
            result = deflate(&stream, done == size ? Z_FINISH : Z_NO_FLUSH);
            out.insert(out.end(), chunk.data(), stream.next_out);
        } while (stream.avail_out == 0 || (done == size && result != Z_STREAM_END));
    }
    deflateEnd(&stream);
    return out;
}

testsupport::ToolRun Saftool(const std::string& arguments) { return testsupport::RunTool(SAFTOOL_PATH, arguments); }

std::string Quote(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

TEST(HostileData, DeclaredSizesCostOnlyWhatTheDataGives) {
    TempDir dir;
    const auto random4m = Deflated(4 << 20, 4 << 20);
    const auto bomb = Deflated(64 << 20, 0);                         // under 1 MB of zlib data
    const auto bigBomb = Deflated(std::size_t{600} << 20, 2 << 20);  // 600 MiB from 3 MB
    struct Case {
        const char* name;
        const std::vector<std::uint8_t>* stored;
        std::uint32_t declared;
        const char* reason;  // in saftool's message
    };
    const Case cases[] = {
        {"4 GiB declared for 4 MB of data", &random4m, 0xFFFFFFFF, "more than the limit of 512 MiB"},
        {"400 MiB declared, the data ends at 4 MiB", &random4m, 400u << 20, "not of its declared size"},
        {"a bomb of 64 MiB declared as 4 GiB", &bomb, 0xFFFFFFFF, "cannot open entry"},
        {"a bomb declared as 8 MiB runs on past it", &bomb, 8u << 20, "not of its declared size"},
        {"a bomb of 600 MiB declared as such, above the limit", &bigBomb, 600u << 20, "more than the limit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir / "pack.saf", FlatPack6(0, {{"entry", *c.stored, c.declared}}));
        const long peak = testsupport::ChildPeakGrowthMiB([&] {
            ComPtr<IArchive> archive = OpenSafArchive(dir.U16("pack.saf"));
            return archive && !LoadArchiveEntry(*archive, u"entry") && !LoadArchiveText(*archive, u"entry");
        });
        EXPECT_GE(peak, 0) << "opened or decoded";
        EXPECT_LT(peak, 64) << "MiB added to the peak";
        const testsupport::ToolRun run = Saftool("cat " + Quote(dir / "pack.saf") + " entry");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.errors.find(c.reason), std::string::npos) << run.errors;
    }
}

TEST(HostileData, FoldersThatShareChildrenAreRefused) {
    TempDir dir;
    std::vector<std::uint8_t> pack = Fixture6(false);
    WriteFile(dir / "good.saf", pack);
    PatchU32(pack, Entry6(1, 1), 2);  // "bg" now lists the root's ReadMe.TXT and nested.saf as its own
    WriteFile(dir / "shared.saf", pack);
    EXPECT_TRUE(OpenSafArchive(dir.U16("good.saf")));
    EXPECT_FALSE(OpenSafArchive(dir.U16("shared.saf")));
}

// Lookups go through a table keyed by folder and folded name: the first match in index order
// wins, and a folder part of a path is only ever a folder, even when a file of that name comes
// first.
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
    ComPtr<IArchive> archive = OpenSafArchive(dir.U16("pack.saf"));
    ASSERT_TRUE(archive);
    EXPECT_EQ(LoadArchiveEntry(*archive, u"Bg"), Bytes("one"));
    EXPECT_EQ(LoadArchiveEntry(*archive, u"bG/X"), Bytes("two"));
    EXPECT_FALSE(archive->Exists(u"x"));
    EXPECT_FALSE(archive->Exists(u"bg/bg"));
}

TEST(HostileData, SpecialFilesFailAtOnce) {
    TempDir dir;
    const auto fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directories(dir / "data");
    ASSERT_EQ(::mkfifo((dir / "data" / "pipe.txt").c_str(), 0600), 0);
    WriteFile(dir / "src" / "a.txt", Bytes("a"));
    ASSERT_EQ(::mkfifo((dir / "src" / "b.txt").c_str(), 0600), 0);

    EXPECT_FALSE(OpenSafArchive(dir.U16("fifo")));
    EXPECT_FALSE(OpenArchive5(dir.U16("fifo")));
    EXPECT_FALSE(OpenArchive6(dir.U16("fifo")));
    ComPtr<IArchive> folder = OpenDirArchive(dir.U16("data"));
    ASSERT_TRUE(folder);
    EXPECT_FALSE(folder->OpenFile(u"pipe.txt"));
    EXPECT_FALSE(folder->OpenArchive(u"pipe.txt"));
    EXPECT_FALSE(LoadArchiveEntry(*folder, u"pipe.txt"));

    struct Case {
        std::string arguments;
        const char* message;
    };
    const Case cases[] = {
        {"list " + Quote(fifo), "not a regular file or folder"},
        {"cat " + Quote(fifo) + " x", "not a regular file or folder"},
        {"cat " + Quote(dir / "data") + " pipe.txt", "not a regular file"},
        {"pack --compress zlib " + Quote(dir / "src") + " " + Quote(dir / "out.saf"), "not a regular file"},
        {"pack " + Quote(dir / "src") + " " + Quote(dir / "out.saf"), "b.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const testsupport::ToolRun run = Saftool(c.arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
    }
}

TEST(HostileData, FolderArchivesStayInsideTheirFolder) {
    TempDir dir;
    WriteFile(dir / "outside.txt", Bytes("secret"));
    WriteFile(dir / "data" / "sub" / "inside.txt", Bytes("inside"));
    WriteFile(dir / "data" / "inner.saf", Fixture6(false));
    ComPtr<IArchive> archive = OpenDirArchive(dir.U16("data"));
    ASSERT_TRUE(archive);
    const std::u16string absolute = dir.U16("outside.txt");
    const std::u16string refused[] = {u"../outside.txt",
                                      u"sub/../../outside.txt",
                                      u"..\\outside.txt",
                                      u"sub\\..\\..\\outside.txt",
                                      absolute,
                                      u"/sub/inside.txt",
                                      u"\\sub\\inside.txt",
                                      u"sub/../sub/inside.txt",
                                      u"../data/inner.saf",
                                      std::u16string(u"sub/inside.txt\0x", 16)};
    for (const std::u16string& name : refused) {
        SCOPED_TRACE(Utf16ToUtf8(name));
        EXPECT_FALSE(archive->Exists(name));
        EXPECT_FALSE(archive->OpenFile(name));
        EXPECT_FALSE(archive->OpenDecompressed(name));
        EXPECT_FALSE(archive->OpenArchive(name));
        EXPECT_FALSE(LoadArchiveEntry(*archive, name));
    }
    EXPECT_EQ(LoadArchiveEntry(*archive, u"SUB/./Inside.TXT"), Bytes("inside"));
    EXPECT_TRUE(archive->OpenArchive(u"inner.saf"));
}

TEST(HostileData, ToolPathsKeepTheirBytes) {
    TempDir dir;
    const std::string latin1 = "caf\xE9";  // not valid UTF-8
    WriteFile(dir / (latin1 + ".saf"), Fixture6(false));
    WriteFile(dir / latin1 / "a.txt", Bytes("folder entry"));
    EXPECT_EQ(Saftool("list " + Quote(dir / (latin1 + ".saf"))).status, 0);
    EXPECT_EQ(Saftool("cat " + Quote(dir / latin1) + " a.txt").status, 0);
    EXPECT_EQ(Saftool("extract " + Quote(dir / (latin1 + ".saf")) + " " + Quote(dir / (latin1 + "-out"))).status, 0);
    EXPECT_TRUE(std::filesystem::exists(dir / (latin1 + "-out") / "bg" / "title.png"));
}

}  // namespace
