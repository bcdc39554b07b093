
#include "AdapterTestSupport.h"
#include "platform/posix/InstanceLock.h"

using namespace ostrell::adaptertest;
using ostrell::platform::InstanceLock;
using State = ostrell::platform::LockOutcome::State;

// Two copies at once are the program's own test; here flock conflicts between two opens in one process, so
// two InstanceLocks are two agents. A lock that cannot be taken (read-only directory) is reported and the
// agent runs.
TEST(InstanceLock, AMovedAgentFreesItsDirectoryAndAnUnwritableOneIsReported) {
    OpenTempDir home;
    const std::string data = home.file("data/"), readOnly = home.file("ro");
    ASSERT_EQ(::mkdir(data.c_str(), 0700) | ::mkdir(readOnly.c_str(), 0555), 0);
    InstanceLock first, second, unwritable;
    EXPECT_FALSE(first.acquire(home.path(), data).refusal);
    EXPECT_EQ(modeOf(data + "Ostrell.lock") & 07, 0u) << "lock files are not for others";
    EXPECT_EQ(second.claimDirectory(data).state, State::Busy);
    EXPECT_EQ(first.claimDirectory(home.file("")).state, State::Held);
    EXPECT_EQ(second.claimDirectory(data).state, State::Held) << "the moved agent's directory is free";
    UnprivilegedFiles nobody;
    if (!nobody.active()) GTEST_SKIP() << "permissions cannot be enforced for this user";
    const InstanceLock::Start start = unwritable.acquire(readOnly, "");
    EXPECT_TRUE(!start.refusal && start.warnings.find("cannot lock " + readOnly + "/ostrell.lock") != std::string::npos)
        << start.warnings;
    EXPECT_EQ(unwritable.claimDirectory(readOnly + "/").state, State::Unavailable);
}
