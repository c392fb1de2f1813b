// The command-line conventions the project's tools share: `--help` anywhere prints the usage on
// stdout and ends the tool with 0; an option the tool does not know is named on stderr with the
// usage after it, and the tool ends with 2, as for any command line it cannot read.
#pragma once

#include <cstdio>
#include <string_view>

namespace tools {

inline constexpr int kUsageExit = 2;

// "-x" and "--word"; a lone "-" is a plain argument.
inline bool IsOption(std::string_view arg) { return arg.size() > 1 && arg[0] == '-'; }

// True (with the usage printed) when `--help` is among the arguments.
inline bool AnswerHelp(int argc, char** argv, const char* usage) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "--help") {
            std::fputs(usage, stdout);
            return true;
        }
    return false;
}

// Names the option and gives the usage, both on stderr; returns the exit code.
inline int RefuseOption(const char* tool, std::string_view option, const char* usage) {
    std::fprintf(stderr, "%s: unknown option %.*s\n", tool, static_cast<int>(option.size()), option.data());
    std::fputs(usage, stderr);
    return kUsageExit;
}

}  // namespace tools
