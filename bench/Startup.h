#pragma once
#include <string>
#include <vector>

#include "Programs.h"

namespace ostrell::bench {

// The text the headless program prints when start-up has finished: the tray icon is added after the
// cycle timer is armed, as the last step of start-up.
inline constexpr const char* ReadyText = "[tray] icon added";

// Seconds from spawning the program to its ready line, once per run.
std::vector<double> measureStartup(const ProgramPaths& paths, const std::string& workDir, int runs);

}  // namespace ostrell::bench
