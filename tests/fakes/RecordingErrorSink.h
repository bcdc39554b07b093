#pragma once
#include <memory>
#include <vector>

#include "platform/ErrorSink.h"
#include "platform/PlatformError.h"

namespace ostrell::fake {

// Thrown by the fake terminator: the program "ended at once". Not a std::exception, so traps let it pass.
struct ProgramEnded {};

// A sink factory whose sinks record every report and give one answer.
class RecordingErrorSinks : public platform::ErrorSinkFactory {
public:
    std::vector<platform::ErrorSinkInputs> reports;
    std::vector<std::string> details;  // the line after a report, "<procedure>: <detail>"
    int32_t answer = 0;                // what every sink answers
    bool missing = false;              // the sink cannot be made
    bool sinkThrows = false;           // the sink itself fails

    std::unique_ptr<platform::ErrorSink> create() override {
        if (missing) throw platform::PlatformError(429, "ActiveX component can't create object");
        return std::make_unique<Sink>(*this);
    }

private:
    struct Sink : platform::ErrorSink {
        explicit Sink(RecordingErrorSinks& sinks) : owner(sinks) {}
        int32_t handle(const platform::ErrorSinkInputs& in) override {
            owner.reports.push_back(in);
            if (owner.sinkThrows) throw platform::PlatformError(440, "Automation error");
            return owner.answer;
        }
        void explain(const std::string& d) override {
            owner.details.push_back(owner.reports.back().procedureName + ": " + d);
        }
        RecordingErrorSinks& owner;
    };
};

class ThrowingTerminator : public platform::ProgramTerminator {
public:
    [[noreturn]] void endNow() override { throw ProgramEnded{}; }
};

}  // namespace ostrell::fake
