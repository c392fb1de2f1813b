#include "host/report.h"

#include <atomic>

namespace host {
namespace {
std::atomic<ReportSink*> g_sink{nullptr};
}

ReportSink* SetReportSink(ReportSink* sink) { return g_sink.exchange(sink); }
ReportSink* CurrentReportSink() { return g_sink.load(); }

}  // namespace host
