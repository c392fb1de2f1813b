#include "lib/cmdline.h"

#include <cerrno>
#include <cstdlib>

#include "lib/diskfile.h"
#include "lib/report.h"
#include "lib/text.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Reads a response file whole as UTF-8 text, with CR LF line ends read as LF; false (with errno
// saying why) when it is not a regular file of at most kMaxResponseFileBytes that reads whole.
bool ReadTextFile(const std::string& path, std::u16string& text) {
    const std::optional<std::string> bytes = LoadNativeText(path, CommandLineReader::kMaxResponseFileBytes);
    if (!bytes) return false;
    std::u16string decoded = Utf8ToUtf16(*bytes);
    text.clear();
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        if (decoded[i] == u'\r' && i + 1 < decoded.size() && decoded[i + 1] == u'\n') continue;
        text.push_back(decoded[i]);
    }
    return true;
}

}  // namespace

CommandLineReader::CommandLineReader(std::u16string_view command_line, ResponseFileFailure* failure)
    : command_line_(command_line), failure_(failure) {
    // The system's command line ends at its first zero unit.
    if (auto end = command_line_.find(u'\0'); end != std::u16string::npos) command_line_.resize(end);
}

const char16_t* CommandLineReader::NextToken() {
    for (;;) {
        switch (state_) {
            case State::Finished: return nullptr;
            case State::ResponseFile:
                if (ReadToken(file_text_, file_cursor_, true)) return token_.data();
                file_text_.clear();
                state_ = State::CommandLine;
                break;
            case State::CommandLine:
                if (!ReadToken(command_line_, cursor_, false)) {
                    state_ = State::Finished;
                    return nullptr;
                }
                if (token_[0] != u'@') return token_.data();
                if (!OpenResponseFile(token_.data() + 1)) {
                    const int error = errno;
                    const std::u16string_view file = token_.data() + 1;
                    if (failure_) {
                        *failure_ = {std::u16string(file), DescribeReadError(error, kMaxResponseFileBytes)};
                        state_ = State::Finished;
                        return nullptr;
                    }
                    // A missing file keeps the system's own words.
                    const std::u16string message =
                        error == ENOENT ? FormatString(u"File not found '%s'", file)
                                        : FormatString(u"Response file of the argument @%s: the file %s.", file,
                                                       DescribeReadError(error, kMaxResponseFileBytes));
                    ShowMessage(u"Error", message, kMbOk | kMbIconExclamation);
                    std::exit(1);
                }
                state_ = State::ResponseFile;
                break;
        }
    }
}

bool CommandLineReader::OpenResponseFile(std::u16string_view name) {
    file_cursor_ = 0;
    return ReadTextFile(Utf16ToUtf8(name), file_text_);
}

bool CommandLineReader::ReadToken(std::u16string_view text, std::size_t& cursor, bool in_file) {
    auto separates = [in_file](char16_t c) { return IsBlank(c) || (in_file && c == u'\n'); };
    while (cursor < text.size() && separates(text[cursor])) ++cursor;
    if (cursor >= text.size()) return false;

    std::size_t length = 0;
    auto put = [&](char16_t c) {
        if (length + 1 < token_.size()) token_[length++] = c;
    };
    while (cursor < text.size() && !separates(text[cursor])) {
        const char16_t c = text[cursor++];
        if (c == u'\\') {
            if (cursor < text.size() && text[cursor] == u'"') {
                put(u'"');
                ++cursor;
            } else {
                put(u'\\');
            }
        } else if (c == u'"') {
            while (cursor < text.size() && text[cursor] != u'"' && !(in_file && text[cursor] == u'\n'))
                put(text[cursor++]);
            if (cursor < text.size() && text[cursor] == u'"') ++cursor;
        } else {
            put(c);
        }
    }
    if (cursor < text.size()) ++cursor;  // the separator that ended the token
    token_[length] = 0;
    return true;
}

std::u16string JoinCommandLine(std::span<const char* const> arguments) {
    std::u16string line;
    for (const char* argument : arguments) {
        if (!line.empty()) line.push_back(u' ');
        const std::u16string text = Utf8ToUtf16(argument ? argument : "");
        if (text.empty()) line.append(u"\"\"");  // an empty quoted run keeps the empty token
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char16_t c = text[i];
            const bool blank_follows = i + 1 < text.size() && IsBlank(text[i + 1]);
            if (c == u'"') {
                line.append(u"\\\"");
            } else if (IsBlank(c)) {
                line.append(u"\"").append(1, c).append(u"\"");
            } else if (c == u'\\' && blank_follows) {
                line.append(u"\"\\\"");  // quoted, or the blank's opening quote would be escaped
            } else {
                line.push_back(c);
            }
        }
    }
    return line;
}
