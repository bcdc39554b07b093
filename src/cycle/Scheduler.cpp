#include "cycle/Scheduler.h"

#include <algorithm>
#include <climits>
#include <cstdlib>  // defines __GLIBC__ on the C library that has malloc_trim

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "errors/Trap.h"

namespace ostrell::cycle {

namespace {
// Gives heap pages the program has freed back to the system. The C library keeps them otherwise: after
// a cycle that moved a hundred thousand records the agent would stay tens of megabytes larger for the
// rest of its life. Unlike the trimming free() does by itself, this also returns free pages below the
// heap's top, which a single small allocation made during the cycle would otherwise pin.
void releaseFreeMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
}  // namespace

Scheduler::Scheduler(platform::EventLoop& loop, settings::Settings& settings, const settings::Parameters& params,
                     errors::ErrorReporter& reporter, Steps steps, std::function<void(int)> showTickCount)
    : loop_(loop), settings_(settings), params_(params), reporter_(reporter), steps_(steps),
      showTickCount_(std::move(showTickCount)), tickTimer_(loop.createTimer([this] { onTick(); })) {}

void Scheduler::onTick() {
    loop_.yield();
    if (countdownShown_) {
        lastTickMs_ = loop_.nowMs();
    } else {
        // This tick stands for every second since the last one; all but itself only count.
        lastTickMs_ += TickIntervalMs;
        countSkippedSeconds();
    }
    // timeoutSecs is read at every counting tick, so a refresh applies from the next one.
    if (secondsCounted_ < params_.timeoutSecs) {
        ++secondsCounted_;
        showTickCount_(secondsCounted_);
        if (!countdownShown_) arm();
        return;
    }
    runCycle();
}

void Scheduler::countSkippedSeconds() {
    // A timer may fire a little before its time against this clock: half a second decides.
    const int64_t seconds = (loop_.nowMs() - lastTickMs_ + TickIntervalMs / 2) / TickIntervalMs;
    if (seconds <= 0) return;
    lastTickMs_ += seconds * TickIntervalMs;  // stays on the whole seconds of the count
    if (secondsCounted_ < params_.timeoutSecs)
        secondsCounted_ = static_cast<int32_t>(std::min<int64_t>(secondsCounted_ + seconds, params_.timeoutSecs));
}

void Scheduler::arm() {
    if (countdownShown_) {
        tickTimer_->setInterval(TickIntervalMs);
        return;
    }
    const int64_t ticks =
        secondsCounted_ < params_.timeoutSecs ? int64_t{params_.timeoutSecs} - secondsCounted_ + 1 : 1;
    // Due on the whole second of the count, however late this tick came.
    const int64_t ms = ticks * TickIntervalMs - (loop_.nowMs() - lastTickMs_);
    tickTimer_->setInterval(static_cast<int>(std::clamp<int64_t>(ms, 1, INT32_MAX)));
}

void Scheduler::startCounting() {
    lastTickMs_ = loop_.nowMs();
    arm();
}

void Scheduler::startWithCycleDue() {
    secondsCounted_ = FirstCycleDue;
    startCounting();
}

void Scheduler::setCountdownShown(bool shown) {
    if (shown == countdownShown_) return;
    countdownShown_ = shown;
    if (tickTimer_->interval() == 0) return;  // not counting: start-up or the cycle's end arms it
    countSkippedSeconds();
    if (shown && secondsCounted_ <= params_.timeoutSecs) showTickCount_(secondsCounted_);
    arm();
}

void Scheduler::lengthChanged() {
    if (countdownShown_ || tickTimer_->interval() == 0) return;
    countSkippedSeconds();
    arm();
}

void Scheduler::runCycle() {
    // Only the statements that can fail carry a label: the settings writes and the steps' I/O.
    errors::Trap trap(reporter_, "tmrMain_Timer");
    tickTimer_->setInterval(0);
    secondsCounted_ = 0;  // the tick count box keeps the last count until the next counting tick
    if (cycleStarted_) cycleStarted_();
    trap(25, [&] { settings_.save(settings::keys::lastTry(), loop_.localDateTimeText()); });
    net::Connection& connection = steps_.connection;
    if (!connection.isConnected()) connection.connectToServer();
    const bool reached = connection.isConnected();
    if (reached) {
        trap(30, [&] { settings_.save(settings::keys::lastSuccess(), loop_.localDateTimeText()); });
        // hasBkNumber is read here, mid-cycle, as the refresh may have changed it during the logon.
        if (params_.hasBkNumber) {
            if (trap.value(35, false, [&] { return steps_.uploader.hasFilesToSend(); }))
                trap(40, [&] { steps_.uploader.sendFiles(); });
            // Nothing is appended to the incoming files while the importer we started reads them.
            if (!trap.value(43, false, [&] { return steps_.importer.readingIncomingFiles(); }))
                trap(45, [&] { steps_.downloader.downloadFiles(); });
        }
        trap(50, [&] { connection.sendQuitLine(); });
        steps_.importer.launchIfDue();
    }
    if (cycleEnded_) cycleEnded_(reached);  // the hook traps its own failures
    startCounting();
    // What the cycle's files and replies took is free again; without this the agent keeps the high-water
    // mark of its largest transfer.
    releaseFreeMemory();
}

}  // namespace ostrell::cycle
