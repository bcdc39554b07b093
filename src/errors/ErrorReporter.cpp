#include "errors/ErrorReporter.h"

#include <limits>

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

    try {
        auto sink = sinks_.create();
        const int32_t answer = sink->handle(in);
        sink.reset();  // each report uses its own instance
        if (answer >= std::numeric_limits<int16_t>::min() && answer <= std::numeric_limits<int16_t>::max())
            result_ = static_cast<int16_t>(answer);
    } catch (...) {
        // A sink that cannot be made or fails is passed over; the built-in sink keeps a trace.
    }
    if (result_ == 999) {
        result_ = 0;
        terminator_.endNow();
    }
    result_ = 0;
}

}  // namespace ostrell::errors
