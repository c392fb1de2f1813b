// The script checker refuses what is not a script file at once and with a reason: pipes,
// devices, folders and files above the size limit; names are passed on as their bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "support/run_tool.h"
#include "support/temp_folder.h"

namespace {

TEST(ScriptcFiles, RefusesWhatIsNotAScriptWithAReason) {
    const testsupport::TempFolder folder("scriptc_files");
    const auto path = [&](const char* name) { return "'" + (folder.path() / name).string() + "'"; };
    ASSERT_EQ(::mkfifo((folder.path() / "fifo").c_str(), 0600), 0);
    std::ofstream(folder.path() / "big.txt").close();
    std::filesystem::resize_file(folder.path() / "big.txt", (std::uintmax_t{64} << 20) + 1);  // sparse
    std::ofstream(folder.path() / "caf\xE9.txt") << "\n";                                     // not valid UTF-8
    const std::tuple<std::string, int, const char*> cases[] = {
        {"--dump " + path("fifo"), 1, "not a regular file"}, {"--dump /dev/zero", 1, "not a regular file"},
        {"--dump " + path(""), 1, "not a regular file"},     {"--dump " + path("big.txt"), 1, "larger than the limit"},
        {"--dump " + path("missing"), 1, "No such file"},    {"--dump " + path("caf\xE9.txt"), 0, ""},
    };
    for (const auto& [arguments, status, reason] : cases) {
        const testsupport::ToolRun outcome = testsupport::RunTool(QB_SCRIPTC, arguments);
        EXPECT_EQ(outcome.status, status) << arguments;
        EXPECT_NE(outcome.errors.find(reason), std::string::npos) << arguments << outcome.errors;
    }
}

}  // namespace
