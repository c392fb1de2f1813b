// Whole-file reads of what is not a regular file end at once with an error; names are the file
// system's bytes, UTF-8 or not.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <fstream>

#include "lib/diskfile.h"
#include "support/temp_folder.h"

namespace {

TEST(SpecialFiles, OnlyRegularFilesAreReadAndNothingWaits) {
    const testsupport::TempFolder folder("irregular_files_test");
    const auto path = [&](const char* name) { return (folder.path() / name).string(); };
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    std::ofstream(path("plain")) << "bytes";
    std::ofstream(path("caf\xE9.txt")) << "bytes";  // not valid UTF-8

    ::alarm(20);  // a read that blocks would hang the run: the alarm turns it into a failure
    const std::pair<std::string, int> cases[] = {// the path and its error, 0 when it is read
                                                 {path("fifo"), EINVAL},
                                                 {"/dev/null", EINVAL},
                                                 {path(""), EISDIR},
                                                 {path("missing"), ENOENT},
                                                 {path("plain"), 0}};
    for (const auto& [file, error] : cases) {
        SCOPED_TRACE(file);
        errno = 0;
        EXPECT_EQ(OpenRegularFile(file).valid(), error == 0);
        EXPECT_EQ(errno, error);
        EXPECT_EQ(LoadNativeFile(file).has_value(), error == 0);
        EXPECT_EQ(LoadDiskFile(Utf8ToUtf16(file)).has_value(), error == 0);
        std::uint8_t buffer[8];
        EXPECT_EQ(LoadDiskFile(Utf8ToUtf16(file), buffer), error ? std::nullopt : std::optional<std::size_t>(5));
    }
    ::alarm(0);
    EXPECT_EQ(LoadNativeText(path("caf\xE9.txt"), 5), "bytes");
    EXPECT_FALSE(LoadNativeText(path("caf\xE9.txt"), 4));
}

}  // namespace
