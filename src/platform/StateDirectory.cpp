#include "platform/StateDirectory.h"

#include <cstdlib>

namespace ostrell::platform {

std::string stateDirectoryFor(const std::string& xdgStateHome, const std::string& home) {
    // A relative XDG path is invalid by the base-directory rules and is ignored.
    if (!xdgStateHome.empty() && xdgStateHome.front() == '/') return xdgStateHome + "/ostrell";
    return home + "/.local/state/ostrell";
}

std::string stateDirectory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    return stateDirectoryFor(state ? state : "", home ? home : "");
}

}  // namespace ostrell::platform
