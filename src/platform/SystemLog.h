#pragma once
#include <string>

namespace ostrell::platform {

enum class LogLevel { Info, Warning, Error };

// The system log a technician follows (`journalctl -t ostrell`).
class SystemLog {
public:
    virtual ~SystemLog() = default;
    virtual void write(LogLevel level, const std::string& text) = 0;
    // The link is back: what comes from now on belongs to a new outage and is written again, not counted.
    virtual void forgetRepeats() {}
};

}  // namespace ostrell::platform
