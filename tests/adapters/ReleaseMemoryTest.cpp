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
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's allocator keeps freed memory in quarantine; malloc_trim has no say";
#endif
    ostrell::platform::releaseFreeMemory();
    const long before = residentKiB();
    // A cycle's records: many small strings, and among them a few small allocations that outlive them
    // (a line of the monitor, a refreshed setting): they pin the heap, so that free() alone gives back
    // next to nothing.
    constexpr size_t kRecords = 200000;
    auto records = std::make_unique<std::vector<std::string>>();
    std::vector<std::unique_ptr<std::string>> survivors;
    records->reserve(kRecords);
    for (size_t i = 0; i < kRecords; ++i) {
        records->emplace_back(200, static_cast<char>('a' + i % 26));
        if (i % 1000 == 999) survivors.push_back(std::make_unique<std::string>(64, 's'));
    }
    const long full = residentKiB();
    records.reset();
    ostrell::platform::releaseFreeMemory();
    const long after = residentKiB();
    ASSERT_GT(before, 0);
    ASSERT_GT(full - before, 30 * 1024) << "the records did not take the memory this test is about";
    EXPECT_LT(after - before, 8 * 1024) << "before " << before << " KiB, full " << full << " KiB, after release "
                                        << after << " KiB";
    for (const auto& s : survivors) EXPECT_EQ(*s, std::string(64, 's'));
}
