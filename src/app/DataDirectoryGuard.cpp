#include "app/DataDirectoryGuard.h"

namespace ostrell::app {

std::string DataDirectoryGuard::follow(platform::DirectoryLock& lock, const std::string& dir) {
    if (claimedOnce_ && dir == dir_ && !heldElsewhere_) return {};
    const bool changed = !claimedOnce_ || dir != dir_;
    claimedOnce_ = true;
    dir_ = dir;
    const platform::LockOutcome outcome = lock.claimDirectory(dir);
    heldElsewhere_ = outcome.state == platform::LockOutcome::State::Busy;
    // A directory held elsewhere is tried again at every refresh (that agent may end), reported once.
    if (!changed) return {};
    switch (outcome.state) {
        case platform::LockOutcome::State::Busy:
            return "Data directory " + dir + " is used by another agent (pid " + std::to_string(outcome.holderPid) +
                   "): nothing is uploaded from it or downloaded into it";
        case platform::LockOutcome::State::Unavailable:
            return "Data directory " + dir + " cannot be locked (" + outcome.detail +
                   "): a second agent there would not be noticed";
        case platform::LockOutcome::State::Held: break;
    }
    return {};
}

}  // namespace ostrell::app
