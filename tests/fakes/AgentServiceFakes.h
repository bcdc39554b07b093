#pragma once
#include <array>
#include <map>
#include <string>
#include <vector>

#include "platform/DirectoryLock.h"
#include "platform/StateWriter.h"
#include "platform/SystemLog.h"

// The agent's smaller services as tables: directory locks, state files, the system log.
namespace ostrell::fake {

// A directory listed in heldBy belongs to that pid; one listed in unlockable cannot be locked at all.
class FakeDirectoryLock : public platform::DirectoryLock {
public:
    platform::LockOutcome claimDirectory(const std::string& dir) override {
        if (auto it = heldBy.find(dir); it != heldBy.end()) return {platform::LockOutcome::State::Busy, it->second, {}};
        if (unlockable.count(dir)) return {platform::LockOutcome::State::Unavailable, 0, "read-only file system"};
        return {};
    }
    std::map<std::string, long> heldBy;
    std::map<std::string, bool> unlockable;
};

class MemoryStateFiles : public platform::StateWriter {
public:
    void writeState(const std::string& name, const std::string& text) override { files[name] = text; }
    std::string readState(const std::string& name) override { return files[name]; }
    std::map<std::string, std::string> files;
};

// The system log as a list of "info: ...", "warning: ...", "error: ..." lines.
class RecordingSystemLog : public platform::SystemLog {
public:
    void write(platform::LogLevel level, const std::string& text) override {
        static constexpr std::array<const char*, 3> LevelNames{"info: ", "warning: ", "error: "};
        lines.push_back(LevelNames.at(static_cast<size_t>(level)) + text);
    }
    void forgetRepeats() override { lines.emplace_back("(repeats forgotten)"); }
    std::vector<std::string> lines;
};

}  // namespace ostrell::fake
