#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <memory>
#include <string>

#include "platform/EventLoop.h"

namespace ostrell::platform {

// The event loop of the Qt application thread. A QCoreApplication (or QApplication) must exist first.
class QtEventLoop : public EventLoop {
public:
    QtEventLoop();

    int64_t nowMs() const override;
    int64_t wallClockMs() const override;
    std::string localDateTimeText() const override;
    std::string logTimestamp() const override;
    std::string isoTimestamp() const override;

    void yield() override;
    bool waitUntil(const std::function<bool()>& done, int64_t timeoutMs) override;
    void pause(int64_t ms) override;

    std::unique_ptr<Timer> createTimer(std::function<void()> onTick) override;
    void post(int64_t delayMs, std::function<void()> fn) override;

    void requestEnd() override;
    bool endRequested() const override { return endRequested_; }

    // Runs the main loop until requestEnd(); returns at once when the end came before the loop started
    // (a quit request is lost when no loop is running yet).
    int run();

private:
    void throwIfEnding() const;

    QElapsedTimer clock_;
    mutable int64_t stampSecond_ = -1;  // the second logTimestamp's text was made for
    mutable std::string stampText_;
    QObject context_;  // owns posted calls, so none outlives the loop
    bool endRequested_ = false;
};

}  // namespace ostrell::platform
