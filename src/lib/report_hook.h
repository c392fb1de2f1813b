// Reporting hook: where message boxes and debugger output go.
//
// Every layer reports through this hook so that tests can capture what would be shown, and so
// that the platform layer can install a real in-window message box once the window exists. With
// no sink installed the foundation writes to stderr.
#pragma once

#include <string_view>

#include "lib/scope_guard.h"

// Message box styles and answers, numbered as the system's callers expect them.
enum : unsigned {
    kMbOk = 0x0,
    kMbOkCancel = 0x1,
    kMbAbortRetryIgnore = 0x2,
    kMbYesNoCancel = 0x3,
    kMbYesNo = 0x4,
    kMbRetryCancel = 0x5,
    kMbButtonMask = 0xF,
    kMbIconStop = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconExclamation = 0x30,
    kMbIconInformation = 0x40,
    kMbIconMask = 0xF0,
    kMbDefaultButton2 = 0x100,  // Return answers with the second button
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdAbort = 3, kIdRetry = 4, kIdIgnore = 5, kIdYes = 6, kIdNo = 7 };

class ReportSink {
public:
    virtual ~ReportSink() = default;
    // Shows a modal message box and returns the button chosen.
    virtual int MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) = 0;
    // One piece of debugger output (already formatted, no line end added).
    virtual void DebugOutput(std::u16string_view text) = 0;
};

// Installs a sink (null restores the stderr default) and returns the previous one.
ReportSink* SetReportSink(ReportSink* sink);
ReportSink* CurrentReportSink();

// Installs a sink for the life of a scope.
using ScopedReportSink = ScopedInstall<ReportSink, SetReportSink>;
