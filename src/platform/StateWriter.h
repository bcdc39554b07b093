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

// The agent's own state (status file, notes about files) lives here, never in the host's settings:
// $XDG_STATE_HOME/ostrell, or ~/.local/state/ostrell when that is unset, empty or not an absolute path.
// No slash at the end. Not created here: whoever writes into it makes it private first.
std::string stateDirectory();

// The status file the agent rewrites at the end of every cycle and `ostrell --status` reads.
inline constexpr const char* StatusFileName = "status";

}  // namespace ostrell::platform
