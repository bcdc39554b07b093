#include "AdapterTestSupport.h"
#include "platform/posix/InstanceLock.h"

using namespace ostrell::adaptertest;
using State = ostrell::platform::LockOutcome::State;

// Two copies at once are the program's own test. A lock file is the group's whatever the umask (every
// account sharing the directory must open it), not the world's; one that cannot be taken (read-only
// directory) is reported.
TEST(InstanceLock, LockFilesAreTheGroupsAndAnUnwritableDirectoryIsReported) {
    OpenTempDir home;
    const std::string data = home.file("data/"), readOnly = home.file("ro");
    ASSERT_EQ(::mkdir(data.c_str(), 0700) | ::mkdir(readOnly.c_str(), 0555), 0);
    ostrell::platform::InstanceLock first, unwritable;
    const mode_t umaskBefore = ::umask(077);
    EXPECT_FALSE(first.acquire(home.path(), data).refusal);
    ::umask(umaskBefore);
    EXPECT_EQ(modeOf(data + "Ostrell.lock") & 0777, 0660u);
    const UnprivilegedFiles nobody(true);
    if (!nobody.active()) GTEST_SKIP() << "permissions cannot be enforced for this user";
    const auto start = unwritable.acquire(readOnly, "");
    EXPECT_TRUE(!start.refusal && start.warnings.find("cannot lock " + readOnly + "/ostrell.lock") != std::string::npos)
        << start.warnings;
    EXPECT_EQ(unwritable.claimDirectory(readOnly + "/").state, State::Unavailable);
}

// Something planted as Ostrell.lock is neither followed, truncated nor blocked on: the directory is not ours.
TEST(InstanceLock, APlantedLinkOrSpecialFileIsNoLock) {
    OpenTempDir home;
    const std::string victim = home.file("victim"), dir = home.file("d/"), lock = dir + "Ostrell.lock";
    writeFile(victim, "keep\n");
    const auto plant = std::to_array<std::pair<const char*, std::function<int()>>>({
        {"dangling link", [&] { return ::symlink(home.file("nothing").c_str(), lock.c_str()); }},
        {"link to a file", [&] { return ::symlink(victim.c_str(), lock.c_str()); }},
        {"hard link", [&] { return ::link(victim.c_str(), lock.c_str()); }},
        {"fifo", [&] { return ::mkfifo(lock.c_str(), 0660); }},
    });
    for (const auto& [what, make] : plant) {
        ASSERT_EQ(::mkdir(dir.c_str(), 0700) | make(), 0) << what;
        ostrell::platform::InstanceLock agent;
        const auto outcome = agent.claimDirectory(dir);
        EXPECT_EQ(outcome.state, State::Unavailable) << what;
        EXPECT_NE(outcome.detail.find(lock), std::string::npos) << what << ": " << outcome.detail;
        EXPECT_EQ(contentOf(victim), "keep\n") << what;
        EXPECT_EQ(::access(home.file("nothing").c_str(), F_OK), -1) << what;
        ASSERT_EQ(::unlink(lock.c_str()) | ::rmdir(dir.c_str()), 0);
    }
}
