#pragma once
#include <cstdint>
#include <string>

namespace ostrell::platform {

// Starts other programs without waiting for them. Failures throw PlatformError.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Starts the program at path with no arguments; returns its process id.
    virtual int64_t startProgram(const std::string& path) = 0;
    // Starts a command line (program and arguments, split as a shell would); returns its process id.
    virtual int64_t startCommandLine(const std::string& commandLine) = 0;
    // Whether a process this launcher started is still running.
    virtual bool isRunning(int64_t pid) = 0;
    // The directory that holds the agent's own program file, without a trailing '/' (but "/" for root).
    virtual std::string programDirectory() const = 0;
    // The agent's executable file name without extension.
    virtual std::string programName() const = 0;
};

}  // namespace ostrell::platform
