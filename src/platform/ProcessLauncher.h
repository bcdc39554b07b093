#pragma once
#include <cstdint>
#include <string>

namespace ostrell::platform {

// Names one process a launcher started, for as long as the launcher lives. Not a process id: an id is
// given to another process once the first has ended, and would make a finished program look running.
using ProcessHandle = int64_t;

// Starts other programs without waiting for them. Failures throw PlatformError.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Starts the program at path with no arguments.
    virtual ProcessHandle startProgram(const std::string& path) = 0;
    // Starts a command line (program and arguments, split as a shell would).
    virtual ProcessHandle startCommandLine(const std::string& commandLine) = 0;
    // Whether the process this launcher started under handle still runs; false for any other number.
    virtual bool isRunning(ProcessHandle handle) = 0;
    // The directory that holds the agent's own program file, without a trailing '/' (but "/" for root).
    virtual std::string programDirectory() const = 0;
    // The agent's executable file name without extension.
    virtual std::string programName() const = 0;
};

}  // namespace ostrell::platform
