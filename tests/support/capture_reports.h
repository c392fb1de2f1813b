// Captures message boxes and debugger output for the life of a test scope, answering message
// boxes from a scripted list (kIdOk once the list runs out).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "lib/report_hook.h"

namespace testsupport {

struct CapturedBox {
    std::u16string caption;
    std::u16string text;
    unsigned style;
};

class CaptureReports : public ReportSink {
public:
    CaptureReports() : scope_(this) {}

    int MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) override;
    void DebugOutput(std::u16string_view text) override;

    void AnswerNext(int button) { answers_.push_back(button); }

    std::vector<CapturedBox> boxes;
    std::u16string debug;  // every debugger output, concatenated

private:
    std::deque<int> answers_;
    ScopedReportSink scope_;
};

}  // namespace testsupport
