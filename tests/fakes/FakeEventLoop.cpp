#include "fakes/FakeEventLoop.h"

#include <ctime>

namespace ostrell::fake {

namespace {
std::string formatTime(int64_t epochSeconds, int64_t ms, const char* fmt) {
    const std::time_t t = static_cast<std::time_t>(epochSeconds + ms / 1000);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, fmt, &tm);
    return buf;
}

class FakeTimer : public platform::Timer {
public:
    FakeTimer(FakeEventLoop& loop, std::function<void()> onTick)
        : loop_(loop), onTick_(std::move(onTick)), alive_(std::make_shared<int>(0)) {}
    ~FakeTimer() override { *alive_ = -1; }

    void setInterval(int ms) override {
        interval_ = ms;
        ++*alive_;  // a new generation cancels the tick already scheduled
        if (ms > 0) arm();
    }
    int interval() const override { return interval_; }

private:
    void arm() {
        std::weak_ptr<int> weak = alive_;
        const int generation = *alive_;
        loop_.post(interval_, [this, weak, generation] {
            auto alive = weak.lock();
            if (!alive || *alive != generation) return;
            arm();  // periodic: the next tick is due one interval after this one
            onTick_();
        });
    }

    FakeEventLoop& loop_;
    std::function<void()> onTick_;
    std::shared_ptr<int> alive_;
    int interval_ = 0;
};
}  // namespace

std::string FakeEventLoop::localDateTimeText() const { return formatTime(epochSeconds_, now_, "%d/%m/%Y %H:%M:%S"); }
std::string FakeEventLoop::logTimestamp() const { return formatTime(epochSeconds_, now_, "%Y-%m-%d %H:%M:%S"); }

// The virtual clock runs in UTC.
std::string FakeEventLoop::isoTimestamp() const {
    return formatTime(epochSeconds_, now_, "%Y-%m-%dT%H:%M:%S") + "+00:00";
}

void FakeEventLoop::schedule(int64_t at, std::function<void()> fn) { events_.emplace(Key{at, seq_++}, std::move(fn)); }

void FakeEventLoop::post(int64_t delayMs, std::function<void()> fn) {
    schedule(now_ + (delayMs < 0 ? 0 : delayMs), std::move(fn));
}

bool FakeEventLoop::runNextDueBy(int64_t limit) {
    if (events_.empty()) return false;
    auto it = events_.begin();
    if (it->first.first > limit) return false;
    if (it->first.first > now_) now_ = it->first.first;
    auto fn = std::move(it->second);
    events_.erase(it);
    fn();
    return true;
}

void FakeEventLoop::yield() {
    ++yields_;
    // Only what is due now and was already queued: a zero-delay post made during the yield waits for the next.
    const uint64_t lastSeq = seq_;
    while (!events_.empty()) {
        auto it = events_.begin();
        if (it->first.first > now_ || it->first.second >= lastSeq) break;
        auto fn = std::move(it->second);
        events_.erase(it);
        fn();
    }
}

bool FakeEventLoop::waitUntil(const std::function<bool()>& done, int64_t timeoutMs) {
    const int64_t deadline = now_ + (timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        if (endRequested_) throw platform::ProgramEnding{};
        if (done()) return true;
        ++yields_;
        if (!runNextDueBy(deadline)) {
            if (deadline > now_) now_ = deadline;
            if (endRequested_) throw platform::ProgramEnding{};
            return done();
        }
    }
}

bool FakeEventLoop::runUntil(const std::function<bool()>& done, int64_t ms) {
    const int64_t deadline = now_ + ms;
    while (!done()) {
        if (!runNextDueBy(deadline)) {
            if (deadline > now_) now_ = deadline;
            return done();
        }
    }
    return true;
}

void FakeEventLoop::runFor(int64_t ms) {
    runUntil([] { return false; }, ms);
}

std::unique_ptr<platform::Timer> FakeEventLoop::createTimer(std::function<void()> onTick) {
    return std::make_unique<FakeTimer>(*this, std::move(onTick));
}

}  // namespace ostrell::fake
