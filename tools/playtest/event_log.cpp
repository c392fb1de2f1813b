#include "tools/playtest/event_log.h"

#include "host/ui/dialog.h"
#include "lib/text.h"

namespace playtest {
namespace {

std::string Escaped(std::u16string_view text) {
    std::string out;
    for (char c : Utf16ToUtf8(text)) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            default: out += c;
        }
    }
    return out;
}

std::u16string_view AnswerName(int answer) {
    switch (answer) {
        case kIdOk: return u"ok";
        case kIdCancel: return u"cancel";
        case kIdAbort: return u"abort";
        case kIdRetry: return u"retry";
        case kIdIgnore: return u"ignore";
        case kIdYes: return u"yes";
        case kIdNo: return u"no";
        default: return u"?";
    }
}

}  // namespace

std::string FormatLogLine(int frame, std::string_view kind, std::initializer_list<std::u16string_view> fields) {
    std::string line = std::to_string(frame);
    line += '\t';
    line += kind;
    for (std::u16string_view field : fields) {
        line += '\t';
        line += Escaped(field);
    }
    return line;
}

std::string_view LogKind(std::string_view event_kind) { return event_kind == "ending" ? "end" : event_kind; }

EventLog::EventLog(std::FILE* out, std::function<int()> frame, host::ModalUi& modal)
    : out_(out), frame_(std::move(frame)), modal_(modal) {}

void EventLog::Write(std::string_view kind, std::initializer_list<std::u16string_view> fields) {
    const std::string line = FormatLogLine(frame_(), kind, fields) + "\n";
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);
    if (listener_) listener_(kind);
}

void EventLog::OnGameEvent(std::string_view kind, std::initializer_list<std::u16string_view> fields) {
    Write(LogKind(kind), fields);
}

int EventLog::MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) {
    const int answer = modal_.MessageBox(caption, text, style);
    Write("box", {caption, text, AnswerName(answer)});
    return answer;
}

void EventLog::DebugOutput(std::u16string_view text) {
    const std::string bytes = Utf16ToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
}

}  // namespace playtest
