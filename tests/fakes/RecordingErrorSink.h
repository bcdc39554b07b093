#pragma once
#include <deque>
#include <memory>
#include <vector>

#include "platform/ErrorSink.h"
#include "platform/PlatformError.h"

namespace ostrell::fake {

// Thrown by the fake terminator: the program "ended at once". Not a std::exception, so traps let it pass.
struct ProgramEnded {};

// A sink factory whose sinks record every report and answer from a script (0 when the script is empty).
class RecordingErrorSinks : public platform::ErrorSinkFactory {
public:
    std::vector<platform::ErrorSinkInputs> reports;
    std::deque<int32_t> answers;
    bool missing = false;     // the sink cannot be made
    bool sinkThrows = false;  // HandleError itself fails
    int created = 0;
    int alive = 0;

    std::unique_ptr<platform::ErrorSink> create() override {
        if (missing) throw platform::PlatformError(429, "ActiveX component can't create object");
        ++created;
        return std::make_unique<Sink>(*this);
    }

    // "procedure:line" of every report, for compact assertions.
    std::vector<std::string> where() const {
        std::vector<std::string> out;
        for (const auto& r : reports) out.push_back(r.procedureName + ":" + std::to_string(r.line));
        return out;
    }

private:
    class Sink : public platform::ErrorSink {
    public:
        explicit Sink(RecordingErrorSinks& owner) : owner_(owner) { ++owner_.alive; }
        ~Sink() override { --owner_.alive; }
        int32_t handle(const platform::ErrorSinkInputs& in) override {
            owner_.reports.push_back(in);
            if (owner_.sinkThrows) throw platform::PlatformError(440, "Automation error");
            if (owner_.answers.empty()) return 0;
            const int32_t a = owner_.answers.front();
            owner_.answers.pop_front();
            return a;
        }

    private:
        RecordingErrorSinks& owner_;
    };
};

class ThrowingTerminator : public platform::ProgramTerminator {
public:
    int ended = 0;
    [[noreturn]] void endNow() override {
        ++ended;
        throw ProgramEnded{};
    }
};

}  // namespace ostrell::fake
