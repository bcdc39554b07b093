#include "platform/qt/QtEventLoop.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QLocale>
#include <QTimer>
#include <algorithm>

#include "platform/qt/QtCallbackGuard.h"

namespace ostrell::platform {

namespace {

// A wait looks at its condition at least this often, events or not.
constexpr int64_t RecheckMs = 50;

class QtTimer : public Timer {
public:
    explicit QtTimer(std::function<void()> onTick) : onTick_(std::move(onTick)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { runFromEventLoop("a timer tick", onTick_); });
    }
    void setInterval(int ms) override {
        interval_ = std::max(ms, 0);
        if (interval_ == 0) timer_.stop();
        else timer_.start(interval_);
    }
    int interval() const override { return interval_; }

private:
    std::function<void()> onTick_;
    QTimer timer_;
    int interval_ = 0;
};

// The user's long time format without its time-zone part: stamps show the clock time only, as the
// host product's desktop does.
QString longTimeFormatWithoutZone() {
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') quoted = !quoted;
        if (!quoted && c == u't') continue;
        out += c;
    }
    return out.trimmed();
}

}  // namespace

QtEventLoop::QtEventLoop() { clock_.start(); }

int64_t QtEventLoop::nowMs() const { return clock_.elapsed(); }

int64_t QtEventLoop::wallClockMs() const { return QDateTime::currentMSecsSinceEpoch(); }

std::string QtEventLoop::localDateTimeText() const {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    const QString text = locale.toString(now.date(), QLocale::ShortFormat) + u' ' +
                         locale.toString(now.time(), longTimeFormatWithoutZone());
    return text.toStdString();
}

std::string QtEventLoop::logTimestamp() const {
    // Local time makes the C library look at the zone file again on every call, and a busy exchange
    // writes several stamped lines per record: the text is made once per second of the clock and kept.
    // Zone changes happen on whole seconds, so a kept text is never stale.
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    if (second != stampSecond_) {
        stampText_ =
            QDateTime::fromSecsSinceEpoch(second).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
        stampSecond_ = second;
    }
    return stampText_;
}

std::string QtEventLoop::isoTimestamp() const {
    const QDateTime now = QDateTime::currentDateTime();
    // Qt writes a zero offset as "Z"; the status file always carries the offset in one form.
    std::string text = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate).toStdString();
    if (!text.empty() && text.back() == 'Z') text.replace(text.size() - 1, 1, "+00:00");
    return text;
}

void QtEventLoop::yield() { QCoreApplication::processEvents(); }

void QtEventLoop::throwIfEnding() const {
    if (endRequested_) throw ProgramEnding{};
}

bool QtEventLoop::waitUntil(const std::function<bool()>& done, int64_t timeoutMs) {
    throwIfEnding();
    if (done()) return true;
    timeoutMs = std::max<int64_t>(timeoutMs, 0);
    const int64_t deadline = nowMs() + timeoutMs;
    // The wake-up makes the blocking dispatch below return even when nothing else happens.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        const int64_t left = deadline - nowMs();
        if (left <= 0) return done();
        // Re-armed each round: a condition on the outside world (a file, another process) changes without
        // any event, and a timer that fired a little early against this clock must not leave us blocked.
        if (!wake.isActive()) wake.start(static_cast<int>(std::min<int64_t>(left, RecheckMs)));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        throwIfEnding();
        if (done()) return true;
    }
}

void QtEventLoop::pause(int64_t ms) {
    throwIfEnding();
    const int64_t deadline = nowMs() + std::max<int64_t>(ms, 0);
    // One wake-up at the end and the events in between: an idle agent pauses in every cycle, and a
    // re-check every RecheckMs would wake it for nothing.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        const int64_t left = deadline - nowMs();
        if (left <= 0) return;
        if (!wake.isActive()) wake.start(static_cast<int>(std::min<int64_t>(left, INT32_MAX)));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        throwIfEnding();
    }
}

std::unique_ptr<Timer> QtEventLoop::createTimer(std::function<void()> onTick) {
    return std::make_unique<QtTimer>(std::move(onTick));
}

void QtEventLoop::post(int64_t delayMs, std::function<void()> fn) {
    const auto delay = static_cast<int>(std::clamp<int64_t>(delayMs, 0, INT32_MAX));
    QTimer::singleShot(delay, Qt::PreciseTimer, &context_,
                       [fn = std::move(fn)] { runFromEventLoop("a posted call", fn); });
}

void QtEventLoop::requestEnd() {
    endRequested_ = true;
    QCoreApplication::quit();
}

int QtEventLoop::run() {
    if (endRequested_) return 0;
    return QCoreApplication::exec();
}

}  // namespace ostrell::platform
