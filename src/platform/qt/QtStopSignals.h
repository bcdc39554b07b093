#pragma once
#include <QSocketNotifier>
#include <array>
#include <functional>
#include <memory>

namespace ostrell::platform {

// SIGTERM, SIGINT and SIGHUP (the session ending, Ctrl+C, a closed terminal) become a call on the event
// loop, so the agent ends the way the Exit item ends it: the quit line sent, the trace flushed, status 0.
// The handler only writes the signal's number to a pipe; everything else runs outside the handler.
class QtStopSignals {
public:
    explicit QtStopSignals(std::function<void(int)> onStop);
    ~QtStopSignals();
    QtStopSignals(const QtStopSignals&) = delete;
    QtStopSignals& operator=(const QtStopSignals&) = delete;

private:
    void onReadable();

    std::function<void(int)> onStop_;
    std::array<int, 2> pipe_{-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ostrell::platform
