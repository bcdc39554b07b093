#pragma once
#include <set>
#include <string>
#include <vector>

#include "platform/PlatformError.h"
#include "platform/ProcessLauncher.h"

namespace ostrell::fake {

// Records what was started; programs "run" until finishAll().
class FakeProcessLauncher : public platform::ProcessLauncher {
public:
    std::vector<std::string> started;  // paths and command lines, in order
    std::set<std::string> missing;     // paths that do not exist: starting them fails
    bool failAll = false;
    std::string directory = "/opt/ostrell";

    platform::ProcessHandle startProgram(const std::string& path) override {
        if (failAll || missing.count(path))
            throw platform::PlatformError(platform::err::FileNotFound, "File not found: " + path);
        started.push_back(path);
        return static_cast<platform::ProcessHandle>(started.size());  // its place in the list
    }
    platform::ProcessHandle startCommandLine(const std::string& commandLine) override {
        return startProgram(commandLine);
    }
    bool isRunning(platform::ProcessHandle handle) override {
        return handle > finishedUpTo_ && handle <= static_cast<platform::ProcessHandle>(started.size());
    }
    std::string programDirectory() const override { return directory; }
    std::string programName() const override { return "ostrell"; }

    void finishAll() { finishedUpTo_ = static_cast<int64_t>(started.size()); }

private:
    int64_t finishedUpTo_ = 0;
};

}  // namespace ostrell::fake
