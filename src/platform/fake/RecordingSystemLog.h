#pragma once
#include <map>
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

// State files in memory.
class MemoryStateFiles : public platform::StateWriter {
public:
    void writeState(const std::string& name, const std::string& text) override { files[name] = text; }
    std::string readState(const std::string& name) override { return files.count(name) ? files[name] : ""; }
    std::map<std::string, std::string> files;
};

}  // namespace ostrell::fake
