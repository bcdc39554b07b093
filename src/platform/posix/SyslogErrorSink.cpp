#include "platform/posix/SyslogErrorSink.h"

#include <syslog.h>

#include <cstdio>

namespace ostrell::platform {

std::string formatReportLine(const ErrorSinkInputs& in) {
    return in.programName + " " + in.programVersion + ": error " + std::to_string(in.number) + " in " + in.moduleName +
           "." + in.procedureName + " at line " + std::to_string(in.line) + " (" + in.source + "): " + in.description;
}

int32_t SyslogErrorSink::HandleError(const ErrorSinkInputs& in) {
    const std::string line = formatReportLine(in);
    openlog("ostrell", LOG_PID, LOG_USER);
    syslog(LOG_ERR, "%s", line.c_str());
    closelog();
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    return 0;
}

}  // namespace ostrell::platform
