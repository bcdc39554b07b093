#include "AdapterTestSupport.h"
#include "platform/posix/InstanceLock.h"

using namespace ostrell::adaptertest;

// Two copies at once are the program's own test. A lock file is not for others; a lock that cannot be
// taken (read-only directory) is reported and the agent runs without the guard.
TEST(InstanceLock, LockFilesArePrivateAndAnUnwritableDirectoryIsReported) {
    OpenTempDir home;
    const std::string data = home.file("data/"), readOnly = home.file("ro");
    ASSERT_EQ(::mkdir(data.c_str(), 0700) | ::mkdir(readOnly.c_str(), 0555), 0);
    ostrell::platform::InstanceLock first, unwritable;
    EXPECT_FALSE(first.acquire(home.path(), data).refusal);
    EXPECT_EQ(modeOf(data + "Ostrell.lock") & 07, 0u);
    const UnprivilegedFiles nobody(true);
    if (!nobody.active()) GTEST_SKIP() << "permissions cannot be enforced for this user";
    const auto start = unwritable.acquire(readOnly, "");
    EXPECT_TRUE(!start.refusal && start.warnings.find("cannot lock " + readOnly + "/ostrell.lock") != std::string::npos)
        << start.warnings;
    EXPECT_EQ(unwritable.claimDirectory(readOnly + "/").state, ostrell::platform::LockOutcome::State::Unavailable);
}
