// Library messages would otherwise print for every damaged input.
#pragma once

#include "lib/report_hook.h"

class QuietReports : public ReportSink {
public:
    int MessageBox(std::u16string_view, std::u16string_view, unsigned) override { return kIdOk; }
    void DebugOutput(std::u16string_view) override {}
};

inline void SilenceReports() {
    static QuietReports quiet;
    SetReportSink(&quiet);
}
