#pragma once
#include <memory>
#include <string>

#include "platform/ErrorSink.h"

namespace ostrell::platform {

// The C entry point an optional sink library exports, with the sixteen inputs in order.
using HandleErrorFn = int32_t (*)(int32_t number, const char* description, const char* helpContext,
                                  const char* source, int32_t line, const char* moduleName,
                                  const char* procedureName, const char* extraText, const char* programName,
                                  int32_t input10, const char* input11, const char* input12, const char* input13,
                                  const char* programVersion, const char* input15, const char* input16);
inline constexpr const char* SinkSymbol = "ostrell_HandleError";
inline constexpr const char* SinkLibraryName = "libostrell-errorsink.so";

// Gives the optional library sink (SinkLibraryName in the program directory) when it loads and exports
// SinkSymbol, and the built-in syslog sink otherwise, so that a report never vanishes without trace.
class ErrorSinkLoader : public ErrorSinkFactory {
public:
    explicit ErrorSinkLoader(const std::string& programDirectory);
    ~ErrorSinkLoader() override;
    std::unique_ptr<ErrorSink> create() override;
    bool usesLibrary() const { return fn_ != nullptr; }

private:
    void* handle_ = nullptr;
    HandleErrorFn fn_ = nullptr;
};

// Ends the process at once with exit code 0: no destructor and no further statement runs.
class ProcessTerminator : public ProgramTerminator {
public:
    [[noreturn]] void endNow() override;
    [[noreturn]] void endRefused() override;
};

}  // namespace ostrell::platform
