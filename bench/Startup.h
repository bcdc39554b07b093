#pragma once
#include <string>
#include <vector>

#include "Programs.h"

namespace ostrell::bench {

// Seconds from spawning the program to its status file, which start-up writes as its last step (headless
// stdout holds cycle and outage lines only, none of them at start), once per run.
std::vector<double> measureStartup(const ProgramPaths& paths, const std::string& workDir, int runs);

}  // namespace ostrell::bench
