#pragma once
#include <string>

namespace ostrell::platform {

// Writes the agent's state files (the status file) whole: a reader never sees half of one.
class StateWriter {
public:
    virtual ~StateWriter() = default;
    // Throws PlatformError when the file cannot be written.
    virtual void writeState(const std::string& name, const std::string& text) = 0;
    // The file's text; empty when there is none.
    virtual std::string readState(const std::string& name) = 0;
};

}  // namespace ostrell::platform
