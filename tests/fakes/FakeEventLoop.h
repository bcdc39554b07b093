#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/EventLoop.h"

namespace ostrell::fake {

// A deterministic event loop on a virtual clock. A wait jumps straight to the next scheduled event,
// so a 7.8 s time-out takes microseconds. Events at the same instant run in the order they were posted.
class FakeEventLoop : public platform::EventLoop {
public:
    int64_t nowMs() const override { return now_; }
    std::string localDateTimeText() const override;
    std::string logTimestamp() const override;
    std::string isoTimestamp() const override;

    void yield() override;
    bool waitUntil(const std::function<bool()>& done, int64_t timeoutMs) override;
    std::unique_ptr<platform::Timer> createTimer(std::function<void()> onTick) override;
    void post(int64_t delayMs, std::function<void()> fn) override;

    void requestEnd() override { endRequested_ = true; }
    bool endRequested() const override { return endRequested_; }

    // Test driving: let virtual time pass as the idle main loop would, running every event on the way.
    void runFor(int64_t ms);
    // Runs until done() holds or ms pass; returns done(). Unlike waitUntil it ignores end requests.
    bool runUntil(const std::function<bool()>& done, int64_t ms);
    // Number of yields made (a measure of how often waiting code gave the loop a turn).
    int64_t yields() const { return yields_; }
    size_t pendingEvents() const { return events_.size(); }

    // Virtual wall-clock start for the date texts (seconds since the epoch, UTC).
    void setEpochSeconds(int64_t s) { epochSeconds_ = s; }

private:
    using Key = std::pair<int64_t, uint64_t>;  // time, sequence
    bool runNextDueBy(int64_t limit);
    void schedule(int64_t at, std::function<void()> fn);

    int64_t now_ = 0;
    uint64_t seq_ = 0;
    int64_t yields_ = 0;
    int64_t epochSeconds_ = 1796515200;  // 2026-12-06 00:00:00 UTC
    bool endRequested_ = false;
    std::map<Key, std::function<void()>> events_;
};

}  // namespace ostrell::fake
