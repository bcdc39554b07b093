#pragma once
#include "platform/ErrorSink.h"

namespace ostrell::platform {

// The built-in sink: one line per report to the system log (so the journal keeps it) and to stderr.
// It always answers 0, so the program carries on.
class SyslogErrorSink : public ErrorSink {
public:
    int32_t handle(const ErrorSinkInputs& in) override;
};

// The one line the built-in sink writes for a report.
std::string formatReportLine(const ErrorSinkInputs& in);

}  // namespace ostrell::platform
