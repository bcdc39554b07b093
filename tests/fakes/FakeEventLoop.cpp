#include "fakes/FakeEventLoop.h"

#include <algorithm>
#include <array>
#include <ctime>

namespace ostrell::fake {

namespace {
// A periodic timer: each tick posts the next; a new interval or the timer's end voids the one posted.
class FakeTimer : public platform::Timer {
public:
    FakeTimer(FakeEventLoop& loop, std::function<void()> onTick) : loop_(loop), onTick_(std::move(onTick)) {}

    void setInterval(int ms) override {
        interval_ = ms;
        ++*generation_;
        if (ms > 0) arm();
    }
    int interval() const override { return interval_; }

private:
    void arm() {
        loop_.post(interval_, [this, weak = std::weak_ptr<int>(generation_), generation = *generation_] {
            if (const auto alive = weak.lock(); !alive || *alive != generation) return;
            arm();
            onTick_();
        });
    }

    FakeEventLoop& loop_;
    std::function<void()> onTick_;
    std::shared_ptr<int> generation_ = std::make_shared<int>(0);
    int interval_ = 0;
};
}  // namespace

std::string FakeEventLoop::clockText(const char* format) const {
    const auto seconds = static_cast<std::time_t>(StartSeconds + now_ / 1000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    std::array<char, 64> text{};
    std::strftime(text.data(), text.size(), format, &tm);
    return text.data();
}

void FakeEventLoop::post(int64_t delayMs, std::function<void()> fn) {
    events_.emplace(std::pair{now_ + std::max<int64_t>(delayMs, 0), seq_++}, std::move(fn));
}

bool FakeEventLoop::runNextDueBy(int64_t limit) {
    if (events_.empty() || events_.begin()->first.first > limit) return false;
    auto event = events_.extract(events_.begin());
    now_ = std::max(now_, event.key().first);
    event.mapped()();
    return true;
}

void FakeEventLoop::yield() {
    // Only what is due now and was already queued: a zero-delay post made during the yield waits for the next.
    const uint64_t lastSeq = seq_;
    while (!events_.empty() && events_.begin()->first.first <= now_ && events_.begin()->first.second < lastSeq)
        events_.extract(events_.begin()).mapped()();
}

bool FakeEventLoop::waitUntil(const std::function<bool()>& done, int64_t timeoutMs) {
    const int64_t deadline = now_ + std::max<int64_t>(timeoutMs, 0);
    do {
        if (endRequested_) throw platform::ProgramEnding{};
        if (done()) return true;
    } while (runNextDueBy(deadline));
    now_ = std::max(now_, deadline);
    return done();
}

bool FakeEventLoop::runUntil(const std::function<bool()>& done, int64_t ms) {
    const int64_t deadline = now_ + ms;
    while (!done())
        if (!runNextDueBy(deadline)) return now_ = std::max(now_, deadline), done();
    return true;
}

std::unique_ptr<platform::Timer> FakeEventLoop::createTimer(std::function<void()> onTick) {
    return std::make_unique<FakeTimer>(*this, std::move(onTick));
}

}  // namespace ostrell::fake
