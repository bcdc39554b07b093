#pragma once
#include <string>

namespace ostrell::bench {

// Seconds per line of the product's own units on the real POSIX file system.
struct Scaling {
    int64_t smallLines = 0, largeLines = 0;
    double cutDownSmall = 0, cutDownLarge = 0;  // SendFiles: half accepted, the rest cut down
    int64_t logSmallLines = 0, logLargeLines = 0;
    double logSmall = 0, logLarge = 0;  // LogRec into a fresh log / through a 5 MiB rotation
};

Scaling measureScaling(const std::string& workDir, int64_t smallLines, int64_t largeLines);

}  // namespace ostrell::bench
