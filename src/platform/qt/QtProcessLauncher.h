#pragma once
#include "platform/ProcessLauncher.h"

namespace ostrell::platform {

// Starts programs detached (they outlive the agent and are never waited for). A QCoreApplication must
// exist for the program directory and name.
class QtProcessLauncher : public ProcessLauncher {
public:
    int64_t startProgram(const std::string& path) override;
    int64_t startCommandLine(const std::string& commandLine) override;
    bool isRunning(int64_t pid) override;
    std::string programDirectory() const override;
    std::string programName() const override;
};

}  // namespace ostrell::platform
