#include <gtest/gtest.h>

#include <QTimer>

#include "AdapterTestSupport.h"
#include "platform/qt/QtEventLoop.h"

using ostrell::platform::ProgramEnding;
using ostrell::platform::QtEventLoop;

TEST(QtEventLoop, WaitsEndWithTheirConditionTimersTickUntilStoppedAndPostedCallsRunOnce) {
    ostrell::adaptertest::testApp();
    QtEventLoop loop;
    int ticks = 0, posted = 0;
    auto timer = loop.createTimer([&] { ++ticks; });
    timer->setInterval(10);
    EXPECT_TRUE(loop.waitUntil([&] { return ticks >= 3; }, 8000));
    timer->setInterval(0);
    loop.post(20, [&] { ++posted; });
    const int64_t started = loop.nowMs();
    EXPECT_FALSE(loop.waitUntil([] { return false; }, 150)) << "the deadline gives up";
    EXPECT_EQ(std::tuple(loop.nowMs() - started >= 150, ticks < 8, posted), std::tuple(true, true, 1)) << ticks;
    // A condition that no event changes (here the clock) is still seen long before the deadline.
    EXPECT_TRUE(loop.waitUntil([&] { return loop.nowMs() - started >= 200; }, 8000));
    EXPECT_LT(loop.nowMs() - started, 4000);
}

// The end request comes from a timer tick that itself waits, as a cycle does: the inner wait throws, the
// exception stays out of Qt, the outer wait throws too, and so does every later wait and pause.
TEST(QtEventLoop, AnEndRequestUnwindsEveryWaitAndEndsTheMainLoop) {
    ostrell::adaptertest::testApp();
    QtEventLoop loop, mainLoop, endedEarly;
    bool tickUnwound = false;
    auto timer = loop.createTimer([&] {
        const std::unique_ptr<bool, void (*)(bool*)> unwound(&tickUnwound, [](bool* b) { *b = true; });
        loop.post(10, [&] { loop.requestEnd(); });
        loop.waitUntil([] { return false; }, 8000);
        ADD_FAILURE() << "the inner wait returned instead of throwing";
    });
    timer->setInterval(10);
    EXPECT_THROW(loop.waitUntil([] { return false; }, 8000), ProgramEnding);
    EXPECT_TRUE(tickUnwound);
    EXPECT_THROW(loop.pause(8000), ProgramEnding);
    timer->setInterval(0);
    mainLoop.post(10, [&] { mainLoop.requestEnd(); });
    const QObject watchdog;  // bounds the test if run() missed the end
    QTimer::singleShot(8000, &watchdog, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(mainLoop.run(), 0);
    endedEarly.requestEnd();
    EXPECT_EQ(endedEarly.run(), 0) << "an end requested before the loop starts is not lost";
}
