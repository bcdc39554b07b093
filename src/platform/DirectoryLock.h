#pragma once
#include <string>

namespace ostrell::platform {

// What taking an agent's lock came to.
struct LockOutcome {
    enum class State {
        Held,         // ours now (or already)
        Busy,         // another agent holds it: holderPid, when it wrote one
        Unavailable,  // cannot be taken (not ours to open, a link or special file planted there, ...)
    };
    State state = State::Held;
    long holderPid = 0;
    std::string detail;  // why it is unavailable: the lock file's path and the reason
};

// The lock an agent holds on its data directory while it works there, so that a second agent (another
// user sharing the directory, or another copy) never uploads the same files or downloads into it. An
// agent that does not hold it does no work in that directory.
class DirectoryLock {
public:
    virtual ~DirectoryLock() = default;
    // Takes the lock of dir for this agent, giving up the one of the directory held before. Held again
    // for the directory already held.
    virtual LockOutcome claimDirectory(const std::string& dir) = 0;
};

}  // namespace ostrell::platform
