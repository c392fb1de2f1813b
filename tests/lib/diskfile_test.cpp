#include "lib/diskfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "lib/text.h"

namespace {

namespace fs = std::filesystem;

class DiskFile : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("diskfile_test_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::u16string PathOf(const std::string& name) const { return Utf8ToUtf16((dir_ / name).string()); }

    fs::path dir_;
};

TEST_F(DiskFile, LoadsWholeFilesUnderUtf8NamesIntoBuffersThatHoldThem) {
    std::ofstream(dir_ / "データ.bin", std::ios::binary) << std::string("ab\0cd", 5);
    auto bytes = LoadDiskFile(PathOf("データ.bin"));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, (std::vector<std::uint8_t>{'a', 'b', 0, 'c', 'd'}));
    EXPECT_FALSE(LoadDiskFile(PathOf("missing")));
    EXPECT_FALSE(LoadDiskFile(Utf8ToUtf16(dir_.string())));  // a folder is not a file
    std::uint8_t buffer[5] = {}, small[4] = {};
    EXPECT_EQ(LoadDiskFile(PathOf("データ.bin"), buffer), 5u);
    EXPECT_EQ(buffer[4], 'd');
    EXPECT_FALSE(LoadDiskFile(PathOf("データ.bin"), small));
    EXPECT_FALSE(LoadDiskFile(PathOf("missing"), buffer));
}

TEST_F(DiskFile, CreateWriteAndSeek) {
    std::ofstream(dir_ / "out", std::ios::binary) << "old contents";
    {
        FileHandle file = CreateFileForWrite(PathOf("out"));
        ASSERT_TRUE(file.valid());
        EXPECT_TRUE(file.Write("hello", 5));
        EXPECT_EQ(SeekFile64(file, 1, kSeekBegin), 1);
        EXPECT_TRUE(file.Write("E", 1));
        EXPECT_EQ(SeekFile64(file, 0, kSeekEnd), 5);
        EXPECT_EQ(SeekFile64(file, int64_t{1} << 33, kSeekBegin), int64_t{1} << 33);  // beyond 32 bits
        EXPECT_EQ(SeekFile64(file, -1, kSeekBegin), -1);
        EXPECT_EQ(SeekFile64(file, 0, kSeekBegin), 0);
        FileHandle moved = std::move(file);
        EXPECT_FALSE(file.valid());
        EXPECT_TRUE(moved.valid());
    }
    auto bytes = LoadDiskFile(PathOf("out"));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "hEllo");
    EXPECT_FALSE(CreateFileForWrite(PathOf("no/such/folder/file")).valid());
    EXPECT_EQ(SeekFile64(FileHandle(), 0, kSeekBegin), -1);
}

TEST(RebuildPath, ReplacesOnlyTheGivenParts) {
    EXPECT_EQ(RebuildPath(u"/data/game/start.txt", nullptr, nullptr, nullptr, u"bak"), u"/data/game/start.bak");
    EXPECT_EQ(RebuildPath(u"/data/game/start.txt", nullptr, nullptr, nullptr, u".old"), u"/data/game/start.old");
    EXPECT_EQ(RebuildPath(u"/data/game/start.txt", nullptr, nullptr, u"", u""), u"/data/game/");
    EXPECT_EQ(RebuildPath(u"/data/game/start.txt", nullptr, u"/tmp", nullptr, nullptr), u"/tmp/start.txt");
    EXPECT_EQ(RebuildPath(u"a.b/name", nullptr, nullptr, nullptr, u"x"), u"a.b/name.x");
    EXPECT_EQ(RebuildPath(u"plain", nullptr, nullptr, u"other", nullptr), u"other");
    EXPECT_EQ(RebuildPath(u"x/y.z", u"D:", nullptr, nullptr, nullptr), u"D:x/y.z");
}

}  // namespace
