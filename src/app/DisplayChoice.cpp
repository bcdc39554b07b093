#include "app/DisplayChoice.h"

#include <algorithm>
#include <cstdlib>

namespace ostrell::app {

bool desktopWanted(const DisplayEnvironment& env, const std::vector<std::string>& args) {
    if (std::find(args.begin(), args.end(), "--headless") != args.end()) return false;
    const std::string& qpa = env.qpaPlatform;
    // "offscreen:fontengine=..." and the like carry options after a colon.
    const std::string platform = qpa.substr(0, qpa.find(':'));
    if (platform == "offscreen" || platform == "minimal" || platform == "vnc") return false;
    return !env.display.empty() || !env.waylandDisplay.empty() || platform == "eglfs" || platform == "linuxfb";
}

bool desktopWanted(int argc, char** argv) {
    auto var = [](const char* name) {
        const char* v = std::getenv(name);
        return std::string(v ? v : "");
    };
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return desktopWanted({var("DISPLAY"), var("WAYLAND_DISPLAY"), var("QT_QPA_PLATFORM")}, args);
}

}  // namespace ostrell::app
