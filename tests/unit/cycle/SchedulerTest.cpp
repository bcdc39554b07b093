#include <gtest/gtest.h>

#include "unit/Fixture.h"

using namespace ostrell;
using unittest::CycleFixture;

TEST(SyncCycle, WithTheDefaultLengthTheFirstTickRunsACycleThenTheSixteenthTickAfterItsEnd) {
    // With the count on screen tmrMain ticks every second; hidden, it wakes once, for the cycle.
    for (const bool shown : {true, false}) {
        CycleFixture f;
        std::vector<int64_t> cycleStarts;
        f.steps.duringGetFiles = [&] { cycleStarts.push_back(f.loop.nowMs()); };
        f.start(shown);
        f.loop.runFor(1000);
        ASSERT_EQ(f.lastTryWrites(), 1) << "the first tick after start-up runs a cycle at once";
        const int64_t firstEnd = f.loop.nowMs();
        EXPECT_EQ(f.scheduler.tickTimer().interval(), shown ? 1000 : 16000);
        f.loop.runFor(15 * 1000);
        const std::vector<int> counted{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
        EXPECT_EQ(f.ticksShown, shown ? counted : std::vector<int>());
        EXPECT_EQ(f.lastTryWrites(), 1);
        f.loop.runFor(1000);
        EXPECT_EQ(f.lastTryWrites(), 2) << "the sixteenth tick after the end of the first cycle";
        ASSERT_EQ(cycleStarts.size(), 2u);
        // The second cycle's connection starts 16 s after the first ended (the time in a cycle is not counted).
        EXPECT_GE(cycleStarts[1] - firstEnd, 16000);
        EXPECT_LT(cycleStarts[1] - firstEnd, 17000);
        EXPECT_TRUE(f.sinks.reports.empty());
    }
}

TEST(SyncCycle, AHiddenCountCatchesUpWhenShownAndFollowsANewLength) {
    CycleFixture f;
    f.start(false);
    f.loop.runFor(1000);
    const int64_t end = f.loop.nowMs();
    f.loop.runFor(5400);
    f.scheduler.setCountdownShown(true);  // the window opens: the box shows the seconds so far, then each one
    f.loop.runFor(2000);
    EXPECT_EQ(f.ticksShown, (std::vector<int>{5, 6, 7}));
    f.scheduler.setCountdownShown(false);
    f.params.timeoutSecs = 9;  // a refresh shortens the cycle
    f.scheduler.lengthChanged();
    f.loop.runUntil([&] { return f.lastTryWrites() == 2; }, 20000);
    EXPECT_EQ(f.lastTryWrites(), 2);
    EXPECT_NEAR(static_cast<double>(f.loop.nowMs() - end), 10000, 600) << "the tenth second after the end";
}

TEST(SyncCycle, ALengthOfZeroOrLessRunsACycleOnEveryTickAnd1000StartsOnTheSecondTick) {
    for (int32_t length : {0, -5}) {
        CycleFixture f;
        f.params.hasLoNumber = false;
        f.params.timeoutSecs = length;
        f.scheduler.tickCount = 0;
        f.scheduler.tickTimer().setInterval(1000);
        for (int tick = 1; tick <= 3; ++tick) {
            f.loop.runUntil([&] { return f.lastTryWrites() == tick; }, 5000);
            EXPECT_EQ(f.lastTryWrites(), tick) << length;
        }
        EXPECT_TRUE(f.ticksShown.empty()) << length;
    }
    CycleFixture f;
    f.params.timeoutSecs = 1000;
    f.start();
    f.loop.runFor(1000);
    EXPECT_EQ(f.lastTryWrites(), 0);
    EXPECT_EQ(f.ticksShown, std::vector<int>{1000});
    f.loop.runFor(1000);
    EXPECT_EQ(f.lastTryWrites(), 1) << "tick 2 for a length of 1000";
}

TEST(SyncCycle, StepsRunInOrderWithTheTimerStoppedAndTheQuitLineLast) {
    CycleFixture f;
    int intervalInCycle = -1;
    f.steps.duringGetFiles = [&] { intervalInCycle = f.scheduler.tickTimer().interval(); };
    f.start();
    f.loop.runFor(1000);
    EXPECT_EQ(f.journal,
              (std::vector<std::string>{"> tolvane|QHT514", "TransFiles", "SendFiles", "GetFiles", "> quit"}));
    EXPECT_EQ(intervalInCycle, 0);
    EXPECT_EQ(f.scheduler.tickTimer().interval(), 1000);
    EXPECT_EQ(f.launcher.started, std::vector<std::string>{"/opt/ostrell/BKrunVRX.exe"});
    EXPECT_EQ(f.lastWrites(), 1);
    EXPECT_EQ(f.store.writes[0].rfind("Ostrell/LastTry=06/12/2026 00:00:01", 0), 0u) << f.store.writes[0];
    EXPECT_EQ(f.store.writes[1].rfind("Ostrell/Last=06/12/2026 00:00:01", 0), 0u) << "taken after the logon";
}

TEST(SyncCycle, NoFilesWaitingSkipsOnlyTheSendAndNoBkNumberSkipsUploadAndDownload) {
    CycleFixture f;
    f.steps.filesWaiting = false;
    f.start();
    f.loop.runFor(1000);
    EXPECT_EQ(f.journal, (std::vector<std::string>{"> tolvane|QHT514", "TransFiles", "GetFiles", "> quit"}));

    CycleFixture g;
    g.params.hasLoNumber = false;
    g.start();
    g.loop.runFor(1000);
    EXPECT_EQ(g.journal, (std::vector<std::string>{"> tolvane|QHT514", "> quit"}));
    EXPECT_EQ(g.lastWrites(), 1);
    EXPECT_EQ(g.launcher.started.size(), 1u) << "the importer is started all the same";
}

TEST(SyncCycle, AFailedConnectionSavesLastTryButNotLastAndSkipsEverythingElse) {
    CycleFixture f;
    f.socket.acceptConnections = false;
    f.start();
    f.loop.runFor(1000);
    EXPECT_EQ(f.lastTryWrites(), 1);
    EXPECT_EQ(f.lastWrites(), 0);
    EXPECT_TRUE(f.journal.empty()) << "no step, no quit line";
    EXPECT_TRUE(f.launcher.started.empty()) << "CheckVRX is not called";
    EXPECT_EQ(f.scheduler.tickTimer().interval(), 1000);
    EXPECT_EQ(f.scheduler.tickCount, 0);
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(SyncCycle, AHeldConnectionIsUsedAsItIsAndADownloadQuitIsFollowedByASecondQuit) {
    CycleFixture f;
    f.params.hasLoNumber = false;
    f.start();
    f.loop.runFor(1000);
    ASSERT_TRUE(f.connection.isConnected()) << "the server did not close after the quit line";
    f.params.hasLoNumber = true;
    f.steps.duringGetFiles = [&] { f.connection.endExchange(); };
    f.journal.clear();
    f.loop.runFor(16000);
    EXPECT_EQ(f.socket.connectCalls, 1);
    EXPECT_EQ(f.journal, (std::vector<std::string>{"TransFiles", "SendFiles", "GetFiles", "> quit", "> quit"}));
}

TEST(SyncCycle, AFailingStepIsReportedUnderTheTickAndTheCycleGoesOn) {
    CycleFixture f;
    f.store.failWrites = true;
    f.launcher.failAll = true;
    f.start();
    f.loop.runFor(1000);
    EXPECT_EQ(f.sinks.where(), (std::vector<std::string>{"tmrMain_Timer:25", "tmrMain_Timer:30", "CheckVRX:25"}));
    EXPECT_EQ(f.journal.back(), "> quit");
    EXPECT_EQ(f.scheduler.tickTimer().interval(), 1000);
}
