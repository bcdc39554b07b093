#include "platform/posix/SyslogSystemLog.h"

#include <sys/stat.h>
#include <syslog.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace ostrell::platform {

bool isJournalStream(int fd) {
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat st {};
    if (!stream || fstat(fd, &st) != 0) return false;
    unsigned long long dev = 0, ino = 0;
    if (std::sscanf(stream, "%llu:%llu", &dev, &ino) != 2) return false;
    return static_cast<unsigned long long>(st.st_dev) == dev && static_cast<unsigned long long>(st.st_ino) == ino;
}

void SyslogSystemLog::write(LogLevel level, const std::string& text) { writeFiltered(level, text); }

bool SyslogSystemLog::writeFiltered(LogLevel level, const std::string& text) {
    std::optional<std::string> line = text;
    if (level != LogLevel::Info) {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        std::lock_guard lock(mutex_);
        line = repeats_.pass(text, std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    if (!line) return false;
    const int priority = level == LogLevel::Info ? LOG_INFO : level == LogLevel::Warning ? LOG_WARNING : LOG_ERR;
    openlog("ostrell", LOG_PID, LOG_USER);
    syslog(priority, "%s", line->c_str());
    closelog();
    return true;
}

void SyslogSystemLog::forgetRepeats() {
    std::vector<std::string> owed;
    {
        std::lock_guard lock(mutex_);
        owed = repeats_.forget();
    }
    openlog("ostrell", LOG_PID, LOG_USER);
    for (const std::string& line : owed) syslog(LOG_WARNING, "%s", line.c_str());
    closelog();
}

SyslogSystemLog& processSystemLog() {
    static SyslogSystemLog log;
    return log;
}

}  // namespace ostrell::platform
