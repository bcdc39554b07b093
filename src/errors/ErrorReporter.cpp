#include "errors/ErrorReporter.h"

namespace ostrell::errors {

std::string programVersionText() {
    return std::to_string(OSTRELL_VERSION_MAJOR) + "." + std::to_string(OSTRELL_VERSION_MINOR) + "." +
           std::to_string(OSTRELL_VERSION_REVISION);
}

void ErrorReporter::report(const Failure& f) {
    platform::ErrorSinkInputs in;
    in.number = f.number;
    in.description = f.description;
    in.helpContext = f.helpContext;
    in.source = f.source;
    in.line = f.line;
    in.moduleName = f.moduleName;
    in.procedureName = f.procedureName;
    in.extraText = f.extraText;
    in.programName = ProgramName;
    in.programVersion = programVersionText();

    int32_t answer = 0;
    try {
        auto sink = sinks_.create();
        answer = sink->handle(in);
        if (!f.detail.empty()) sink->explain(f.detail);
        sink.reset();  // each report uses its own instance
    } catch (...) {
        // A sink that cannot be made or fails is passed over; the built-in sink keeps a trace.
    }
    // The answer is taken as a 16-bit value: one outside that range means nothing.
    if (answer == EndProgramAnswer) terminator_.endNow();
}

}  // namespace ostrell::errors
