#include "platform/posix/SyslogErrorSink.h"

#include <cstdio>

#include "platform/posix/SyslogSystemLog.h"

namespace ostrell::platform {

std::string formatReportLine(const ErrorSinkInputs& in) {
    return in.programName + " " + in.programVersion + ": error " + std::to_string(in.number) + " in " + in.moduleName +
           "." + in.procedureName + " at line " + std::to_string(in.line) + " (" + in.source + "): " + in.description;
}

int32_t SyslogErrorSink::handle(const ErrorSinkInputs& in) {
    const std::string line = formatReportLine(in);
    // A report that keeps coming is written once and then counted, on stderr as in the system log; when
    // stderr is the journal itself, the system log line is the only copy.
    if (processSystemLog().writeFiltered(LogLevel::Error, line) && !isJournalStream(2)) {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    }
    return 0;
}

void writeReportDetail(const std::string& detail) {
    const std::string line = "  detail: " + detail;
    if (processSystemLog().writeFiltered(LogLevel::Error, line) && !isJournalStream(2)) {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    }
}

void SyslogErrorSink::explain(const std::string& detail) { writeReportDetail(detail); }

}  // namespace ostrell::platform
