#pragma once
#include <map>

#include "platform/EventLoop.h"

namespace ostrell::fake {

// A deterministic event loop on a virtual clock from 2026-12-06 00:00:00 UTC. A wait jumps straight to the
// next event, so a 7.8 s time-out takes microseconds; events at one instant run in the order posted.
class FakeEventLoop : public platform::EventLoop {
public:
    int64_t nowMs() const override { return now_; }
    int64_t wallClockMs() const override { return StartSeconds * 1000 + now_; }
    std::string localDateTimeText() const override { return clockText("%d/%m/%Y %H:%M:%S"); }
    std::string logTimestamp() const override { return clockText("%Y-%m-%d %H:%M:%S"); }
    std::string isoTimestamp() const override { return clockText("%Y-%m-%dT%H:%M:%S+00:00"); }

    void yield() override;
    bool waitUntil(const std::function<bool()>& done, int64_t timeoutMs) override;
    std::unique_ptr<platform::Timer> createTimer(std::function<void()> onTick) override;
    void post(int64_t delayMs, std::function<void()> fn) override;

    void requestEnd() override { endRequested_ = true; }
    bool endRequested() const override { return endRequested_; }

    // Test driving: let virtual time pass as the idle main loop would, running every event on the way.
    void runFor(int64_t ms) {
        runUntil([] { return false; }, ms);
    }
    // Runs until done() holds or ms pass; returns done(). Unlike waitUntil it ignores end requests.
    bool runUntil(const std::function<bool()>& done, int64_t ms);

private:
    static constexpr int64_t StartSeconds = 1796515200;  // 2026-12-06 00:00:00 UTC

    std::string clockText(const char* format) const;
    bool runNextDueBy(int64_t limit);

    int64_t now_ = 0;
    uint64_t seq_ = 0;
    bool endRequested_ = false;
    std::map<std::pair<int64_t, uint64_t>, std::function<void()>> events_;  // by time, then order posted
};

}  // namespace ostrell::fake
