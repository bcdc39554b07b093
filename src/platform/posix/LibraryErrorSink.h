#pragma once
#include <memory>
#include <string>

#include "platform/ErrorSink.h"

namespace ostrell::platform {

// The C entry point an optional sink library exports, with the sixteen inputs in order.
using HandleErrorFn = int32_t (*)(int32_t number, const char* description, const char* helpContext, const char* source,
                                  int32_t line, const char* moduleName, const char* procedureName,
                                  const char* extraText, const char* programName, int32_t input10, const char* input11,
                                  const char* input12, const char* input13, const char* programVersion,
                                  const char* input15, const char* input16);
inline constexpr const char* SinkSymbol = "ostrell_HandleError";
inline constexpr const char* SinkLibraryName = "libostrell-errorsink.so";

// Where the sink library is looked for: the program's private library directory (<libdir>/ostrell,
// libDir relative to the prefix) for an installed program, which lives in <prefix>/bin; beside the
// program otherwise (a build tree).
std::string sinkLibraryDirectory(const std::string& programDirectory, const std::string& libDir);
// The same with the library directory this program was built for.
std::string sinkLibraryDirectory(const std::string& programDirectory);

// Why a library file may not be loaded into the program, or "" when it may: the file and its directory
// must belong to root or to the user running the program, and neither may be writable by group or
// others (anyone else who could change it would run code as this user). The file must be no link.
std::string untrustedReason(const std::string& directory, const std::string& file);

// Gives the optional library sink (SinkLibraryName in libraryDirectory) when it is trusted, loads and
// exports SinkSymbol, and the built-in syslog sink otherwise, so that a report never vanishes without
// trace. A library refused or broken is reported on stderr and in the system log; the sink in use is
// named once in the system log.
class ErrorSinkLoader : public ErrorSinkFactory {
public:
    explicit ErrorSinkLoader(const std::string& libraryDirectory);
    ~ErrorSinkLoader() override;
    std::unique_ptr<ErrorSink> create() override;
    std::string description() const override { return fn_ ? path_ : "the system log"; }
    bool usesLibrary() const { return fn_ != nullptr; }

private:
    void load(const std::string& path);

    std::string path_;
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
