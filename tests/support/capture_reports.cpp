#include "support/capture_reports.h"

namespace testsupport {

int CaptureReports::MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) {
    boxes.push_back({std::u16string(caption), std::u16string(text), style});
    if (answers_.empty()) return kIdOk;
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
}

void CaptureReports::DebugOutput(std::u16string_view text) { debug.append(text); }

}  // namespace testsupport
