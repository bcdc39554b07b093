#pragma once
#include <string>

namespace ostrell::platform {

// The agent's own state (status file, notes about files) lives here, never in the host's settings:
// $XDG_STATE_HOME/ostrell, or ~/.local/state/ostrell when that is unset, empty or not an absolute path.
// No slash at the end. Not created here: whoever writes into it makes it private first.
std::string stateDirectory();

// The status file the agent rewrites at the end of every cycle and `ostrell --status` reads.
inline constexpr const char* StatusFileName = "status";

}  // namespace ostrell::platform
