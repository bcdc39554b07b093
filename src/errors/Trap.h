#pragma once
#include <exception>
#include <string>
#include <utility>

#include "errors/ErrorReporter.h"
#include "platform/PlatformError.h"

namespace ostrell::errors {

// The error trap of one procedure: "report it and carry on with the next statement".
//
//   Trap trap(reporter, "GetFiles");
//   trap(80, [&] { fs.append(path, line, true); });          // a statement with its line label
//   while (trap.value(95, false, [&] { return moreLines(); }))  // a loop test that fails ends the loop
//
// A statement that throws has no further effect; the failure is reported once with the procedure's
// name and the statement's label, and the procedure goes on. ProgramEnding is not a failure: it passes.
class Trap {
public:
    Trap(ErrorReporter& reporter, std::string procedure) : reporter_(reporter), procedure_(std::move(procedure)) {}

    // Runs one statement; returns true when it completed.
    template <class F>
    bool operator()(int label, F&& statement) {
        try {
            std::forward<F>(statement)();
            return true;
        } catch (const std::exception& e) {
            report(label, e);
            return false;
        }
    }

    // Runs an expression; on failure reports it and gives fallback (the default a failed function gives).
    // The work comes last so that a call reads label, fallback, then the lambda, however long it is.
    template <class T, class F>
    T value(int label, T fallback, F&& expression) {
        try {
            return std::forward<F>(expression)();
        } catch (const std::exception& e) {
            report(label, e);
            return fallback;
        }
    }

    // Reports a failure found by a check rather than thrown by a statement, under the check's label:
    // nothing is thrown just to be reported.
    void report(int label, const platform::PlatformError& error) {
        report(label, static_cast<const std::exception&>(error));
    }

private:
    void report(int label, const std::exception& e);

    ErrorReporter& reporter_;
    std::string procedure_;
};

// The trap of the few procedures that carry on without a report (the receive side, the folder chooser):
// a failing statement is passed over and the next one runs. Returns true when the statement completed.
template <class F>
bool passOver(F&& statement) {
    try {
        std::forward<F>(statement)();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace ostrell::errors
