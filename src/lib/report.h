// Message boxes, debugger output and assertions, reported through the host's reporting hook
// (stderr when no sink is installed).
#pragma once

#include <cstdint>
#include <string_view>

#include "lib/report_hook.h"
#include "lib/text.h"

// Shows a message box through the hook (stderr and answer kIdOk without one).
int ShowMessage(std::u16string_view caption, std::u16string_view text, unsigned style);
// Writes one piece of debugger output through the hook (stderr without one).
void DebugOutput(std::u16string_view text);

// Formats into a 1,024-unit buffer and shows it with an OK button and no icon.
template <class... Args>
int MessageBoxPrintf(std::u16string_view caption, std::u16string_view format, const Args&... args) {
    char16_t buffer[1024];
    FormatW(buffer, format, args...);
    return ShowMessage(caption, buffer, kMbOk);
}

// Formats into a 128-unit buffer and writes it to the debugger output.
template <class... Args>
void DebugPrintf(std::u16string_view format, const Args&... args) {
    char16_t buffer[128];
    FormatW(buffer, format, args...);
    DebugOutput(buffer);
}

// The assertion dialog: "Assert(expr);\nFile file, line n." (with the message after two blanks
// when one is given) captioned "QUIBEL" with Abort, Retry and Ignore. Ignore returns 1; Retry
// writes a debugger trace (no debugger to break into) and returns 0; Abort throws the error
// exception with source "misc", type 0 and the same text.
int AssertFail(const char* expression, const char* file, int line, const char* message = nullptr);
