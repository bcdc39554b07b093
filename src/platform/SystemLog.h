#pragma once
#include <string>

namespace ostrell::platform {

enum class LogLevel { Info, Warning, Error };

// The system log a technician follows (`journalctl -t ostrell`).
class SystemLog {
public:
    virtual ~SystemLog() = default;
    virtual void write(LogLevel level, const std::string& text) = 0;
};

}  // namespace ostrell::platform
