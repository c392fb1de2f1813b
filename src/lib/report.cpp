#include "lib/report.h"

#include <cstdio>

#include "lib/error.h"

namespace {
void WriteStderr(std::u16string_view text) {
    std::string utf8 = Utf16ToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fflush(stderr);
}
}  // namespace

int ShowMessage(std::u16string_view caption, std::u16string_view text, unsigned style) {
    if (ReportSink* sink = CurrentReportSink()) return sink->MessageBox(caption, text, style);
    std::u16string line = u"[";
    line.append(caption).append(u"] ").append(text).append(u"\n");
    WriteStderr(line);
    // Without a person to answer, nothing is tried again.
    switch (style & kMbButtonMask) {
        case kMbAbortRetryIgnore: return kIdIgnore;
        case kMbYesNo: return kIdYes;
        case kMbRetryCancel: return kIdCancel;
        default: return kIdOk;
    }
}

void DebugOutput(std::u16string_view text) {
    if (ReportSink* sink = CurrentReportSink()) return sink->DebugOutput(text);
    WriteStderr(text);
}

int AssertFail(const char* expression, const char* file, int line, const char* message) {
    char16_t text[1024];
    if (message)
        FormatW(text, u"Assert(%hs);\nFile %hs, line %d.  %hs", expression, file, line, message);
    else
        FormatW(text, u"Assert(%hs);\nFile %hs, line %d.", expression, file, line);
    switch (ShowMessage(u"QUIBEL", text, kMbAbortRetryIgnore)) {
        case kIdAbort: ThrowError(u"misc", static_cast<std::uint32_t>(line), 0, 0, u"%s", text);
        case kIdRetry: DebugPrintf(u"Assert retry: %hs\n", expression); return 0;
        default: return 1;
    }
}
