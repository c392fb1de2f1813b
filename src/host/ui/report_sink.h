// The reporting hook once the window exists: message boxes run in the window's modal layer,
// debugger output goes to stderr.
#pragma once

#include "host/ui/dialog.h"
#include "lib/report_hook.h"

namespace host {

// What every sink of the program writes to stderr: a box's caption and text (which must stay
// readable where no window shows it), and the debugger output.
void CopyBoxToStderr(std::u16string_view caption, std::u16string_view text);
void WriteTraceToStderr(std::u16string_view text);

class ModalReportSink final : public ReportSink {
public:
    explicit ModalReportSink(ModalUi& modal) : modal_(modal) {}
    int MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) override;
    void DebugOutput(std::u16string_view text) override;

private:
    ModalUi& modal_;
};

}  // namespace host
