#pragma once
#include <string>

namespace ostrell::platform {

// The agent's own state directory, $XDG_STATE_HOME/ostrell (an XDG_STATE_HOME that is unset, empty or
// relative counts as ~/.local/state). No slash at the end. Not created here: whoever writes into it
// makes it private first (FileSystem::makePrivateDirectory).
std::string stateDirectory();

// The rule itself, on given values; home is used only when xdgStateHome does not apply.
std::string stateDirectoryFor(const char* xdgStateHome, const std::string& home);

}  // namespace ostrell::platform
