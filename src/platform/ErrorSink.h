#pragma once
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace ostrell::platform {

// The sixteen inputs of one report, in the order the sink takes them.
struct ErrorSinkInputs {
    int32_t number = 0;
    std::string description;
    std::string helpContext;
    std::string source;
    int32_t line = 0;
    std::string moduleName;
    std::string procedureName;
    std::string extraText;
    std::string programName;
    int32_t input10 = 0;
    std::string input11 = " ";
    std::string input12 = " ";
    std::string input13;
    std::string programVersion;
    std::string input15;
    std::string input16;
};

// The external error handler. Only its answer 999 means something to the agent: end at once.
class ErrorSink {
public:
    virtual ~ErrorSink() = default;
    virtual int32_t handle(const ErrorSinkInputs& in) = 0;
    // The line that follows a report when the failure says what failed (see PlatformError::detail).
    virtual void explain(const std::string& /*detail*/) {}
};

// Makes a fresh sink for each report; may throw PlatformError when no sink can be made.
class ErrorSinkFactory {
public:
    virtual ~ErrorSinkFactory() = default;
    virtual std::unique_ptr<ErrorSink> create() = 0;
    // Where the reports go, for the start line.
    virtual std::string description() const { return "the error sink"; }
};

// Ends the program on the spot: no further statement of any procedure runs.
class ProgramTerminator {
public:
    virtual ~ProgramTerminator() = default;
    [[noreturn]] virtual void endNow() = 0;
    // The same for a program that refuses to run (the host version gate): the exit status says so.
    [[noreturn]] virtual void endRefused() {
        endNow();
        std::abort();  // not reached: endNow does not return
    }
};

}  // namespace ostrell::platform
