// Library messages would otherwise print for every damaged input.
#pragma once

#include "host/report.h"

class QuietReports : public host::ReportSink {
public:
    int MessageBox(std::u16string_view, std::u16string_view, unsigned) override { return host::kIdOk; }
    void DebugOutput(std::u16string_view) override {}
};

inline void SilenceReports() {
    static QuietReports quiet;
    host::SetReportSink(&quiet);
}
