#pragma once
#include <map>

#include "platform/ProcessLauncher.h"

namespace ostrell::platform {

// Starts programs detached (they outlive the agent and are never waited for). A QCoreApplication must
// exist for the program directory and name. Each process started is held by a pidfd taken right after
// its start, so its end is seen whatever its pid is given to later; one found ended is let go.
class QtProcessLauncher : public ProcessLauncher {
public:
    QtProcessLauncher() = default;
    ~QtProcessLauncher() override;
    QtProcessLauncher(const QtProcessLauncher&) = delete;
    QtProcessLauncher& operator=(const QtProcessLauncher&) = delete;

    ProcessHandle startProgram(const std::string& path) override;
    ProcessHandle startCommandLine(const std::string& commandLine) override;
    bool isRunning(ProcessHandle handle) override;
    std::string programDirectory() const override;
    std::string programName() const override;

private:
    ProcessHandle hold(int64_t pid);

    std::map<ProcessHandle, int> processFds_;  // the pidfds of the processes that may still run
    ProcessHandle lastHandle_ = 0;
};

}  // namespace ostrell::platform
