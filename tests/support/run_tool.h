// Runs one of the project's command-line tools for a test, under a deadline, so that a tool that
// blocks fails the test instead of hanging the run.
#pragma once

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testsupport {

struct ToolRun {
    int status;          // the exit code; -1 when the tool did not exit normally
    std::string errors;  // what it wrote to stderr
    std::string output;  // what it wrote to stdout
};

inline ToolRun RunTool(const std::string& tool, const std::string& arguments) {
    ToolRun run{-1, {}, {}};
    std::string output_file = (std::filesystem::temp_directory_path() / "qb_tool_output_XXXXXX").string();
    const int descriptor = ::mkstemp(output_file.data());
    if (descriptor < 0) return run;
    ::close(descriptor);
    const std::string command = "timeout 20 '" + tool + "' " + arguments + " 2>&1 >'" + output_file + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) run.errors += buffer;
        const int status = ::pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::ifstream in(output_file, std::ios::binary);
    run.output.assign(std::istreambuf_iterator<char>(in), {});
    std::error_code error;
    std::filesystem::remove(output_file, error);
    return run;
}

}  // namespace testsupport
