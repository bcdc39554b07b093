#pragma once
#include <cstdint>
#include <string>

#include "Programs.h"

namespace ostrell::bench {

struct IdleAndMemory {
    double windowSeconds = 0;
    double cpuPercent = 0;        // of one core, utime + stime
    double runPercent = 0;        // of one core, from the schedulers' nanosecond counters
    double wakeupsPerSecond = 0;  // context switches, all threads
    int64_t cycles = 0;           // connections the server saw in the window
    int64_t rssIdleKiB = 0;
    int64_t rssAfterDownloadKiB = 0;
    int64_t rssAfterUploadKiB = 0;
    int64_t rssSettledKiB = 0;  // one idle cycle later
    int64_t loadRecords = 0;
};

// One agent with the default cycle length and nothing to do (the server answers "NONE"): its cost over
// the window, then its resident size idle, after downloading and after uploading loadRecords each.
IdleAndMemory measureIdleAndMemory(const ProgramPaths& paths, const std::string& workDir, double windowSeconds,
                                   int64_t loadRecords);

}  // namespace ostrell::bench
