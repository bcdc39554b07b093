#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "cycle/CycleSteps.h"
#include "cycle/Importer.h"
#include "errors/ErrorReporter.h"
#include "net/Connection.h"
#include "platform/EventLoop.h"
#include "settings/Parameters.h"
#include "settings/Settings.h"

namespace ostrell::cycle {

inline constexpr int TickIntervalMs = 1000;

// The main loop of the agent: the one-second tick of the tick timer counts towards the cycle length and then
// runs one sync cycle (connect, upload, download, quit, importer) with its own timer stopped, so a
// cycle is never entered twice even though its waits let the other timers and the menu run.
// The seconds are only worth a wake-up while the window shows the count: otherwise the tick timer is armed once
// for the tick that runs the cycle, and the seconds in between are counted when it comes.
class Scheduler {
public:
    struct Steps {
        net::Connection& connection;
        Uploader& uploader;
        Downloader& downloader;
        Importer& importer;
    };

    Scheduler(platform::EventLoop& loop, settings::Settings& settings, const settings::Parameters& params,
              errors::ErrorReporter& reporter, Steps steps, std::function<void(int)> showTickCount);

    // One tick of the tick timer.
    void onTick();

    // Starts the count towards the next cycle (the end of every cycle does it itself).
    void startCounting();
    // Start-up: starts the count with a cycle due, so that the first tick runs one at once.
    void startWithCycleDue();
    // Whether the window shows the count: ticks every second while it does, one wake-up per cycle when not.
    void setCountdownShown(bool shown);
    // Arms the tick timer again for the cycle length as it is now (after a parameter refresh).
    void lengthChanged();

    // Stopped (interval 0) until start-up starts the count; 0 again while a cycle runs.
    platform::Timer& tickTimer() { return *tickTimer_; }

    // Called as a cycle begins and as it ends, with whether it reached the server.
    void setCycleHooks(std::function<void()> started, std::function<void(bool reached)> ended) {
        cycleStarted_ = std::move(started);
        cycleEnded_ = std::move(ended);
    }

private:
    // Above any cycle length the settings hold, and what the count box shows before the first cycle.
    static constexpr int32_t FirstCycleDue = 999;

    void runCycle();
    // Counts the seconds that passed since the last tick without a tick of their own.
    void countSkippedSeconds();
    // The interval to the next tick that matters (the next second, or the cycle's tick).
    void arm();

    int32_t secondsCounted_ = 0;  // towards the next cycle
    int64_t lastTickMs_ = 0;      // when the count last moved (a tick, or the count's start)
    bool countdownShown_ = false;

    platform::EventLoop& loop_;
    settings::Settings& settings_;
    const settings::Parameters& params_;
    errors::ErrorReporter& reporter_;
    Steps steps_;
    std::function<void(int)> showTickCount_;
    std::unique_ptr<platform::Timer> tickTimer_;
    std::function<void()> cycleStarted_;
    std::function<void(bool)> cycleEnded_;
};

}  // namespace ostrell::cycle
