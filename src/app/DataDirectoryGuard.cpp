#include "app/DataDirectoryGuard.h"

namespace ostrell::app {

namespace {

// What keeps the agent out, the same text for the same cause (a holder's pid may change between tries).
std::string causeOf(const platform::LockOutcome& outcome) {
    switch (outcome.state) {
        case platform::LockOutcome::State::Busy: return "used by another agent";
        case platform::LockOutcome::State::Unavailable: return "cannot be locked (" + outcome.detail + ")";
        case platform::LockOutcome::State::Held: break;
    }
    return {};
}

}  // namespace

DirectoryNotice DataDirectoryGuard::follow(platform::DirectoryLock& lock, const std::string& dir) {
    if (claimedOnce_ && dir == dir_ && !blocked_) return {};
    if (!claimedOnce_ || dir != dir_) reportedCause_.clear();
    claimedOnce_ = true;
    dir_ = dir;
    const platform::LockOutcome outcome = lock.claimDirectory(dir);
    blocked_ = outcome.state != platform::LockOutcome::State::Held;
    const std::string cause = causeOf(outcome);
    if (cause == reportedCause_) return {};
    const bool wasBlocked = !reportedCause_.empty();
    reportedCause_ = cause;
    if (!blocked_) {
        if (!wasBlocked) return {};
        return {DirectoryNotice::Kind::Resumed, "Data directory " + dir + " is locked by this agent now: work resumes"};
    }
    std::string text = "Data directory " + dir + " " + cause;
    if (outcome.state == platform::LockOutcome::State::Busy) text += " (pid " + std::to_string(outcome.holderPid) + ")";
    return {DirectoryNotice::Kind::Blocked,
            text + ": nothing is uploaded from it or downloaded into it until its lock is ours"};
}

}  // namespace ostrell::app
