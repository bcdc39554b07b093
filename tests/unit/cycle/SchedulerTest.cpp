#include <gtest/gtest.h>

#include "unit/Fixture.h"

using namespace ostrell;
using unittest::CycleFixture;
using unittest::Lines;

// When the cycles run: start-up leaves a cycle due, and each cycle's length counts from the end of the one
// before. Hidden, the count wakes only for a cycle; shown, it ticks and shows every second.
TEST(Scheduler, CyclesRunWhenTheCountReachesTheLength) {
    const std::vector<int> oneToFifteen{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    // name, count shown, cycle length (s), when the window opens or closes, when the length becomes 9 s (0:
    // never), how long it runs (ms); the clock times of the attempts, the counts shown.
    const std::tuple<const char*, bool, int32_t, int64_t, int64_t, int64_t, Lines, std::vector<int>> cases[] = {
        // clang-format off
        {"shown", true, 15, 0, 0, 17500, {"00:00:01", "00:00:17"}, oneToFifteen},
        {"hidden", false, 15, 0, 0, 17500, {"00:00:01", "00:00:17"}, {}},
        {"length 0: every tick", true, 0, 0, 0, 3500, {"00:00:01", "00:00:02", "00:00:03"}, {}},
        {"below 0: every tick", false, -5, 0, 0, 3500, {"00:00:01", "00:00:02", "00:00:03"}, {}},
        {"length 1000: the second tick", true, 1000, 0, 0, 2500, {"00:00:02"}, {1000}},
        {"shown later: the seconds so far, then each", false, 15, 6400, 0, 8900, {"00:00:01"}, {5, 6, 7}},
        {"a refresh shortens the cycle", false, 15, 0, 3000, 12000, {"00:00:01", "00:00:11"}, {}}};
    // clang-format on
    for (const auto& [name, shown, lengthSecs, toggleShownAtMs, newLengthAtMs, runMs, attempts, ticksShown] : cases) {
        CycleFixture f;
        f.params.timeoutSecs = lengthSecs;
        f.scheduler.setCountdownShown(shown);
        f.scheduler.startWithCycleDue();
        if (toggleShownAtMs) f.loop.post(toggleShownAtMs, [&] { f.scheduler.setCountdownShown(!shown); });
        if (newLengthAtMs) f.loop.post(newLengthAtMs, [&] { f.params.timeoutSecs = 9, f.scheduler.lengthChanged(); });
        f.loop.runFor(runMs);
        EXPECT_EQ(f.written("LastTry"), attempts) << name;
        EXPECT_EQ(f.ticksShown, ticksShown) << name;
        EXPECT_EQ(f.written("Last").size(), attempts.size()) << name;
        EXPECT_TRUE(f.sinks.reports.empty()) << name;
    }
}

// What a cycle does: its steps in order with its timer stopped, the quit line, the importer, the success.
TEST(Scheduler, ACycleRunsItsStepsInOrder) {
    const Lines all{"> tolvane|QHT514", "TransFiles", "SendFiles", "GetFiles", "> quit"};
    // name, files waiting, a BK number, server up, store and launcher failing, an end requested in GetFiles,
    // how long it runs (ms); the journal, attempts, successes, importer starts, reports.
    const std::tuple<const char*, bool, bool, bool, bool, bool, int64_t, Lines, size_t, size_t, size_t, size_t>
        cases[] = {
            // clang-format off
        {"files waiting", true, true, true, false, false, 1000, all, 1, 1, 1, 0},
        {"nothing to send", false, true, true, false, false, 1000, {all[0], all[1], all[3], all[4]}, 1, 1, 1, 0},
        {"no BK number", true, false, true, false, false, 1000, {all[0], all[4]}, 1, 1, 1, 0},
        {"no connection", true, true, false, false, false, 1000, {}, 1, 0, 0, 0},
        {"a held connection is used again (the importer still runs)", true, true, true, false, false, 17500,
            {all[0], all[1], all[2], all[3], all[4], all[1], all[2], all[3], all[4]}, 2, 2, 1, 0},
        {"failures are reported, the cycle goes on", true, true, true, true, false, 1000, all, 0, 0, 0, 3},
        {"an end unwinds it", true, true, true, false, true, 1000, {all[0], all[1], all[2], all[3]}, 1, 1, 0, 0}};
    // clang-format on
    for (const auto& [name, filesWaiting, hasLoNumber, serverUp, faulty, endInGetFiles, runMs, journal, attempts,
                      successes, importerStarts, reports] : cases) {
        CycleFixture f;
        f.steps.filesWaiting = filesWaiting;
        f.params.hasLoNumber = hasLoNumber;
        f.socket.acceptConnections = serverUp;
        f.store.failWrites = f.launcher.failAll = faulty;
        int intervalInCycle = -1;
        f.steps.duringGetFiles = [&] {
            intervalInCycle = f.scheduler.tickTimer().interval();
            if (endInGetFiles) f.loop.requestEnd(), f.loop.waitUntil([] { return false; }, 100);
        };
        f.scheduler.startWithCycleDue();
        bool ended = false;
        try {
            f.loop.runFor(runMs);
        } catch (const platform::ProgramEnding&) {
            ended = true;
        }
        EXPECT_EQ(ended, endInGetFiles) << name;
        EXPECT_EQ(f.journal, journal) << name;
        EXPECT_EQ(f.written("LastTry").size(), attempts) << name;
        EXPECT_EQ(f.written("Last").size(), successes) << name;
        EXPECT_EQ(f.launcher.started.size(), importerStarts) << name;
        EXPECT_EQ(f.sinks.reports.size(), reports) << name;
        EXPECT_EQ(intervalInCycle, journal.size() > 3 ? 0 : -1) << name << ": the timer stops in a cycle";
        EXPECT_EQ(f.scheduler.tickTimer().interval() > 0, !ended) << name << ": and runs again after it";
    }
}

// Two cycles: started when "DBase" holds anything, even a blank, from the program's directory; not again
// while our last copy runs (the transfer log says so); a missing importer is reported each time.
TEST(Importer, StartedWhenTheDatabaseKeyHoldsAnythingAndOurLastCopyEnded) {
    const std::string still = "BKrunVRX.exe still running - not started again.";
    // "DBase", the program's directory, importer missing, our copy ended between the cycles; expected starts,
    // transfer log texts and reports.
    const std::tuple<std::optional<std::string>, const char*, bool, bool, Lines, Lines, size_t> cases[] = {
        // clang-format off
        {std::nullopt, "/opt/ostrell", false, true, {}, {}, 0},
        {"", "/opt/ostrell", false, true, {}, {}, 0},
        {" ", "/opt/ostrell/", false, true, {"/opt/ostrell/BKrunVRX.exe", "/opt/ostrell/BKrunVRX.exe"}, {}, 0},
        {"x.mdb", "/", false, true, {"/BKrunVRX.exe", "/BKrunVRX.exe"}, {}, 0},
        {"x.mdb", "/opt/ostrell", false, false, {"/opt/ostrell/BKrunVRX.exe"}, {still}, 0},
        {"x.mdb", "/opt/ostrell", true, true, {}, {}, 2}};
    // clang-format on
    for (const auto& [dbase, directory, missing, finishedBetween, started, log, reports] : cases) {
        CycleFixture f;
        f.store.values.clear();
        if (dbase) f.store.set("VRX1", "DBase", *dbase);
        f.launcher.directory = directory;
        if (missing) f.launcher.missing.insert("/opt/ostrell/BKrunVRX.exe");
        f.importer.launchIfDue();
        if (finishedBetween) f.launcher.finishAll();
        f.importer.launchIfDue();
        EXPECT_EQ(f.launcher.started, started) << dbase.value_or("absent") << " in " << directory;
        EXPECT_EQ(f.logTexts(), log) << dbase.value_or("absent");
        EXPECT_EQ(f.sinks.reports.size(), reports) << dbase.value_or("absent");
    }
}
