// Packs built byte by byte: both index versions, scrambling, lookups, nesting, and every way a
// broken index must be refused.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/archive.h"
#include "pack_fixtures.h"
#include "support/capture_reports.h"

using namespace archive_test;

namespace {

std::string Load(IArchive& archive, std::u16string_view name) {
    auto bytes = LoadArchiveEntry(archive, name);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<none>");
}

class BrokenPack : public ::testing::Test {
protected:
    ComPtr<IArchive> OpenBytes(const std::vector<std::uint8_t>& bytes) {
        WriteFile(dir / "pack.saf", bytes);
        return OpenSafArchive(dir.Path("pack.saf"));
    }
    TempDir dir;
    std::vector<std::uint8_t> pack = Fixture6(false);
};

class PackFormat : public BrokenPack, public ::testing::WithParamInterface<bool> {};

TEST_P(PackFormat, Version6LooksUpIgnoringCaseAndSeparators) {
    auto archive = OpenBytes(Fixture6(GetParam()));
    ASSERT_TRUE(archive);
    EXPECT_EQ(Load(*archive, u"BG/Title.PNG"), "PNGDATA");
    EXPECT_EQ(Load(*archive, u"bg\\title.png"), "PNGDATA");
    EXPECT_EQ(Load(*archive, u"C:\\bg\\title.png"), "PNGDATA");
    EXPECT_EQ(Load(*archive, u"readme.txt"), "hello world");
    EXPECT_TRUE(archive->Exists(u"bg/sub"));
    EXPECT_FALSE(archive->Exists(u"bg/sub/title.png"));  // an empty folder holds nothing
    EXPECT_FALSE(archive->Exists(u"title.png"));         // not at the root
    EXPECT_FALSE(archive->Exists(u"bg/title.pn"));
    EXPECT_FALSE(archive->IsCompressed(u"readme.txt"));
    // "ReadMe.TXT" has first sector 1 and size 11; taken as a folder it would list entry 1 on.
    EXPECT_FALSE(archive->Exists(u"readme.txt/bg"));
    EXPECT_FALSE(archive->OpenFile(u"readme.txt/title.png"));
    EXPECT_FALSE(archive->OpenFile(u"bg"));  // and a folder is not a file
    EXPECT_FALSE(LoadArchiveEntry(*archive, u"bg"));
}

TEST_P(PackFormat, NestedPackIsReadWithItsOwnVersionAtItsBaseAndNotListed) {
    auto outer = OpenBytes(Fixture6(GetParam(), !GetParam()));
    ASSERT_TRUE(outer);
    auto inner = outer->OpenArchive(u"NESTED.SAF");
    ASSERT_TRUE(inner);
    EXPECT_EQ(Load(*inner, u"A.TXT"), "abc");
    EXPECT_EQ(Load(*inner, u"abcdefghijklmnopqrst"), "full");  // all 20 bytes are the name
    EXPECT_FALSE(inner->Exists(u"abcdefghijklmnopqrs"));
    auto list = inner->Enumerate();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].path, u"a.txt");
    EXPECT_EQ(list[0].offset, 2048u);
    EXPECT_FALSE(outer->OpenArchive(u"bg"));  // a folder is no pack

    // The outer list is depth first and does not enter the nested pack.
    list = outer->Enumerate();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].path, u"bg/title.png");
    EXPECT_EQ(list[0].size, 7u);
    EXPECT_EQ(list[0].offset, 4096u);
    EXPECT_EQ(list[1].path, u"ReadMe.TXT");
    EXPECT_EQ(list[2].path, u"nested.saf");
    EXPECT_EQ(list[2].size, 6144u);
}

TEST_P(PackFormat, EachVersionOpensOnlyItsOwn) {
    WriteFile(dir / "pack.saf", Fixture5(GetParam()));
    EXPECT_TRUE(OpenArchive5(dir.Path("pack.saf")));
    EXPECT_FALSE(OpenArchive6(dir.Path("pack.saf")));
    WriteFile(dir / "pack.saf", Fixture6(GetParam()));
    EXPECT_FALSE(OpenArchive5(dir.Path("pack.saf")));
    EXPECT_TRUE(OpenArchive6(dir.Path("pack.saf")));
}

INSTANTIATE_TEST_SUITE_P(ScrambledOrNot, PackFormat, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "scrambled" : "plain"; });

TEST_F(BrokenPack, BrokenIndexesAndShortFilesAreRefused) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::size_t, std::uint32_t>> patches;
    } cases[] = {
        {"children past the count", {{Entry6(1, 3), 9}}},
        {"first child past the count", {{Entry6(1, 1), 0xFFFFFFFF}}},
        {"name offset past the block", {{Entry6(2, 0), 40}}},
        {"folder name offset past the block", {{Entry6(1, 0), 0x80000000u | 0x7FFFFFFF}}},
        {"empty folder given a child past the end", {{Entry6(5, 3), 1}}},
        {"name block larger than the file", {{4, 0xFFFFFFF0}}},
        {"\"sub\" lists the root as its child", {{Entry6(5, 1), 0}, {Entry6(5, 3), 1}}},
        {"\"bg\" lists itself", {{Entry6(1, 1), 1}, {Entry6(1, 3), 1}}},
        {"unterminated name block", {{Entry6(kFixture6Count, 0) + kFixture6Names - 4, 0x78627573}}},  // "subx"
        {"no root at all", {{0, 0x0600}}},  // flags 0, version 6, count 0
    };
    for (const Case& c : cases) {
        auto bytes = pack;
        for (auto [at, value] : c.patches) PatchU32(bytes, at, value);
        EXPECT_FALSE(OpenBytes(bytes)) << c.what;
    }
    for (std::size_t size : {0, 1, 2, 3, 7, 8, 50, 100, 143})
        EXPECT_FALSE(OpenBytes({pack.begin(), pack.begin() + static_cast<std::ptrdiff_t>(size)})) << size;
    std::vector<std::uint8_t> v5 = Fixture5(false);
    EXPECT_FALSE(OpenBytes({v5.begin(), v5.begin() + 3}));
    EXPECT_FALSE(OpenBytes({v5.begin(), v5.begin() + 99}));
}

TEST_F(BrokenPack, DataOutsideThePackIsNotOpened) {
    auto bytes = pack;
    PatchU32(bytes, Entry6(4, 1), 100);  // "title.png" starts far past the end of the file
    auto archive = OpenBytes(bytes);
    ASSERT_TRUE(archive);
    EXPECT_TRUE(archive->Exists(u"bg/title.png"));
    EXPECT_FALSE(archive->OpenFile(u"bg/title.png"));
    EXPECT_FALSE(LoadArchiveEntry(*archive, u"bg/title.png"));
    EXPECT_EQ(Load(*archive, u"readme.txt"), "hello world");
    std::filesystem::resize_file(dir / "pack.saf", 2048 + 5);  // cut after opening, inside "hello world"
    EXPECT_FALSE(LoadArchiveEntry(*archive, u"readme.txt"));
    char buffer[11];
    EXPECT_EQ(archive->OpenFile(u"readme.txt")->Read(buffer, sizeof buffer), 5u) << "a short read is not success";

    bytes = pack;
    bytes.resize(6144 + 3000);  // the nested pack is cut short
    archive = OpenBytes(bytes);
    ASSERT_TRUE(archive);
    EXPECT_FALSE(archive->OpenArchive(u"nested.saf"));

    bytes = pack;
    PatchU32(bytes, Entry6(3, 2), 2048);  // the nested entry holds only the nested index sector
    archive = OpenBytes(bytes);
    ASSERT_TRUE(archive);
    auto inner = archive->OpenArchive(u"nested.saf");
    ASSERT_TRUE(inner);
    EXPECT_FALSE(inner->OpenFile(u"a.txt"));
}

TEST_F(BrokenPack, UnknownVersionReportsTheAssertion) {
    testsupport::CaptureReports reports;
    auto bytes = pack;
    bytes[1] = 7;
    EXPECT_FALSE(OpenBytes(bytes));
    ASSERT_EQ(reports.boxes.size(), 1u);
    EXPECT_NE(reports.boxes[0].text.find(u"未対応のSAF形式"), std::u16string::npos);
    EXPECT_NE(reports.boxes[0].text.find(u"archive, line 1787.  " + dir.Path("pack.saf")), std::u16string::npos);
    EXPECT_FALSE(OpenSafArchive(dir.Path("missing.saf")));
    EXPECT_EQ(reports.boxes.size(), 1u);
}

}  // namespace
