// The command-line tokenizer with '@' response files.
//
// Tokens are separated by blanks and tabs. A backslash before a double quote gives a double
// quote; any other backslash stands for itself. A double quote starts a run copied as it stands
// (blanks included) up to the next double quote or the end of the text. A token "@name" is not
// returned: the tokens of the file `name` take its place (read as UTF-8 text, where line feeds
// also separate tokens and end a quoted run). Only a regular file of at most
// kMaxResponseFileBytes is read. A response file that cannot be read is reported in a message
// box naming the argument and ends the process with exit code 1, unless the reader was given a
// place for the failure: then the reading ends there and the caller decides.
//
// Linux hands the program its arguments already split by the shell. JoinCommandLine quotes them
// back into one line that this reader splits into exactly the same arguments, so quoting and
// response files behave the same whether the text came from argv or from the settings file's
// extra options appended to it. The system's command line starts with the program's own name,
// so callers pass argv whole.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

// A response file that could not be read: its name (the token without its '@') and why, in the
// words of DescribeReadError.
struct ResponseFileFailure {
    std::u16string file;
    std::u16string reason;
};

class CommandLineReader {
public:
    static constexpr std::size_t kTokenUnits = 256;  // longer tokens are cut at 255 units
    // A command line's worth of options is a few hundred bytes; a device or a huge file named by
    // mistake must not be read without end.
    static constexpr std::size_t kMaxResponseFileBytes = 64 << 10;

    // With `failure`, a response file that cannot be read fills it in and ends the reading
    // (NextToken gives null from then on) instead of ending the process.
    explicit CommandLineReader(std::u16string_view command_line, ResponseFileFailure* failure = nullptr);

    // The next token (valid until the next call), or null when there are no more.
    const char16_t* NextToken();

private:
    enum class State { Finished, CommandLine, ResponseFile };

    // Reads one token from `text` at `cursor` into the token buffer; false when none is left.
    bool ReadToken(std::u16string_view text, std::size_t& cursor, bool in_file);
    bool OpenResponseFile(std::u16string_view name);

    std::u16string command_line_;
    ResponseFileFailure* failure_;
    std::size_t cursor_ = 0;
    State state_ = State::CommandLine;
    std::u16string file_text_;  // the open response file, read whole
    std::size_t file_cursor_ = 0;
    std::array<char16_t, kTokenUnits> token_{};
};

// Quotes each argument (UTF-8, as the shell gave it) so that CommandLineReader reads it back as
// one token with the same text, and joins them with blanks.
std::u16string JoinCommandLine(std::span<const char* const> arguments);
