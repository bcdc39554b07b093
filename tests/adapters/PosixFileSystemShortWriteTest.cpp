#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <string>

#include "AdapterTestSupport.h"
#include "platform/PlatformError.h"
#include "platform/posix/PosixFileSystem.h"

using ostrell::adaptertest::OpenTempDir;
using ostrell::platform::PlatformError;
using ostrell::platform::PosixFileSystem;

namespace {

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// A disk that takes only `room` more bytes in a file, the way a nearly full one does: the write that
// crosses the limit is cut short and the next one fails (the file size limit gives the same calls).
class NearlyFullDisk {
public:
    explicit NearlyFullDisk(rlim_t fileSizeLimit) {
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = fileSizeLimit;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~NearlyFullDisk() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

}  // namespace

// A line that does not fit must not leave its front in the file: the host's importer would read it as
// a record, and a later line would be glued to it.
TEST(PosixFileSystemShortWrite, ALineCutShortByAFullDiskIsTakenBackAndReported) {
    OpenTempDir dir;
    ASSERT_TRUE(dir.isValid());
    PosixFileSystem fs;
    const std::string path = dir.file("InBookings.csv");
    const std::string first = "\"G1\",\"2027-01-02\",\"1\"\r\n";
    fs.append(path, first, true);

    bool failed = false;
    {
        NearlyFullDisk disk(first.size() + 10);
        try {
            fs.append(path, "\"G2\",\"2027-01-03\",\"2\"\r\n", true);
        } catch (const PlatformError&) {
            failed = true;
        }
    }
    EXPECT_TRUE(failed) << "a short write is a failure";
    EXPECT_EQ(contentOf(path), first);

    // The same for a line rewritten whole into a new file: nothing of it stays.
    const std::string temp = dir.file("Prices.csv.ostrell-tmp");
    failed = false;
    {
        NearlyFullDisk disk(10);
        try {
            fs.writeDurable(temp, "PRC019,\"Room 3\",280,\r\n");
        } catch (const PlatformError&) {
            failed = true;
        }
    }
    EXPECT_TRUE(failed);
    EXPECT_EQ(contentOf(temp), "");
}
