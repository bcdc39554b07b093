#pragma once
#include <map>
#include <string>

#include "platform/StateWriter.h"

namespace ostrell::fake {

// State files in memory.
class MemoryStateFiles : public platform::StateWriter {
public:
    void writeState(const std::string& name, const std::string& text) override { files[name] = text; }
    std::string readState(const std::string& name) override { return files.count(name) ? files[name] : ""; }
    std::map<std::string, std::string> files;
};

}  // namespace ostrell::fake
