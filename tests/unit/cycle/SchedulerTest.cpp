#include <gtest/gtest.h>

#include <array>

#include "unit/Fixture.h"

using namespace ostrell::unittest;

// When cycles run: start-up leaves one due, each length counts from the end of the cycle before; a refresh
// may make it 9 s. The clock times of the attempts and the counts shown.
TEST(Scheduler, CyclesRunWhenTheCountReachesTheLength) {
    struct Row {
        const char* name;
        bool shown = false;
        int32_t secs = 15;
        int64_t shownAt = 0, shorterAt = 0, ms = 17500;  // 0: never
        Lines attempts = {"00:00:01", "00:00:17"};
        std::vector<int> ticksShown = {};
    };
    const auto rows = std::to_array<Row>({
        {.name = "shown", .shown = true, .ticksShown = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {.name = "length 0: every tick", .secs = 0, .ms = 3500, .attempts = {"00:00:01", "00:00:02", "00:00:03"}},
        {.name = "shown later", .shownAt = 6400, .ms = 8900, .attempts = {"00:00:01"}, .ticksShown = {5, 6, 7}},
        {.name = "a refresh shortens it", .shorterAt = 3000, .ms = 12000, .attempts = {"00:00:01", "00:00:11"}},
    });
    for (const Row& r : rows) {
        CycleFixture f;
        f.params.timeoutSecs = r.secs;
        f.scheduler.setCountdownShown(r.shown);
        f.scheduler.startWithCycleDue();
        if (r.shownAt) f.loop.post(r.shownAt, [&] { f.scheduler.setCountdownShown(!r.shown); });
        if (r.shorterAt) f.loop.post(r.shorterAt, [&] { f.params.timeoutSecs = 9, f.scheduler.lengthChanged(); });
        f.loop.runFor(r.ms);
        EXPECT_EQ(f.written("LastTry"), r.attempts) << r.name;
        EXPECT_EQ(f.ticksShown, r.ticksShown) << r.name;
    }
}

// What a cycle does: the journal, and how many attempts, successes, importer starts and reports.
TEST(Scheduler, ACycleRunsItsStepsInOrder) {
    const Lines all{"> tolvane|QHT514", "TransFiles", "SendFiles", "GetFiles", "timer stopped", "> quit"};
    struct Row {
        const char* name;
        bool waiting = true, hasBkNumber = true, serverUp = true, faulty = false, endIn = false;
        int64_t ms = 1000;
        Lines journal;
        std::vector<size_t> counts = {1, 1, 1, 0};  // attempts, successes, importer starts, reports
    };
    const auto rows = std::to_array<Row>({
        {.name = "nothing to send", .waiting = false, .journal = {all[0], all[1], all[3], all[4], all[5]}},
        {.name = "no BK number", .hasBkNumber = false, .journal = {all[0], all[5]}},
        {.name = "no connection", .serverUp = false, .journal = {}, .counts = {1, 0, 0, 0}},
        {.name = "held connection used again; no download while the importer runs",
         .ms = 17500,
         .journal = {all[0], all[1], all[2], all[3], all[4], all[5], all[1], all[2], all[5]},
         .counts = {2, 2, 1, 0}},
        {.name = "failures are reported, the cycle goes on", .faulty = true, .journal = all, .counts = {0, 0, 0, 3}},
        {.name = "an end unwinds it",
         .endIn = true,
         .journal = {all[0], all[1], all[2], all[3], all[4]},
         .counts = {1, 1, 0, 0}},
    });
    for (const Row& r : rows) {
        CycleFixture f;
        f.steps.filesWaiting = r.waiting;
        f.params.hasBkNumber = r.hasBkNumber;
        f.socket.acceptConnections = r.serverUp;
        f.store.failWrites = f.launcher.failAll = r.faulty;
        f.steps.duringGetFiles = [&] {
            if (f.scheduler.tickTimer().interval() == 0) f.journal.push_back("timer stopped");
            if (r.endIn) f.loop.requestEnd(), f.loop.waitUntil([] { return false; }, 100);
        };
        f.scheduler.startWithCycleDue();
        if (r.endIn) EXPECT_THROW(f.loop.runFor(r.ms), ostrell::platform::ProgramEnding) << r.name;
        else f.loop.runFor(r.ms);
        EXPECT_EQ(f.journal, r.journal) << r.name;
        EXPECT_EQ((std::vector{f.written("LastTry").size(), f.written("Last").size(), f.launcher.started.size(),
                               f.sinks.reports.size()}),
                  r.counts)
            << r.name;
        EXPECT_EQ(f.scheduler.tickTimer().interval() > 0, !r.endIn) << r.name << ": and runs again after it";
    }
}

// Three cycles; "DBase", program directory, importer missing, our copy ended between; starts, log texts (said
// once for a copy still running, not every cycle), reports.
TEST(Importer, StartedWhenTheDatabaseKeyHoldsAnythingAndOurLastCopyEnded) {
    struct Row {
        std::string dbase;
        const char* directory = "/opt";
        bool missing = false, finishedBetween = true;
        Lines started = {}, log = {};
        size_t reports = 0;
    };
    const auto rows = std::to_array<Row>({
        {.dbase = ""},
        {.dbase = " ", .directory = "/opt/", .started = Lines(3, "/opt/BKrunVRX.exe")},
        {.dbase = "x.mdb", .directory = "/", .started = Lines(3, "/BKrunVRX.exe")},
        {.dbase = "x.mdb",
         .finishedBetween = false,
         .started = {"/opt/BKrunVRX.exe"},
         .log = {"BKrunVRX.exe still running - download waits for the next cycle.",
                 "BKrunVRX.exe still running - not started again."}},
        {.dbase = "x.mdb", .missing = true, .reports = 3},
    });
    for (const auto& [dbase, directory, missing, finishedBetween, started, log, reports] : rows) {
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
