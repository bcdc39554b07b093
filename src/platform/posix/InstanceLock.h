#pragma once
#include <optional>
#include <string>

#include "platform/DirectoryLock.h"

namespace ostrell::platform {

// One agent per user and per data directory: an flock held for the whole run on "ostrell.lock" in the
// user's runtime directory and on "Ostrell.lock" in the data directory. The lock files hold the pid of
// their holder and are made with mode 0660. Their descriptors are not inherited by the programs the
// agent starts, so a lock ends with the agent.
class InstanceLock : public DirectoryLock {
public:
    InstanceLock() = default;
    ~InstanceLock() override;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    struct Start {
        // "already running (pid N)" when another agent holds either lock: the caller ends with status 1.
        std::optional<std::string> refusal;
        long holderPid = 0;         // of that agent
        std::string heldDirectory;  // the data directory it holds; empty when it holds the user's lock
        // The user's lock could not be taken (read-only directory): to be reported; the agent runs.
        std::string warnings;
    };
    // Takes the user's lock in userDir and the lock of dataDir (none when empty).
    Start acquire(const std::string& userDir, const std::string& dataDir);

    LockOutcome claimDirectory(const std::string& dir) override;

    // $XDG_RUNTIME_DIR, else the config directory.
    static std::string userLockDirectory();
    // The pid of the agent that holds the user's lock in userDir now; nothing when none does. Only looks:
    // creates no file and takes no lock.
    static std::optional<long> userLockHolder(const std::string& userDir);

private:
    int userFd_ = -1;
    int dirFd_ = -1;
    std::string dir_;
};

}  // namespace ostrell::platform
