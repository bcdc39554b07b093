#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/DirectoryLock.h"

namespace ostrell::fake {

// Directory locks as a table: a directory listed in heldBy belongs to that pid; one listed in
// unlockable cannot be locked at all. Every claim is recorded.
class FakeDirectoryLock : public platform::DirectoryLock {
public:
    platform::LockOutcome claimDirectory(const std::string& dir) override {
        claims.push_back(dir);
        if (auto it = heldBy.find(dir); it != heldBy.end()) return {platform::LockOutcome::State::Busy, it->second, {}};
        if (unlockable.count(dir)) return {platform::LockOutcome::State::Unavailable, 0, "read-only file system"};
        return {};
    }

    std::map<std::string, long> heldBy;
    std::map<std::string, bool> unlockable;
    std::vector<std::string> claims;
};

}  // namespace ostrell::fake
