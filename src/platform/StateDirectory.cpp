#include "platform/StateDirectory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace ostrell::platform {

std::string stateDirectoryFor(const char* xdgStateHome, const std::string& home) {
    if (xdgStateHome && xdgStateHome[0] == '/') return std::string(xdgStateHome) + "/ostrell";
    return home + "/.local/state/ostrell";
}

std::string stateDirectory() {
    std::string home;
    if (const char* h = std::getenv("HOME"); h && h[0] == '/') {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return stateDirectoryFor(std::getenv("XDG_STATE_HOME"), home);
}

}  // namespace ostrell::platform
