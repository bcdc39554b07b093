#include <gtest/gtest.h>

#include <memory>

#include "AdapterTestSupport.h"
#include "platform/posix/InstanceLock.h"

using namespace ostrell::adaptertest;
using ostrell::platform::InstanceLock;
using State = ostrell::platform::LockOutcome::State;

// flock conflicts between two opens even in one process, so two InstanceLocks here are two agents.
TEST(InstanceLock, ASecondAgentIsToldWhoRunsAndAMovedAgentFreesItsDirectory) {
    OpenTempDir home;
    const std::string other = home.file("b"), data = home.file("data") + "/", pid = std::to_string(::getpid());
    ASSERT_EQ(::mkdir(other.c_str(), 0700) | ::mkdir(data.c_str(), 0700), 0);
    auto first = std::make_unique<InstanceLock>();
    EXPECT_FALSE(first->acquire(home.path(), data).refusal);
    InstanceLock sameUser, otherUser;
    EXPECT_EQ(sameUser.acquire(home.path(), home.file("x/")).refusal, "Ostrell is already running (pid " + pid + ")");
    EXPECT_EQ(otherUser.acquire(other, data).refusal,
              "Ostrell is already running (pid " + pid + ") on the data directory " + data);
    EXPECT_EQ(modeOf(data + "Ostrell.lock") & 07, 0u) << "lock files are not for others";
    EXPECT_EQ(first->claimDirectory(home.file("")).state, State::Held);
    EXPECT_EQ(otherUser.claimDirectory(data).state, State::Held);
    first.reset();
    EXPECT_FALSE(InstanceLock().acquire(home.path(), "").refusal) << "an agent's end frees its lock";
}

TEST(InstanceLock, ALockInAReadOnlyDirectoryIsReportedAndTheAgentRuns) {
    OpenTempDir home;
    const std::string readOnly = home.file("ro");
    ASSERT_EQ(::mkdir(readOnly.c_str(), 0555), 0);
    UnprivilegedFiles unprivileged;
    if (!unprivileged.active()) GTEST_SKIP() << "permissions cannot be enforced for this user";
    InstanceLock lock;
    const InstanceLock::Start start = lock.acquire(readOnly, "");
    EXPECT_FALSE(start.refusal);
    EXPECT_NE(start.warnings.find("cannot lock " + readOnly + "/ostrell.lock"), std::string::npos) << start.warnings;
    EXPECT_EQ(lock.claimDirectory(readOnly + "/").state, State::Unavailable);
}
