#pragma once
#include <string>
#include <vector>

namespace ostrell::app {

// What decides between the window with its tray and the headless program.
struct DisplayEnvironment {
    std::string display;         // DISPLAY
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    std::string qpaPlatform;     // QT_QPA_PLATFORM
};

// The window and tray need a display: an X or Wayland display named in the environment, no Qt platform
// that draws nowhere ("offscreen", "minimal"), and no "--headless" among the arguments.
bool desktopWanted(const DisplayEnvironment& env, const std::vector<std::string>& args);

// The same, read from this process's environment.
bool desktopWanted(int argc, char** argv);

}  // namespace ostrell::app
