#include "errors/Trap.h"

#include <new>

namespace ostrell::errors {

void Trap::report(int label, const std::exception& e) {
    Failure f;
    f.line = label;
    f.procedureName = procedure_;
    if (const auto* pe = dynamic_cast<const platform::PlatformError*>(&e)) {
        f.number = pe->number();
        f.source = pe->source();
        f.detail = pe->detail();
    } else if (dynamic_cast<const std::bad_alloc*>(&e)) {
        f.number = 7;  // out of memory
        f.source = ProgramName;
    } else {
        f.number = platform::err::InvalidProcedureCall;
        f.source = ProgramName;
    }
    f.description = e.what();
    reporter_.report(f);
}

}  // namespace ostrell::errors
