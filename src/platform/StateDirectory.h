#pragma once
#include <string>

namespace ostrell::platform {

// The agent's own state (status file, notes about files) lives here, never in the host's settings:
// $XDG_STATE_HOME/ostrell, or ~/.local/state/ostrell when that is unset or not an absolute path.
std::string stateDirectoryFor(const std::string& xdgStateHome, const std::string& home);

// The same for this process's environment.
std::string stateDirectory();

// The status file the agent rewrites at the end of every cycle and `ostrell --status` reads.
inline constexpr const char* StatusFileName = "status";

}  // namespace ostrell::platform
