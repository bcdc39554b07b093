#pragma once
#include <string>
#include <vector>

#include "platform/SystemLog.h"

namespace ostrell::fake {

// The system log as a list of "info: ...", "warning: ...", "error: ..." lines.
class RecordingSystemLog : public platform::SystemLog {
public:
    void write(platform::LogLevel level, const std::string& text) override {
        static const char* const names[] = {"info: ", "warning: ", "error: "};
        lines.push_back(names[static_cast<int>(level)] + text);
    }
    std::vector<std::string> lines;
};

}  // namespace ostrell::fake
