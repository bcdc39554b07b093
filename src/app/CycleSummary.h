#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cycle/CycleSteps.h"
#include "platform/ErrorSink.h"

namespace ostrell::app {

// What one cycle did, for the one line a technician reads per cycle (headless stdout, system log).
// Counts only, never a record's contents.
struct CycleSummary {
    bool connected = false;
    std::string host;
    int port = 0;
    std::string failure;                                     // the system's reason when the connection failed
    std::vector<std::pair<std::string, int>> linesAccepted;  // per outgoing file, in the order sent
    struct Stored {
        std::string bkNumber;
        int bookings = 0;
        int payments = 0;
    };
    std::vector<Stored> stored;  // in the order the BK numbers are asked: the parameters' order
    int errors = 0;              // reports made during the cycle
    int64_t durationMs = 0;
    bool logonUnanswered = false;  // connected, but the logon got no reply: no contact
};

// Counts what the steps report into the summary of the cycle under way.
class SummaryCounter final : public cycle::StepEvents {
public:
    explicit SummaryCounter(CycleSummary& summary) : summary_(summary) {}
    void lineAccepted(const std::string& fileName) override;
    void recordStored(const std::string& bkNumber, cycle::RecordKind kind) override;

private:
    CycleSummary& summary_;
};

// Counts the reports of a cycle on their way to the real sink.
class CountingErrorSinks : public platform::ErrorSinkFactory {
public:
    CountingErrorSinks(platform::ErrorSinkFactory& inner, CycleSummary& summary) : inner_(inner), summary_(summary) {}
    std::unique_ptr<platform::ErrorSink> create() override {
        ++summary_.errors;
        return inner_.create();
    }
    std::string description() const override { return inner_.description(); }

private:
    platform::ErrorSinkFactory& inner_;
    CycleSummary& summary_;
};

// "cycle: connected to 10.1.2.3:6000, sent Bookings.csv 12 lines, stored 4711: 2 bookings 1 payment,
// 0 errors, 1.4 s", "cycle failed: not connected to 10.1.2.3:6000 (Connection refused), 3.4 s" or
// "cycle failed: no answer to the logon from 10.1.2.3:6000, 12.1 s".
std::string cycleSummaryLine(const CycleSummary& s);

// The warning of a failed connection, naming the server and the system's reason, or of a logon that
// got no answer.
std::string connectionWarning(const CycleSummary& s);

// The line that ends an outage: "contact with 10.1.2.3:6000 again after 3 failed cycles (none since 14:05)".
std::string recoveryLine(const CycleSummary& s, int failedCycles, const std::string& since);

}  // namespace ostrell::app
