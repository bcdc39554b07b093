#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDateTime>
#include <QTimer>

#include "AdapterTestSupport.h"
#include "platform/qt/QtEventLoop.h"

using ostrell::platform::ProgramEnding;
using ostrell::platform::QtEventLoop;

namespace {

class QtEventLoopTest : public ::testing::Test {
protected:
    QCoreApplication& app_ = ostrell::adaptertest::testApp();  // first: the loop needs it
    QtEventLoop loop_;
};

// Times this thread gave up the processor of its own accord: one per sleep in the event dispatcher.
long voluntarySwitches() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

}  // namespace

TEST_F(QtEventLoopTest, WaitsEndWithTheirConditionTimersTickUntilStoppedAndPostedCallsRunOnce) {
    int ticks = 0, posted = 0;
    auto timer = loop_.createTimer([&] { ++ticks; });
    timer->setInterval(10);
    EXPECT_TRUE(loop_.waitUntil([&] { return ticks >= 3; }, 8000));
    timer->setInterval(0);
    loop_.post(20, [&] { ++posted; });
    const int64_t started = loop_.nowMs();
    EXPECT_FALSE(loop_.waitUntil([] { return false; }, 150)) << "the deadline gives up";
    EXPECT_GE(loop_.nowMs() - started, 150);
    EXPECT_EQ(std::pair(ticks >= 3 && ticks < 8, posted), std::pair(true, 1)) << ticks << " ticks after the stop";
    // A condition that no event changes (here the clock) is still seen long before the deadline.
    EXPECT_TRUE(loop_.waitUntil([&] { return loop_.nowMs() - started >= 200; }, 8000));
    EXPECT_LT(loop_.nowMs() - started, 4000);
}

// A pause runs the events due and then sleeps through: no periodic wake-ups, as a wait's 50 ms looks.
TEST_F(QtEventLoopTest, APauseRunsEventsAndSleepsThroughToItsEnd) {
    int posted = 0;
    loop_.post(20, [&] { ++posted; });
    const int64_t started = loop_.nowMs();
    const long switchesBefore = voluntarySwitches();
    loop_.pause(600);
    EXPECT_LE(voluntarySwitches() - switchesBefore, 5);
    EXPECT_EQ(posted, 1);
    EXPECT_GE(loop_.nowMs() - started, 600);
}

// The end request comes from a timer tick that itself waits, as a cycle does: the inner wait throws, the
// exception stays out of Qt, the outer wait throws too, and so does every later wait, pause and run.
TEST_F(QtEventLoopTest, AnEndRequestUnwindsEveryWaitAndEndsTheMainLoop) {
    bool tickUnwound = false;
    auto timer = loop_.createTimer([&] {
        const std::unique_ptr<bool, void (*)(bool*)> unwound(&tickUnwound, [](bool* b) { *b = true; });
        loop_.post(10, [&] { loop_.requestEnd(); });
        loop_.waitUntil([] { return false; }, 8000);
        ADD_FAILURE() << "the inner wait returned instead of throwing";
    });
    timer->setInterval(10);
    EXPECT_THROW(loop_.waitUntil([] { return false; }, 8000), ProgramEnding);
    EXPECT_TRUE(tickUnwound);
    EXPECT_THROW(loop_.pause(8000), ProgramEnding);
    timer->setInterval(0);
    QtEventLoop mainLoop;
    mainLoop.post(10, [&] { mainLoop.requestEnd(); });
    QTimer::singleShot(8000, [] { QCoreApplication::exit(7); });  // bounds the test if run() missed the end
    EXPECT_EQ(mainLoop.run(), 0);
    QtEventLoop endedEarly;
    endedEarly.requestEnd();
    EXPECT_EQ(endedEarly.run(), 0) << "an end requested before the loop starts is not lost";
}

// The stamp is made once a second and kept: it must always name the current local second.
TEST_F(QtEventLoopTest, LogTimestampFollowsTheClockSecondBySecond) {
    const auto stampNow = [] { return QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss").toStdString(); };
    for (int i = 0; i < 200; ++i) {
        const std::string before = stampNow(), stamp = loop_.logTimestamp(), after = stampNow();
        ASSERT_TRUE(stamp == before || stamp == after) << before << " / " << stamp << " / " << after;
    }
    const std::string first = loop_.logTimestamp();
    loop_.pause(1001 - QDateTime::currentMSecsSinceEpoch() % 1000);  // into the next second
    EXPECT_NE(loop_.logTimestamp(), first);
}
