#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "AdapterTestSupport.h"
#include "platform/posix/InstanceLock.h"

using ostrell::adaptertest::OpenTempDir;
using ostrell::adaptertest::UnprivilegedFiles;
using ostrell::platform::InstanceLock;
using ostrell::platform::LockOutcome;

// flock conflicts between two opens even in one process, so two InstanceLocks here are two agents.
TEST(InstanceLock, ASecondAgentOfTheUserOrOfTheDataDirectoryIsToldWhoRuns) {
    OpenTempDir home;
    const std::string userA = home.path(), userB = home.file("b"), data = home.file("data") + "/";
    ASSERT_EQ(::mkdir(userB.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(data.c_str(), 0700), 0);
    const std::string pid = "(pid " + std::to_string(::getpid()) + ")";

    auto first = std::make_unique<InstanceLock>();
    EXPECT_FALSE(first->acquire(userA, data).refusal);
    InstanceLock sameUser, otherUser;
    EXPECT_EQ(sameUser.acquire(userA, home.file("elsewhere/")).refusal, "Ostrell is already running " + pid);
    EXPECT_EQ(otherUser.acquire(userB, data).refusal,
              "Ostrell is already running " + pid + " on the data directory " + data);
    struct stat info {};
    ASSERT_EQ(::stat((data + "Ostrell.lock").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0007, 0u) << "lock files are not for others";

    // Moving the first agent elsewhere frees its directory; the end of an agent frees both.
    EXPECT_EQ(first->claimDirectory(home.file("")).state, LockOutcome::State::Held);
    EXPECT_EQ(otherUser.claimDirectory(data).state, LockOutcome::State::Held);
    first.reset();
    EXPECT_FALSE(InstanceLock().acquire(userA, "").refusal);
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
    EXPECT_EQ(lock.claimDirectory(readOnly + "/").state, LockOutcome::State::Unavailable);
}
