#pragma once
#include "platform/ErrorSink.h"

namespace ostrell::platform {

// The built-in sink: one line per report to the system log (so the journal keeps it) and to stderr.
// It always answers 0, so the program carries on.
class SyslogErrorSink : public ErrorSink {
public:
    int32_t handle(const ErrorSinkInputs& in) override;
    void explain(const std::string& detail) override;
};

// The system log line after a report that knows what failed (also for the plug-in sink's reports).
void writeReportDetail(const std::string& detail);

// The one line the built-in sink writes for a report.
std::string formatReportLine(const ErrorSinkInputs& in);

}  // namespace ostrell::platform
