#pragma once
#include <cstdint>
#include <string>

#include "platform/ErrorSink.h"

namespace ostrell::errors {

// The particulars of one failure, in the order the trap hands them over.
struct Failure {
    int32_t number = 0;
    std::string description;
    std::string helpContext = "0";
    std::string source;
    int32_t line = 0;
    std::string moduleName = "frmMain";
    std::string procedureName;
    std::string extraText;
    std::string detail;  // not one of the sink's inputs: the line after the report
};

// The program's name and version text as they go to the sink.
inline constexpr const char* ProgramName = "Ostrell";
std::string programVersionText();  // "2.4.11"

// The one routine that reports failures. A fresh sink per report; the answer 999 ends the program.
// Its own failures (no sink, a sink that throws, an answer outside 16 bits) are passed over.
class ErrorReporter {
public:
    ErrorReporter(platform::ErrorSinkFactory& sinks, platform::ProgramTerminator& terminator)
        : sinks_(sinks), terminator_(terminator) {}

    void report(const Failure& failure);

private:
    static constexpr int32_t EndProgramAnswer = 999;

    platform::ErrorSinkFactory& sinks_;
    platform::ProgramTerminator& terminator_;
};

}  // namespace ostrell::errors
