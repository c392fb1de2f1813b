// The reporting hook once the window exists: message boxes run in the window's modal layer,
// debugger output goes to stderr.
#pragma once

#include "host/ui/dialog.h"
#include "lib/report_hook.h"

namespace host {

class ModalReportSink final : public ReportSink {
public:
    explicit ModalReportSink(ModalUi& modal) : modal_(modal) {}
    int MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) override;
    void DebugOutput(std::u16string_view text) override;

private:
    ModalUi& modal_;
};

}  // namespace host
