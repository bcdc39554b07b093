#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/StatusReport.h"
#include "platform/posix/PosixSettingsStore.h"
#include "unit/Fixture.h"

using namespace ostrell;
using unittest::AgentFixture;
using Lines = std::vector<std::string>;

TEST(StartUp, PublishesOurVersionShowsTheEndsAddsTheIconAndCyclesAtTheFirstTick) {
    AgentFixture f;
    f.agent->start();
    EXPECT_EQ(f.shell.journal,
              (Lines{"parameters /data/", "ends 0 127.0.0.1 6000 10.1.2.3", "picture 102", "addTrayIcon", "picture 102"}));
    EXPECT_EQ(f.store.writes, Lines{"Version/ostrell=" + errors::programVersionText()});
    EXPECT_EQ(f.socket.connectCalls, 0) << "no cycle inside start-up";
    f.steps.filesWaiting = true;
    f.loop.runFor(1000);
    EXPECT_EQ(f.socket.connectCalls, 1);
    EXPECT_EQ(f.shell.journal.back(), "picture 101") << "the logon refreshes the picture";
    EXPECT_EQ(f.steps.downloads, 1);
    EXPECT_TRUE(f.sinks.reports.empty());
}

// The host rewrites the settings file in place: a version missing or cut off while it does so is looked
// for again; one that stays old is refused with one message after our own version is published.
TEST(StartUp, TheVersionGateRefusesAnOldHostButWaitsOutItsRewrite) {
    for (const auto& [seen, fixedAt, refused] :
         {std::tuple{"<absent>", 150, false}, {"2.3.1", 150, false}, {"2.3.118", -1, true}, {"<absent>", -1, true},
          {"x.y.z", -1, true}}) {
        AgentFixture f;
        if (std::string(seen) == "<absent>") f.store.values.erase({"BKX", "Version", "Brannhall"});
        else f.store.set("Version", "Brannhall", seen);
        if (fixedAt >= 0) f.loop.post(fixedAt, [&] { f.store.set("Version", "Brannhall", "2.3.119"); });
        if (refused) {
            EXPECT_THROW(f.agent->start(), fake::ProgramEnded) << seen;
            EXPECT_GT(f.loop.nowMs(), platform::HostRewriteWindowMs);
            EXPECT_EQ(f.shell.journal, Lines{"message Ostrell: This ostrell can only run with Brannick version "
                                             "2.3.119 or higher\r\n\r\nWill now terminate."});
        } else {
            EXPECT_NO_THROW(f.agent->start()) << seen;
            EXPECT_EQ(std::count(f.shell.journal.begin(), f.shell.journal.end(), "addTrayIcon"), 1);
        }
        EXPECT_EQ(f.store.get("Version", "ostrell"), errors::programVersionText());
    }
}

TEST(StartUp, UnusablePortsAreReportedAndTheAgentRunsOnWithoutConnecting) {
    AgentFixture f;
    f.store.set("Ostrell", "IPport", "sixty");
    f.store.set("Ostrell", "IPLocalport", "70000");
    f.agent->start();
    f.loop.runFor(1000);
    ASSERT_EQ(f.sinks.reports.size(), 3u);
    EXPECT_EQ(f.sinks.reports[1].procedureName, "Form_Load");
    EXPECT_EQ(f.sinks.reports[2].procedureName, "TryToConnect");
    EXPECT_EQ(f.socket.connectCalls, 0);
    f.agent->showServerAddress();
    EXPECT_EQ(f.shell.journal.back(), "message Ostrell: IP: 10.1.2.3\r\nPort: 0");
}

// "EndFlag" exactly "Y" ends at once: at start-up before anything is written, or within ten seconds
// in the middle of a cycle's wait, with no quit line and the socket left as it is.
TEST(Ending, AnEndRequestEndsAtOnceWithoutAQuitLine) {
    AgentFixture f;
    f.store.set("Application", "EndFlag", "Y");
    EXPECT_THROW(f.agent->start(), fake::ProgramEnded);
    EXPECT_TRUE(f.store.writes.empty());
    EXPECT_EQ(f.shell.journal, Lines{"deleteTrayIcon"});
    AgentFixture g;
    g.logonReply.clear();
    g.store.set("Application", "EndFlag", "y");
    g.agent->start();
    g.loop.post(1500, [&] { g.store.set("Application", "EndFlag", "Y"); });
    EXPECT_THROW(g.loop.runFor(60000), fake::ProgramEnded);
    EXPECT_LE(g.loop.nowMs(), 1500 + 10000);
    EXPECT_EQ(g.socket.sentLines, Lines{"tolvane|QHT514"});
    EXPECT_EQ(g.socket.state(), platform::TcpSocket::StateConnected);
}

TEST(Ending, ExitSaysQuitWhenConnectedAndEndsEvenInsideACycleWhateverExitIsStored) {
    AgentFixture f;
    f.store.set("Ostrell", "LoNumber1", "");
    f.agent->start();
    f.loop.runFor(1000);
    f.agent->exitProgram();
    EXPECT_EQ(f.socket.sentLines.back(), "quit");
    EXPECT_EQ(f.socket.state(), platform::TcpSocket::StateClosed);
    EXPECT_EQ(f.shell.journal.back(), "deleteTrayIcon");
    EXPECT_TRUE(f.loop.endRequested());
    AgentFixture g;
    g.logonReply.clear();
    g.agent->start();
    g.loop.post(3000, [&] {
        g.store.set("Ostrell", "Exit", "No");
        g.agent->refreshParameters();
        g.agent->exitProgram();
    });
    EXPECT_THROW(g.loop.runFor(60000), platform::ProgramEnding);
    EXPECT_EQ(g.loop.nowMs(), 3000) << "the logon wait gave up";
    EXPECT_EQ(g.socket.sentLines, (Lines{"tolvane|QHT514", "quit"}));
    EXPECT_EQ(g.steps.downloads, 0);
}

TEST(Ending, ACloseIsAllowedByTheExitSettingOrTheEndOfTheSessionAndRefusedSilently) {
    using app::CloseReason;
    for (const auto& [exitMode, reason, allowed] : {std::tuple{"No", CloseReason::ControlMenu, false},
                                                    {"No", CloseReason::SessionEnding, true},
                                                    {"yes", CloseReason::ControlMenu, true}}) {
        AgentFixture f;
        f.store.set("Ostrell", "Exit", exitMode);
        f.agent->start();
        f.shell.journal.clear();
        EXPECT_EQ(f.agent->requestClose(reason), allowed);
        EXPECT_EQ(f.shell.journal, allowed ? Lines{"deleteTrayIcon"} : Lines{});
        EXPECT_EQ(f.loop.endRequested(), allowed);
    }
}

TEST(Refresh, PictureAndParametersFollowTheHostEveryMinute) {
    AgentFixture f;
    f.store.set("Ostrell", "LoNumber1", "");
    f.socket.acceptConnections = false;
    f.agent->start();
    EXPECT_EQ(f.shell.journal.back(), "picture 104");
    f.store.set("Ostrell", "LoNumber3", "  ");
    f.store.set("Ostrell", "Loop", "many");
    f.store.set("Ostrell", "DataDir", "/new/");
    f.steps.filesWaiting = true;
    f.loop.runFor(60000);
    EXPECT_EQ(f.shell.journal.back(), "parameters /new/");
    EXPECT_EQ(f.sinks.reports.size(), 1u) << "a bad Loop is reported, the rest read";
    f.agent->refreshTrayPicture();
    EXPECT_EQ(f.shell.journal.back(), "picture 103") << "a BK number of blanks counts";
}

// Save points the data directory at one where another agent works: its files are that agent's, so this
// one neither uploads from it nor downloads into it until it is free. An unlockable one is worked in.
TEST(Refresh, ADataDirectoryAnotherAgentHoldsIsLeftAloneAndReported) {
    AgentFixture f;
    f.steps.filesWaiting = true;
    f.agent->start();
    f.dirLock.heldBy["/shared/"] = 4242;
    f.dirLock.unlockable["/readonly/"] = true;
    f.shell.dataDirBox = "/shared/";
    f.agent->saveSettings();
    f.loop.runFor(60000);
    const int sends = f.steps.sends, downloads = f.steps.downloads;
    ASSERT_GT(sends, 0);
    f.loop.runFor(2 * 60000);
    EXPECT_EQ(f.steps.sends, sends);
    EXPECT_EQ(f.steps.downloads, downloads);
    ASSERT_EQ(f.sinks.reports.size(), 1u);
    EXPECT_NE(f.sinks.reports[0].description.find("pid 4242"), std::string::npos) << f.sinks.reports[0].description;
    f.dirLock.heldBy.clear();
    f.loop.runFor(75000);
    EXPECT_GT(f.steps.sends, sends);
    const int freed = f.steps.sends;
    f.store.set("Ostrell", "DataDir", "/readonly/");
    f.loop.runFor(75000);
    EXPECT_GT(f.steps.sends, freed);
    EXPECT_EQ(f.sinks.reports.size(), 2u);
}

// Save stores the boxes exactly as typed, data directory first; a time-out that is not a number is
// refused. Each refused write is reported under the statement that made it.
TEST(Panel, SaveStoresTheBoxesOrRefusesABadTimeout) {
    for (const auto& [timeout, failWrites, writes, reports] :
         {std::tuple{" 30 ", false, Lines{"Ostrell/DataDir=/data/", "Ostrell/TimeOut= 30 "}, 0},
          {"3O", false, Lines{}, 0}, {"", false, Lines{}, 0}, {"30", true, Lines{}, 2}}) {
        AgentFixture f;
        f.shell.timeoutBox = timeout;
        f.store.failWrites = failWrites;
        f.agent->saveSettings();
        EXPECT_EQ(f.store.writes, writes) << timeout;
        EXPECT_EQ(f.sinks.reports.size(), size_t(reports));
        const Lines refusal{"message Ostrell: Invalid timeout", "focusTimeout"};
        EXPECT_EQ(f.shell.journal, writes.empty() && !failWrites ? refusal : Lines{});
        EXPECT_TRUE(reports == 0 || f.sinks.reports[0].line < f.sinks.reports[1].line) << "one label per statement";
        for (const auto& r : f.sinks.reports) EXPECT_EQ(r.procedureName, "cmdSave_Click");
    }
}

TEST(Panel, TheFolderButtonAndTheMonitorItemFollowTheOperatorsAnswer) {
    AgentFixture f;
    f.fs.putFile("/srv/d/BK.csv", "");
    for (const auto& [answer, box] : {std::pair{std::optional<std::string>{}, "/data/"},
                                      {std::optional<std::string>{"/srv/d/BK.csv"}, "/srv/d/"}}) {
        f.shell.answer = answer;
        f.agent->chooseDataDirectory();
        EXPECT_EQ(f.shell.dataDirBox, box);
    }
    EXPECT_TRUE(f.store.writes.empty()) << "choosing saves nothing";
    for (const auto& [typed, visible, journal] :
         {std::tuple{std::optional<std::string>{"QOZ"}, false, Lines{}}, {std::nullopt, false, Lines{}},
          {std::optional<std::string>{"qoz"}, true, Lines{"monitor on"}},
          {std::optional<std::string>{}, false, Lines{"monitor on", "monitor off"}}}) {
        f.shell.answer = typed;
        f.shell.text = "old";
        f.agent->toggleMonitor();
        EXPECT_EQ(f.shell.visible, visible);
        EXPECT_EQ(f.shell.journal, journal);
        EXPECT_EQ(f.agent->monitor().enabled, visible);
        EXPECT_EQ(f.shell.text, journal.empty() ? "old" : "");
    }
}

TEST(CycleReport, EachCycleLeavesOneInfoLineARefusalAWarningAndTheStatusItsTimes) {
    AgentFixture f;
    f.socket.refuseConnections = true;
    f.agent->start();
    f.loop.runFor(1000);
    EXPECT_EQ(f.systemLog.lines,
              (Lines{"info: cycle: not connected to 10.1.2.3:6000 (Connection is forcefully rejected), 0 errors, 3.1 s",
                     "warning: cannot connect to 10.1.2.3 port 6000: Connection is forcefully rejected"}));
    app::StatusFindings down;
    down.status = app::parseStatusFile(f.stateFiles.files["status"]);
    EXPECT_EQ(down.status->lastAttempt, "2026-12-06T00:00:01+00:00");
    EXPECT_EQ(app::statusExitCode(down, 1796515200 + 2), 3) << "never reached the server";
    f.socket.refuseConnections = false;
    f.systemLog.lines.clear();
    f.loop.runFor(17000);
    ASSERT_EQ(f.systemLog.lines.size(), 1u) << "one line per cycle, and no warning";
    EXPECT_EQ(f.systemLog.lines[0].rfind("info: cycle: connected to 10.1.2.3:6000, nothing sent", 0), 0u);
    app::StatusFindings up;
    up.status = app::parseStatusFile(f.stateFiles.files["status"]);
    const int64_t success = app::epochSecondsOf(up.status->lastSuccess).value();
    EXPECT_EQ(app::statusExitCode(up, success + 3 * 15 + 60), 0);
    EXPECT_EQ(app::statusExitCode(up, success + 3 * 15 + 61), 3) << "three cycles and a minute later";
}

TEST(OutageAlert, WarnsOnceWithinSeventySecondsOfAlertAfterAndOnceWhenTheLinkIsBack) {
    AgentFixture f;
    f.store.set("Ostrell", "AlertAfter", "1");
    f.socket.refuseConnections = true;
    f.agent->start();
    const std::string warning = "No contact with the booking server: bookings have not been received since 00:00";
    EXPECT_TRUE(f.loop.runUntil([&] { return f.agent->linkAlerting(); }, 70000));
    EXPECT_EQ(f.shell.linkStates.back(), "alert No contact since 00:00");
    f.loop.runFor(120000);
    f.socket.refuseConnections = false;
    f.loop.runFor(20000);
    EXPECT_EQ(f.shell.notifications,
              (Lines{warning, "The booking server is reachable again: bookings are received"}));
    EXPECT_EQ(std::count(f.systemLog.lines.begin(), f.systemLog.lines.end(), "warning: " + warning), 1);
    EXPECT_EQ(f.shell.linkStates.back().rfind("Last contact 00:0", 0), 0u) << f.shell.linkStates.back();
}

// The host's own file through a day of cycles on the real settings store: every byte but the agent's
// own keys stays, and each value reaches the agent exactly as written.
TEST(HostSettingsFile, SurvivesADayOfCyclesByteForByteAndItsValuesArriveAsWritten) {
    char dirTemplate[] = "/tmp/ostrell-day-XXXXXX";
    ASSERT_NE(::mkdtemp(dirTemplate), nullptr);
    const std::string dir = dirTemplate;
    const std::string host =
        "; Brannick writes this file\r\n[Application]\r\nDirName=C:\\Brannick\\App\\\r\nEndFlag=N\r\n\r\n"
        "[Ostrell]\r\n# the agent's\r\nIPadd=127.0.0.1\r\nIPport=6000\r\nDataDir=/srv/brannick/d;x/\r\n"
        "UpLoad= /opt/imp,--quiet ; not a comment \r\nTimeOut=  300  \r\nLoNumber1=  \r\nExit=yes\r\n\r\n"
        "[Version]\r\nBrannhall=2.3.119\r\n\r\n[Brannick.Private]\r\nkey with no equals\r\n";
    std::ofstream(dir + "/BKX.ini", std::ios::binary) << host;
    AgentFixture f;
    f.agent.reset();
    platform::PosixSettingsStore store(dir);
    unittest::RecordingShell shell;
    app::Agent agent({f.loop, f.socket, store, f.fs, f.launcher, f.sinks, f.terminator}, shell, {}, {});
    agent.start();
    f.loop.runFor(24LL * 3600 * 1000);
    const settings::Parameters& p = agent.parameters();
    EXPECT_EQ(p.appDirPath + p.dataDirPath + p.uploadCommand + p.loNumbers[1] + p.exitMode,
              "C:\\Brannick\\App\\/srv/brannick/d;x/ /opt/imp,--quiet ; not a comment   yes");
    EXPECT_EQ(p.timeoutSecs, 300);
    EXPECT_TRUE(f.sinks.reports.empty());
    std::ifstream in(dir + "/BKX.ini", std::ios::binary);
    std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const std::string& key : {std::string("LastTry="), std::string("Last="), f.launcher.programName() + "="}) {
        const size_t at = after.find("\r\n" + key);
        ASSERT_NE(at, std::string::npos) << key << " in\n" << after;
        after.erase(at, after.find("\r\n", at + 2) - at);
    }
    EXPECT_EQ(after, host);
    std::filesystem::remove_all(dir);
}
