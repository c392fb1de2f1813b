// The script checker refuses what is not a script file at once and with a reason: pipes,
// devices, folders and files above the size limit; names are passed on as their bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/run_tool.h"

namespace fs = std::filesystem;

namespace {

TEST(ScriptcFiles, RefusesWhatIsNotAScriptWithAReason) {
    const fs::path dir = fs::temp_directory_path() / ("scriptc_files_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const fs::path big = dir / "big.txt";
    std::ofstream(big).close();
    fs::resize_file(big, (std::uintmax_t{64} << 20) + 1);       // sparse: costs no disk
    const std::string latin1 = (dir / "caf\xE9.txt").string();  // not valid UTF-8
    std::ofstream(latin1) << "\n";

    struct Case {
        std::string arguments;
        int status;
        const char* reason;
    };
    const Case cases[] = {
        {"--dump '" + (dir / "fifo").string() + "'", 1, "not a regular file"},
        {"--iv '" + (dir / "fifo").string() + "'", 1, "not a regular file"},
        {"'" + (dir / "fifo").string() + "'", 1, "not a regular file"},
        {"--dump /dev/zero", 1, "not a regular file"},
        {"--dump '" + dir.string() + "'", 1, "not a regular file"},
        {"--dump '" + big.string() + "'", 1, "larger than the limit"},
        {"--dump '" + (dir / "missing").string() + "'", 1, "No such file"},
        {"--dump '" + latin1 + "'", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const testsupport::ToolRun outcome = testsupport::RunTool(QB_SCRIPTC, c.arguments);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_NE(outcome.errors.find(c.reason), std::string::npos) << outcome.errors;
    }
    fs::remove_all(dir);
}

}  // namespace
