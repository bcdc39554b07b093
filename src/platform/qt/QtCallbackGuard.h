#pragma once
#include <cstdio>
#include <exception>

#include "platform/EventLoop.h"

namespace ostrell::platform {

// Runs a callback that Qt invokes (timer tick, posted call, socket event). Nothing may unwind through
// Qt's dispatch: ProgramEnding has done its job once it reaches here (the end is already requested and
// the waits below us have given up), and any other escape is written to stderr rather than aborting.
template <class F>
void runFromEventLoop(const char* what, F&& callback) noexcept {
    try {
        callback();
    } catch (const ProgramEnding&) {
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ostrell: failure escaped from %s: %s\n", what, e.what());
    } catch (...) {
        std::fprintf(stderr, "ostrell: unknown failure escaped from %s\n", what);
    }
}

}  // namespace ostrell::platform
