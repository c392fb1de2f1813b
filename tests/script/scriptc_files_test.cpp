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

// The compiler's own trace of an error is not printed beside the checker's line: each error
// shows once, on stdout, and nothing goes to stderr.
TEST(ScriptcFiles, PrintsEachErrorOnceOnStdout) {
    const testsupport::TempFolder folder("scriptc_once");
    const std::pair<const char*, std::string> cases[] = {
        {".JMP\n", "bad.txt(2): Compile Error: syntax error\n"},
        {"\n.XYZ 1\n", "bad.txt(2): Compile Error: コマンド名が違います。\n"},
    };
    for (const auto& [source, output] : cases) {
        std::ofstream(folder.path() / "bad.txt", std::ios::binary) << source;
        for (const char* option : {"", "--dump "}) {
            const testsupport::ToolRun outcome =
                testsupport::RunTool(QB_SCRIPTC, option + ("'" + (folder.path() / "bad.txt").string() + "'"));
            EXPECT_EQ(outcome.status, 1) << source;
            EXPECT_EQ(outcome.output, output) << option << source;
            EXPECT_EQ(outcome.errors, "") << option << source;
        }
    }
}

}  // namespace
