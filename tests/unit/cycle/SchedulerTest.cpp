#include <gtest/gtest.h>

#include <array>

#include "unit/Fixture.h"

using namespace ostrell::unittest;

// When cycles run: start-up leaves one due, each length counts from the end of the cycle before. Rows: count
// shown, length (s), ms when the window opens/closes and when the length becomes 9 s (0: never), ms run;
// the clock times of the attempts, the counts shown.
TEST(Scheduler, CyclesRunWhenTheCountReachesTheLength) {
    // clang-format off
    const auto cases = std::to_array<std::tuple<const char*, bool, int32_t, int64_t, int64_t, int64_t, Lines, std::vector<int>>>({
        {"shown", true, 15, 0, 0, 17500, {"00:00:01", "00:00:17"}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {"hidden", false, 15, 0, 0, 17500, {"00:00:01", "00:00:17"}, {}},
        {"length 0: every tick", false, 0, 0, 0, 3500, {"00:00:01", "00:00:02", "00:00:03"}, {}},
        {"shown later: the seconds so far, then each", false, 15, 6400, 0, 8900, {"00:00:01"}, {5, 6, 7}},
        {"a refresh shortens the cycle", false, 15, 0, 3000, 12000, {"00:00:01", "00:00:11"}, {}}});
    // clang-format on
    for (const auto& [name, shown, lengthSecs, toggleShownAtMs, newLengthAtMs, runMs, attempts, ticksShown] : cases) {
        CycleFixture f;
        f.params.timeoutSecs = lengthSecs;
        f.scheduler.setCountdownShown(shown);
        f.scheduler.startWithCycleDue();
        if (toggleShownAtMs)
            f.loop.post(toggleShownAtMs, [&, shown = shown] { f.scheduler.setCountdownShown(!shown); });
        if (newLengthAtMs) f.loop.post(newLengthAtMs, [&] { f.params.timeoutSecs = 9, f.scheduler.lengthChanged(); });
        f.loop.runFor(runMs);
        EXPECT_EQ(f.written("LastTry"), attempts) << name;
        EXPECT_EQ(f.ticksShown, ticksShown) << name;
    }
}

// What a cycle does. Rows: files waiting, a BK number, server up, store and launcher failing, an end requested
// in GetFiles, ms run; the journal, attempts, successes, importer starts, reports.
TEST(Scheduler, ACycleRunsItsStepsInOrder) {
    const Lines all{"> tolvane|QHT514", "TransFiles", "SendFiles", "GetFiles", "timer stopped", "> quit"};
    // clang-format off
    const auto cases = std::to_array<std::tuple<const char*, bool, bool, bool, bool, bool, int64_t, Lines, size_t, size_t, size_t, size_t>>({
        {"files waiting", true, true, true, false, false, 1000, all, 1, 1, 1, 0},
        {"nothing to send", false, true, true, false, false, 1000, {all[0], all[1], all[3], all[4], all[5]}, 1, 1, 1, 0},
        {"no BK number", true, false, true, false, false, 1000, {all[0], all[5]}, 1, 1, 1, 0},
        {"no connection", true, true, false, false, false, 1000, {}, 1, 0, 0, 0},
        {"a held connection is used again; the importer still runs, so no download", true, true, true, false, false, 17500,
            {all[0], all[1], all[2], all[3], all[4], all[5], all[1], all[2], all[5]}, 2, 2, 1, 0},
        {"failures are reported, the cycle goes on", true, true, true, true, false, 1000, all, 0, 0, 0, 3},
        {"an end unwinds it", true, true, true, false, true, 1000, {all[0], all[1], all[2], all[3], all[4]}, 1, 1, 0, 0}});
    // clang-format on
    for (const auto& [name, filesWaiting, hasBkNumber, serverUp, faulty, endInGetFiles, runMs, journal, attempts,
                      successes, importerStarts, reports] : cases) {
        CycleFixture f;
        f.steps.filesWaiting = filesWaiting;
        f.params.hasBkNumber = hasBkNumber;
        f.socket.acceptConnections = serverUp;
        f.store.failWrites = f.launcher.failAll = faulty;
        f.steps.duringGetFiles = [&, endInGetFiles = endInGetFiles] {
            if (f.scheduler.tickTimer().interval() == 0) f.journal.push_back("timer stopped");
            if (endInGetFiles) f.loop.requestEnd(), f.loop.waitUntil([] { return false; }, 100);
        };
        f.scheduler.startWithCycleDue();
        if (endInGetFiles) EXPECT_THROW(f.loop.runFor(runMs), ostrell::platform::ProgramEnding) << name;
        else f.loop.runFor(runMs);
        EXPECT_EQ(f.journal, journal) << name;
        EXPECT_EQ((std::vector{f.written("LastTry").size(), f.written("Last").size(), f.launcher.started.size(),
                               f.sinks.reports.size()}),
                  (std::vector{attempts, successes, importerStarts, reports}))
            << name;
        EXPECT_EQ(f.scheduler.tickTimer().interval() > 0, !endInGetFiles) << name << ": and runs again after it";
    }
}

// Three cycles; "DBase", program directory, importer missing, our copy ended between; starts, log texts (said
// once for a copy still running, not every cycle), reports.
TEST(Importer, StartedWhenTheDatabaseKeyHoldsAnythingAndOurLastCopyEnded) {
    // clang-format off
    const auto cases = std::to_array<std::tuple<std::string, const char*, bool, bool, Lines, Lines, size_t>>({
        {"", "/opt", false, true, {}, {}, 0},
        {" ", "/opt/", false, true, {"/opt/BKrunVRX.exe", "/opt/BKrunVRX.exe", "/opt/BKrunVRX.exe"}, {}, 0},
        {"x.mdb", "/", false, true, {"/BKrunVRX.exe", "/BKrunVRX.exe", "/BKrunVRX.exe"}, {}, 0},
        {"x.mdb", "/opt", false, false, {"/opt/BKrunVRX.exe"}, {"BKrunVRX.exe still running - download waits for the next cycle.",
            "BKrunVRX.exe still running - not started again."}, 0},
        {"x.mdb", "/opt", true, true, {}, {}, 3}});
    // clang-format on
    for (const auto& [dbase, directory, missing, finishedBetween, started, log, reports] : cases) {
        CycleFixture f;
        f.store.set("VRX1", "DBase", dbase);
        f.launcher.directory = directory;
        if (missing) f.launcher.missing.insert("/opt/BKrunVRX.exe");
        f.importer.launchIfDue();
        for (int cycle = 2; cycle <= 3; ++cycle) {
            if (finishedBetween) f.launcher.finishAll();
            f.importer.readingIncomingFiles();
            f.importer.launchIfDue();
        }
        EXPECT_EQ(f.launcher.started, started) << dbase << " in " << directory;
        EXPECT_EQ(f.logTexts(), log) << dbase;
        EXPECT_EQ(f.sinks.reports.size(), reports) << dbase;
    }
}
