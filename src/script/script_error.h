// Errors of the script compiler and interpreter, and the control-flow exception of the frame loop.
//
// ScriptError (a line and a code into ScriptErrorTable) and ScriptError2 (a line and a formatted
// message) never leave the script layer: Compile and Run catch them, write a trace and raise the
// program-wide error exception in their place. ScriptException unwinds waits when the player asks
// for the title, a load, a step back or a rebuild of the views; the frame step throws it and the
// run of a script group catches it.
#pragma once

#include <cstdint>
#include <string_view>

#include "lib/error.h"
#include "lib/text.h"

namespace TextScript {

// What both script errors carry: the script line they belong to. An error raised while a node
// executes takes that node's line (caught once, as this base).
struct ScriptErrorLine {
    std::uint32_t line = 0;
};

// An error with a code into ScriptErrorTable.
struct ScriptError : ScriptErrorLine {
    std::uint32_t code = 0;
};

// An error with its own message. Line 0 means the raiser does not know the line; the node that
// is executing puts its own line in.
struct ScriptError2 : ScriptErrorLine {
    static constexpr std::size_t kTextUnits = 1024;

    char16_t text[kTextUnits] = {};

    ScriptError2() = default;
    // Messages longer than 1023 units are cut.
    template <class... Args>
    ScriptError2(std::uint32_t error_line, std::u16string_view format, const Args&... args)
        : ScriptErrorLine{error_line} {
        FormatW(text, kTextUnits, format, args...);
    }
};

inline constexpr std::uint32_t kScriptErrorCount = 16;

// The message of a ScriptError code; a code outside the table gives a text that says so.
std::u16string_view ScriptErrorText(std::uint32_t code);

// Writes "NAME(LINE): Compile Error: TEXT" (or Runtime Error) to the debugger output and throws
// the error exception with the script's name as its source, the line, and the text.
[[noreturn]] void RaiseCompileReport(std::u16string_view file_name, std::uint32_t line, std::u16string_view text);
[[noreturn]] void RaiseRuntimeReport(std::u16string_view file_name, std::uint32_t line, std::u16string_view text);

}  // namespace TextScript

// Thrown by value by the frame step and the story commands; caught by the waits and by the run of
// a script group.
struct ScriptException {
    enum : std::int32_t {
        kBackToTitle = 0,   // back to the title screen
        kLoadSlot = 1,      // load the slot in RequestedLoadSlot
        kGoBack = 2,        // go back a little in the scenario
        kRebuildViews = 3,  // unwind so that the views are rebuilt
    };
    std::int32_t code = 0;
};
