// The project's programs on their command lines: `--help` gives the usage on stdout and exit 0;
// an option the program does not know is named on stderr with the usage after it, exit 2.
#include <gtest/gtest.h>

#include <string>

#include "support/run_tool.h"

namespace {

TEST(ToolUsage, HelpGoesToStdoutAndAnUnknownOptionIsNamedWithTheUsageOnStderr) {
    const struct {
        const char* program;
        std::string arguments;
        const char* unknown;  // the option named on stderr; null for the help
    } cases[] = {
        {SAFTOOL, "--help", nullptr},
        {SAFTOOL, "cat x.saf --help", nullptr},
        {SAFTOOL, "--verbose", "--verbose"},
        {SAFTOOL, "list x.saf -q", "-q"},
        {SAFTOOL, "pack --level 9 a b", "--level"},
        {SCRIPTC, "--help", nullptr},
        {SCRIPTC, "--check x.txt", "--check"},
        {SCRIPTC, "--dump -x", "-x"},
        {PLAYTEST, "--help", nullptr},
        {PLAYTEST, "data script.txt --speed 2", "--speed"},
        {PLAYTEST, "-v data script.txt", "-v"},
        {MKDEMO, "--help", nullptr},
        {MKDEMO, "--jobs 4", "--jobs"},
        {QUIBEL, "-W --help", nullptr},
        {QUIBEL, "-W --window", "--window"},
        {SAVETOOL, "--help", nullptr},
        {SAVETOOL, "show save.dat 3 --help", nullptr},
        {SAVETOOL, "--list", "--list"},
        {SAVETOOL, "globals save.dat -v", "-v"},
    };
    for (const auto& c : cases) {
        const std::string program = std::string(c.program).substr(std::string(c.program).rfind('/') + 1);
        SCOPED_TRACE(program + " " + c.arguments);
        const testsupport::ToolRun run = testsupport::RunTool(c.program, c.arguments);
        if (!c.unknown) {
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(run.output.rfind("usage: " + program, 0), 0u) << run.output;
            EXPECT_EQ(run.errors, "");
        } else {
            EXPECT_EQ(run.status, 2);
            EXPECT_NE(run.errors.find(program + ": unknown option " + c.unknown + "\n"), std::string::npos)
                << run.errors;
            EXPECT_NE(run.errors.find("usage: " + program), std::string::npos) << run.errors;
            EXPECT_EQ(run.output.find("usage:"), std::string::npos) << run.output;
        }
    }
}

}  // namespace
