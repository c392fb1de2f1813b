// Whole-file reads of what is not a regular file end at once with an error; names are the file
// system's bytes, UTF-8 or not.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "lib/diskfile.h"
#include "lib/text.h"

namespace {

namespace fs = std::filesystem;

// A read that blocks would hang the test run: the alarm turns it into a failure.
class Deadline {
public:
    Deadline() { ::alarm(20); }
    ~Deadline() { ::alarm(0); }
};

class SpecialFiles : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("special_files_test_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
        socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, Path("socket").c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        std::ofstream(Path("plain")) << "abc";
    }
    void TearDown() override {
        ::close(socket_);
        fs::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
    int socket_ = -1;
};

TEST_F(SpecialFiles, OnlyRegularFilesAreReadAndNothingWaits) {
    const Deadline deadline;
    struct Case {
        std::string path;
        int error;  // 0: read
    };
    const Case cases[] = {{Path("fifo"), EINVAL},  {Path("socket"), ENXIO},   {"/dev/null", EINVAL},
                          {dir_.string(), EISDIR}, {Path("missing"), ENOENT}, {Path("plain"), 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        errno = 0;
        const FileHandle file = OpenRegularFile(c.path);
        EXPECT_EQ(file.valid(), c.error == 0);
        if (c.error) {
            EXPECT_EQ(errno, c.error);
        }
        EXPECT_EQ(LoadNativeFile(c.path).has_value(), c.error == 0);
        EXPECT_EQ(LoadNativeText(c.path).has_value(), c.error == 0);
        EXPECT_EQ(LoadDiskFile(Utf8ToUtf16(c.path)).has_value(), c.error == 0);
        std::uint8_t buffer[8];
        EXPECT_EQ(LoadDiskFile(Utf8ToUtf16(c.path), buffer).has_value(), c.error == 0);
    }
}

TEST_F(SpecialFiles, SizeLimitAndNamesThatAreNotUtf8) {
    const std::string latin1 = Path("caf\xE9.txt");  // not valid UTF-8
    std::ofstream(latin1) << "bytes";
    EXPECT_EQ(LoadNativeText(latin1), "bytes");
    EXPECT_EQ(LoadNativeText(latin1, 5), "bytes");
    EXPECT_FALSE(LoadNativeText(latin1, 4));
    EXPECT_FALSE(LoadNativeFile(latin1, 4));
}

}  // namespace
