// Runs one of the project's command-line tools for a test, under a deadline, so that a tool that
// blocks fails the test instead of hanging the run.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace testsupport {

struct ToolRun {
    int status;          // the exit code; -1 when the tool did not exit normally
    std::string errors;  // what it wrote to stderr (stdout is dropped)
};

inline ToolRun RunTool(const std::string& tool, const std::string& arguments) {
    const std::string command = "timeout 20 '" + tool + "' " + arguments + " 2>&1 >/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    ToolRun run{-1, {}};
    if (!pipe) return run;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) run.errors += buffer;
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace testsupport
