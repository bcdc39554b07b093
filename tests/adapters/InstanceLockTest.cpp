#include <gtest/gtest.h>

#include <memory>

#include "AdapterTestSupport.h"
#include "platform/posix/InstanceLock.h"

using namespace ostrell::adaptertest;
using ostrell::platform::InstanceLock;
using State = ostrell::platform::LockOutcome::State;

// flock conflicts between two opens even in one process, so two InstanceLocks here are two agents. A lock
// that cannot be taken (read-only directory) is reported and the agent runs.
TEST(InstanceLock, ASecondAgentIsToldWhoRunsAndAMovedAgentFreesItsDirectory) {
    OpenTempDir home;
    const std::string other = home.file("b"), data = home.file("data/"), readOnly = home.file("ro"),
                      running = "Ostrell is already running (pid " + std::to_string(::getpid()) + ")";
    ASSERT_EQ(::mkdir(other.c_str(), 0700) | ::mkdir(data.c_str(), 0700) | ::mkdir(readOnly.c_str(), 0555), 0);
    auto first = std::make_unique<InstanceLock>();
    InstanceLock sameUser, otherUser, unwritable;
    EXPECT_FALSE(first->acquire(home.path(), data).refusal);
    EXPECT_EQ(sameUser.acquire(home.path(), home.file("x/")).refusal, running);
    EXPECT_EQ(otherUser.acquire(other, data).refusal, running + " on the data directory " + data);
    EXPECT_EQ(modeOf(data + "Ostrell.lock") & 07, 0u) << "lock files are not for others";
    EXPECT_EQ(first->claimDirectory(home.file("")).state, State::Held);
    EXPECT_EQ(otherUser.claimDirectory(data).state, State::Held) << "the moved agent's directory is free";
    first.reset();
    EXPECT_FALSE(InstanceLock().acquire(home.path(), "").refusal) << "an agent's end frees its lock";
    UnprivilegedFiles nobody;
    if (!nobody.active()) GTEST_SKIP() << "permissions cannot be enforced for this user";
    const InstanceLock::Start start = unwritable.acquire(readOnly, "");
    EXPECT_TRUE(!start.refusal && start.warnings.find("cannot lock " + readOnly + "/ostrell.lock") != std::string::npos)
        << start.warnings;
    EXPECT_EQ(unwritable.claimDirectory(readOnly + "/").state, State::Unavailable);
}
