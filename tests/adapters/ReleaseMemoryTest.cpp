#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/ReleaseMemory.h"

namespace {

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

}  // namespace

TEST(ReleaseFreeMemory, GivesBackWhatABigTransferFreedEvenBelowALaterAllocation) {
    // A cycle's records: many small strings, then one small allocation that outlives them (it pins the
    // top of the heap, so free() alone gives nothing back).
    constexpr size_t kRecords = 200000;
    auto records = std::make_unique<std::vector<std::string>>();
    records->reserve(kRecords);
    for (size_t i = 0; i < kRecords; ++i) records->emplace_back(200, static_cast<char>('a' + i % 26));
    auto survivor = std::make_unique<std::string>(64, 's');
    const long full = residentKiB();
    records.reset();
    const long freed = residentKiB();
    ostrell::platform::releaseFreeMemory();
    const long released = residentKiB();
    ASSERT_GT(full, 0);
    EXPECT_GT(freed - released, 20 * 1024) << "full " << full << " KiB, after free " << freed
                                           << " KiB, after release " << released << " KiB";
    EXPECT_EQ(*survivor, std::string(64, 's'));
}
