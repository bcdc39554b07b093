#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDateTime>
#include <QRegularExpression>

#include "AdapterTestSupport.h"
#include "platform/qt/QtEventLoop.h"

using ostrell::adaptertest::testApp;
using ostrell::platform::ProgramEnding;
using ostrell::platform::QtEventLoop;

namespace {

// Times this thread gave up the processor of its own accord: one per sleep in the event dispatcher.
long voluntarySwitches() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

class PauseTest : public ::testing::Test {
protected:
    QCoreApplication& app_ = testApp();
    QtEventLoop loop_;
};

}  // namespace

TEST_F(PauseTest, APauseRunsEventsAndSleepsThroughToItsEndWithoutPeriodicWakeUps) {
    int posted = 0;
    loop_.post(20, [&] { ++posted; });
    const int64_t started = loop_.nowMs();
    const long switchesBefore = voluntarySwitches();
    loop_.pause(600);
    const long switches = voluntarySwitches() - switchesBefore;
    const int64_t paused = loop_.nowMs() - started;
    EXPECT_EQ(posted, 1) << "events due during the pause run";
    EXPECT_GE(paused, 600);
    EXPECT_LT(paused, 600 + 4000);
    // A wait's condition is looked at every 50 ms (12 sleeps in 600 ms); a pause has none to look at:
    // one sleep up to the posted call, one to the end, and a little slack for the machine.
    EXPECT_LE(switches, 5) << "the pause woke " << switches << " times";

    loop_.post(10, [&] { loop_.requestEnd(); });
    EXPECT_THROW(loop_.pause(8000), ProgramEnding) << "an end request ends a pause at once";
    EXPECT_LT(loop_.nowMs() - started, 600 + 4000);
}

TEST_F(PauseTest, LogTimestampFollowsTheClockSecondBySecond) {
    // Made once per second and kept: two stamps taken around a second's turn must differ, and a stamp
    // always names the current local second (taken between two readings of the clock).
    const QRegularExpression form(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
    const auto stampNow = [] {
        return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
    };
    for (int i = 0; i < 200; ++i) {
        const std::string before = stampNow();
        const std::string stamp = loop_.logTimestamp();
        const std::string after = stampNow();
        ASSERT_TRUE(form.match(QString::fromStdString(stamp)).hasMatch()) << stamp;
        ASSERT_TRUE(stamp == before || stamp == after) << before << " / " << stamp << " / " << after;
    }
    const std::string first = loop_.logTimestamp();
    loop_.pause(1001 - QDateTime::currentMSecsSinceEpoch() % 1000);  // into the next second
    EXPECT_NE(loop_.logTimestamp(), first) << "a kept stamp must not outlive its second";
}
