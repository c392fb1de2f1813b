#include "lib/report_hook.h"

#include <atomic>

namespace {
// The one process-wide sink; the host swaps it while its window lives.
std::atomic<ReportSink*> g_sink{nullptr};
}  // namespace

ReportSink* SetReportSink(ReportSink* sink) { return g_sink.exchange(sink); }
ReportSink* CurrentReportSink() { return g_sink.load(); }
