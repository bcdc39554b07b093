#include "cycle/Scheduler.h"

#include "errors/Trap.h"
#include "platform/ReleaseMemory.h"

namespace ostrell::cycle {

Scheduler::Scheduler(platform::EventLoop& loop, settings::Settings& settings, const settings::Parameters& params,
                     errors::ErrorReporter& reporter, Steps steps, std::function<void(int)> showTickCount)
    : loop_(loop), settings_(settings), params_(params), reporter_(reporter), steps_(steps),
      showTickCount_(std::move(showTickCount)), tmrMain_(loop.createTimer([this] { tmrMain_Timer(); })) {}

void Scheduler::tmrMain_Timer() {
    errors::Trap trap(reporter_, "tmrMain_Timer");
    trap(10, [&] { loop_.yield(); });
    // TimeOutSecs is read at every counting tick, so a refresh applies from the next one.
    if (TickCount < params_.TimeOutSecs) {
        ++TickCount;
        trap(15, [&] { showTickCount_(TickCount); });
        return;
    }
    runCycle(trap);
}

void Scheduler::runCycle(errors::Trap& trap) {
    trap(20, [&] { tmrMain_->setInterval(0); });
    TickCount = 0;  // txtTO keeps the last count until the next counting tick
    if (cycleStarted_) trap(22, [&] { cycleStarted_(); });
    trap(25, [&] { settings_.save(settings::keys::LastTry(), loop_.localDateTimeText()); });
    net::Connection& connection = steps_.connection;
    if (!connection.Connected) connection.TryToConnect();
    const bool reached = connection.Connected;
    if (reached) {
        trap(30, [&] { settings_.save(settings::keys::Last(), loop_.localDateTimeText()); });
        // HasLoNumber is read here, mid-cycle, as the refresh may have changed it during the logon.
        if (params_.HasLoNumber) {
            if (trap.value(35, [&] { return steps_.uploader.TransFiles(); }, false))
                trap(40, [&] { steps_.uploader.SendFiles(); });
            trap(45, [&] { steps_.downloader.GetFiles(); });
        }
        trap(50, [&] { connection.SendQuitLine(); });
        steps_.importer.CheckVRX();
    }
    if (cycleEnded_) trap(52, [&] { cycleEnded_(reached); });
    trap(55, [&] { tmrMain_->setInterval(TickIntervalMs); });
    // What the cycle's files and replies took is free again; without this the agent keeps the high-water
    // mark of its largest transfer.
    platform::releaseFreeMemory();
}

}  // namespace ostrell::cycle
