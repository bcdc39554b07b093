#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ostrell::platform {

// A periodic timer on the event loop. An interval of 0 means stopped (the host product's convention).
class Timer {
public:
    virtual ~Timer() = default;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
};

// Thrown out of a wait when the program has been asked to end (Exit, end request, fatal report).
// It is not a std::exception on purpose: error traps let it pass so the running cycle unwinds.
struct ProgramEnding {};

// The single-threaded event loop, its clock and its timers. Waits never block the loop: they dispatch
// events until their condition holds or their deadline passes.
class EventLoop {
public:
    virtual ~EventLoop() = default;

    // Monotonic milliseconds, for deadlines.
    virtual int64_t nowMs() const = 0;
    // Wall-clock milliseconds since 1970, to compare with a file's modification time.
    virtual int64_t wallClockMs() const = 0;
    // Local date and time as the desktop shows it by default (short date, blank, long time).
    virtual std::string localDateTimeText() const = 0;
    // Local date and time for log lines: "YYYY-MM-DD HH:MM:SS".
    virtual std::string logTimestamp() const = 0;
    // Local date and time with the zone's offset, ISO 8601: "2026-12-06T14:05:00+01:00".
    virtual std::string isoTimestamp() const = 0;

    // Dispatch the events that are pending now, once.
    virtual void yield() = 0;
    // Dispatch events until done() holds (checked after every event) or timeoutMs passes.
    // Returns done() at the end. Throws ProgramEnding when an end was requested.
    virtual bool waitUntil(const std::function<bool()>& done, int64_t timeoutMs) = 0;
    // Dispatch events for ms with nothing to wait for (the fixed pauses of the connection). Unlike a
    // wait it has no condition to look at, so it need not wake before its end when no event comes.
    // Throws ProgramEnding when an end was requested.
    virtual void pause(int64_t ms) {
        waitUntil([] { return false; }, ms);
    }

    virtual std::unique_ptr<Timer> createTimer(std::function<void()> onTick) = 0;
    // Run fn once after delayMs, on the loop.
    virtual void post(int64_t delayMs, std::function<void()> fn) = 0;

    // Ask every running wait to give up (they throw ProgramEnding) and the main loop to return.
    virtual void requestEnd() = 0;
    virtual bool endRequested() const = 0;
};

}  // namespace ostrell::platform
