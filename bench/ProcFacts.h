#pragma once
#include <sys/types.h>

#include <cstdint>

namespace ostrell::bench {

// What the kernel says about a running process, summed over all its threads.
struct ProcFacts {
    double cpuSeconds = 0;        // utime + stime, from /proc/<pid>/stat
    double runSeconds = 0;        // time on a CPU, from the threads' schedstat (nanosecond counter)
    int64_t contextSwitches = 0;  // voluntary, from the threads' status
    int64_t rssKiB = 0;           // VmRSS
    int threads = 0;
};

// Throws std::runtime_error when the process is gone.
ProcFacts readProcFacts(pid_t pid);

}  // namespace ostrell::bench
