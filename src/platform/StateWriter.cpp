#include "platform/StateWriter.h"

#include <pwd.h>
#include <unistd.h>
#include <cstdlib>

namespace ostrell::platform {

std::string stateDirectory() {
    // A relative XDG path is invalid by the base-directory rules and is ignored.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/')
        return std::string(state) + "/ostrell";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && h[0] == '/') {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return home + "/.local/state/ostrell";
}

}  // namespace ostrell::platform
