#pragma once
#include <set>
#include <string>
#include <vector>

#include "platform/PlatformError.h"
#include "platform/ProcessLauncher.h"

namespace ostrell::fake {

// Records what was started; programs "run" until finish(pid) is called.
class FakeProcessLauncher : public platform::ProcessLauncher {
public:
    std::vector<std::string> started;  // paths and command lines, in order
    std::set<std::string> missing;     // paths that do not exist: starting them fails
    bool failAll = false;
    std::string directory = "/opt/ostrell";
    std::string name = "ostrell";

    int64_t startProgram(const std::string& path) override { return start(path); }
    int64_t startCommandLine(const std::string& commandLine) override { return start(commandLine); }
    bool isRunning(int64_t pid) override { return running_.count(pid) != 0; }
    std::string programDirectory() const override { return directory; }
    std::string programName() const override { return name; }

    void finish(int64_t pid) { running_.erase(pid); }
    void finishAll() { running_.clear(); }

private:
    int64_t start(const std::string& what) {
        if (failAll || missing.count(what))
            throw platform::PlatformError(platform::err::FileNotFound, "File not found: " + what);
        started.push_back(what);
        running_.insert(nextPid_);
        return nextPid_++;
    }
    std::set<int64_t> running_;
    int64_t nextPid_ = 1000;
};

}  // namespace ostrell::fake
