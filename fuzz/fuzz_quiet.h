// Damaged input makes the libraries and decoders report on almost every run; the fuzzer's output
// is for what it finds. Traces are dropped, and a box is answered without stopping the run: an
// assertion's with Ignore, so the code goes on past it, any other with OK.
#pragma once

#include "lib/report_hook.h"

class QuietReports : public ReportSink {
public:
    int MessageBox(std::u16string_view, std::u16string_view, unsigned style) override {
        return (style & kMbButtonMask) == kMbAbortRetryIgnore ? kIdIgnore : kIdOk;
    }
    void DebugOutput(std::u16string_view) override {}
};

// For the whole run of a fuzz target (and of its corpus replay).
inline void SilenceReports() {
    static QuietReports quiet;
    SetReportSink(&quiet);
}
