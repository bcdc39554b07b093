#pragma once
#include <mutex>

#include "platform/RepeatFilter.h"
#include "platform/SystemLog.h"

namespace ostrell::platform {

// True when the descriptor is the journal's own stream (systemd names it in JOURNAL_STREAM): what goes
// to the system log must then not be written there a second time.
bool isJournalStream(int fd);

// The system log under the name "ostrell". Warnings and errors pass through a RepeatFilter; info lines
// (one per cycle) are written as they come.
class SyslogSystemLog : public SystemLog {
public:
    void write(LogLevel level, const std::string& text) override;
    // As write, and tells whether the line went out (false for a counted repeat), so that a caller
    // that also prints it can stay silent too.
    bool writeFiltered(LogLevel level, const std::string& text);
    void forgetRepeats() override;

private:
    std::mutex mutex_;
    RepeatFilter repeats_;
};

// The one system log of the process, shared by the agent and the built-in error sink.
SyslogSystemLog& processSystemLog();

}  // namespace ostrell::platform
