#include <gtest/gtest.h>

#include <algorithm>

#include "app/StatusReport.h"
#include "unit/Fixture.h"

using namespace ostrell;
using unittest::AgentFixture;

TEST(StartUp, RunsItsStepsInOrderAndLeavesTheTimersRunningAndNoConnection) {
    AgentFixture f;
    f.agent->start();
    EXPECT_EQ(f.shell.journal, (std::vector<std::string>{"parameters /data/", "ends 0 127.0.0.1 6000 10.1.2.3",
                                                         "picture 102", "addTrayIcon", "picture 102"}));
    EXPECT_EQ(f.store.get("Version", "ostrell"), errors::programVersionText());
    EXPECT_EQ(f.store.writes, std::vector<std::string>{"Version/ostrell=" + errors::programVersionText()});
    EXPECT_EQ(f.agent->scheduler().tickTimer().interval(), 1000);
    EXPECT_EQ(f.agent->endRequestTimer().interval(), 10000);
    EXPECT_EQ(f.agent->trayPictureTimer().interval(), 60000);
    EXPECT_EQ(f.agent->parameterTimer().interval(), 60000);
    EXPECT_EQ(f.agent->parameters().timeoutSecs, 15);
    EXPECT_EQ(f.socket.connectCalls, 0) << "no cycle inside start-up";
    EXPECT_TRUE(f.sinks.reports.empty());

    // The first tick runs a cycle, and the logon refreshes the tray picture.
    f.steps.filesWaiting = true;
    f.loop.runFor(1000);
    EXPECT_EQ(f.socket.connectCalls, 1);
    EXPECT_EQ(f.shell.journal.back(), "picture 101");
    EXPECT_EQ(f.steps.sends, 1);
    EXPECT_EQ(f.steps.downloads, 1);
    EXPECT_EQ(f.launcher.started.size(), 0u) << "no importer database configured";
}

TEST(StartUp, AnEndRequestAlreadyStoredEndsAtOnceWithoutMessageOrVersion) {
    AgentFixture f;
    f.store.set("Application", "EndFlag", "Y");
    EXPECT_THROW(f.agent->start(), fake::ProgramEnded);
    EXPECT_EQ(f.terminator.ended, 1);
    EXPECT_TRUE(f.store.writes.empty());
    EXPECT_EQ(f.shell.journal, std::vector<std::string>{"deleteTrayIcon"});

    for (const char* notAnEnd : {"y", "Y ", " Y", "YES"}) {
        AgentFixture g;
        g.store.set("Application", "EndFlag", notAnEnd);
        g.agent->start();
        EXPECT_EQ(g.terminator.ended, 0) << notAnEnd;
    }
}

TEST(StartUp, AnOldOrMissingHostVersionIsRefusedWithTheMessageAfterOurVersionIsPublished) {
    for (const char* host : {"", "2.3.118", "2.3", "x.y.z", "<absent>"}) {
        AgentFixture f;
        if (std::string(host) == "<absent>") f.store.values.erase({"BKX", "Version", "Brannhall"});
        else f.store.set("Version", "Brannhall", host);
        EXPECT_THROW(f.agent->start(), fake::ProgramEnded) << host;
        EXPECT_EQ(f.shell.journal,
                  std::vector<std::string>{"message Ostrell: This ostrell can only run with Brannick version 2.3.119 "
                                           "or higher\r\n\r\nWill now terminate."})
            << host;
        EXPECT_EQ(f.store.get("Version", "ostrell"), errors::programVersionText());
        EXPECT_EQ(f.agent->scheduler().tickTimer().interval(), 0);
    }
}

TEST(StartUp, NoServerAddressMeansTheDefaultServerOnPort6667WithLocalPort0) {
    AgentFixture f;
    f.store.set("Ostrell", "IPadd", "");
    f.store.set("Ostrell", "IPLocalport", "5000");
    f.agent->start();
    EXPECT_EQ(f.shell.journal[1], "ends 0 127.0.0.1 6667 127.0.0.1");
    EXPECT_EQ(f.agent->serverAddressText(), "IP: 127.0.0.1\r\nPort: 6667");
}

TEST(StartUp, UnusablePortsAreReportedAndTheAgentRunsOnWithoutConnecting) {
    AgentFixture f;
    f.store.set("Ostrell", "IPport", "sixty");
    f.store.set("Ostrell", "IPLocalport", "70000");
    f.agent->start();
    EXPECT_EQ(f.sinks.where(), (std::vector<std::string>{"Form_Load:85", "Form_Load:110"}));
    f.loop.runFor(1000);
    EXPECT_EQ(f.socket.connectCalls, 0);
    EXPECT_EQ(f.sinks.reports.back().procedureName, "TryToConnect");
    EXPECT_GT(f.agent->scheduler().tickTimer().interval(), 0) << "the cycle goes on";
}

TEST(Ending, AnEndRequestDuringACycleEndsWithin10SecondsWithoutAQuitLine) {
    AgentFixture f;
    f.logonReply.clear();  // the cycle sits in the logon wait
    f.agent->start();
    // The host sets the flag while the first cycle waits for the logon reply (sent at 1400 ms).
    const int64_t setAt = 1500;
    f.loop.post(setAt, [&] { f.store.set("Application", "EndFlag", "Y"); });
    EXPECT_THROW(f.loop.runFor(60000), fake::ProgramEnded);
    EXPECT_LE(f.loop.nowMs() - setAt, 10000);
    EXPECT_LT(f.loop.nowMs(), 1400 + 39 * 300) << "ended inside the logon wait";
    EXPECT_EQ(f.socket.sentLines, std::vector<std::string>{"tolvane|QHT514"});
    EXPECT_EQ(f.shell.journal.back(), "deleteTrayIcon");
    EXPECT_EQ(f.socket.state(), platform::TcpSocket::StateConnected) << "the socket is not closed first";
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(Ending, ExitSendsTheQuitLineWhenConnectedClosesAndEndsTheMainLoop) {
    AgentFixture f;
    f.store.set("Ostrell", "LoNumber1", "");
    f.agent->start();
    f.loop.runFor(1000);
    ASSERT_EQ(f.socket.state(), platform::TcpSocket::StateConnected);
    f.socket.sentLines.clear();
    f.agent->exitProgram();
    EXPECT_EQ(f.socket.sentLines, std::vector<std::string>{"quit"});
    EXPECT_EQ(f.socket.state(), platform::TcpSocket::StateClosed);
    EXPECT_FALSE(f.agent->connection().isConnected());
    EXPECT_EQ(f.shell.journal.back(), "deleteTrayIcon");
    EXPECT_TRUE(f.loop.endRequested());

    AgentFixture g;
    g.socket.acceptConnections = false;
    g.agent->start();
    g.agent->exitProgram();
    EXPECT_TRUE(g.socket.sentBytes.empty());
    EXPECT_TRUE(g.loop.endRequested());
}

TEST(Ending, ExitChosenDuringACycleStopsItsWaitsAndTheStoredExitSettingCannotUndoIt) {
    AgentFixture f;
    f.logonReply.clear();
    f.agent->start();
    f.loop.post(3000, [&] {
        f.store.set("Ostrell", "Exit", "No");
        f.agent->refreshParameters();
        f.agent->exitProgram();
    });
    EXPECT_THROW(f.loop.runFor(60000), platform::ProgramEnding);
    EXPECT_EQ(f.loop.nowMs(), 3000);
    EXPECT_EQ(f.socket.sentLines, (std::vector<std::string>{"tolvane|QHT514", "quit"}));
    EXPECT_EQ(f.steps.downloads, 0);
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(Ending, ACloseRequestIsAllowedOnlyByTheExitSettingOrTheEndOfTheSession) {
    AgentFixture f;
    f.agent->start();
    f.shell.journal.clear();
    EXPECT_FALSE(f.agent->queryClose(app::CloseReason::ControlMenu));
    EXPECT_TRUE(f.shell.journal.empty()) << "refused silently, the icon stays";
    EXPECT_FALSE(f.loop.endRequested());
    EXPECT_TRUE(f.agent->queryClose(app::CloseReason::SessionEnding));
    EXPECT_EQ(f.shell.journal, std::vector<std::string>{"deleteTrayIcon"});
    EXPECT_TRUE(f.loop.endRequested());

    AgentFixture g;
    g.store.set("Ostrell", "Exit", "yes");
    g.agent->start();
    EXPECT_TRUE(g.agent->queryClose(app::CloseReason::ControlMenu));
}

TEST(TrayPicture, FollowsBkNumberFilesAndConnectionOnItsMinuteTick) {
    AgentFixture f;
    f.store.set("Ostrell", "LoNumber1", "");
    f.socket.acceptConnections = false;
    f.agent->start();
    EXPECT_EQ(f.shell.journal.back(), "picture 104");
    f.store.set("Ostrell", "LoNumber3", "  ");
    f.steps.filesWaiting = true;
    f.loop.runFor(60000);  // the refresh's own yield lets the picture tick due with it run first
    EXPECT_EQ(f.shell.journal.back(), "parameters /data/");
    EXPECT_TRUE(f.agent->parameters().hasLoNumber) << "a BK number of blanks counts";
    f.agent->refreshTrayPicture();
    EXPECT_EQ(f.shell.journal.back(), "picture 103");
    f.steps.filesWaiting = false;
    f.agent->refreshTrayPicture();
    EXPECT_EQ(f.shell.journal.back(), "picture 102");
}

TEST(Parameters, TheRefreshPicksUpTheHostsChangesEveryMinute) {
    AgentFixture f;
    f.agent->start();
    f.store.set("Ostrell", "TimeOut", "30");
    f.store.set("Ostrell", "Loop", "many");
    f.loop.runFor(59000);
    EXPECT_EQ(f.agent->parameters().timeoutSecs, 15);
    f.loop.runFor(1000);
    EXPECT_EQ(f.agent->parameters().timeoutSecs, 30);
    EXPECT_EQ(f.sinks.where(), std::vector<std::string>{"tmrParams_Timer:25"})
        << "a bad Loop is reported, the rest read";
}

// Save points the data directory at one where another agent works (another user's, sharing it): its
// files are that agent's, so this one neither uploads from it nor downloads into it until it is free.
TEST(Parameters, ADataDirectoryAnotherAgentHoldsIsLeftAloneAndReportedOnce) {
    AgentFixture f;
    f.steps.filesWaiting = true;
    f.agent->start();
    f.dirLock.heldBy["/shared/"] = 4242;
    f.dirLock.unlockable["/readonly/"] = true;
    f.store.set("Ostrell", "DataDir", "/shared/");
    f.loop.runFor(60000);  // the refresh picks it up
    const int sendsBefore = f.steps.sends, downloadsBefore = f.steps.downloads;
    ASSERT_GT(sendsBefore, 0);
    f.loop.runFor(2 * 60000);
    EXPECT_EQ(f.steps.sends, sendsBefore);
    EXPECT_EQ(f.steps.downloads, downloadsBefore);
    EXPECT_EQ(f.sinks.where(), std::vector<std::string>{"tmrParams_Timer:58"});
    EXPECT_NE(f.sinks.reports.at(0).description.find("pid 4242"), std::string::npos)
        << f.sinks.reports.at(0).description;

    f.dirLock.heldBy.clear();  // that agent ended
    f.loop.runFor(60000);
    EXPECT_GT(f.steps.sends, 1);
    // A directory that cannot be locked is reported and worked in all the same.
    const int sends = f.steps.sends;
    f.store.set("Ostrell", "DataDir", "/readonly/");
    f.loop.runFor(60000);
    EXPECT_GT(f.steps.sends, sends);
    EXPECT_EQ(f.sinks.where(), (std::vector<std::string>{"tmrParams_Timer:58", "tmrParams_Timer:58"}));
}

TEST(CycleReport, EachCycleLeavesOneInfoLineARefusalAWarningNamingTheServerAndTheStatusItsTimes) {
    AgentFixture f;
    f.socket.refuseConnections = true;
    f.agent->start();
    f.loop.runFor(1000);
    EXPECT_EQ(f.systemLog.lines,
              (std::vector<std::string>{
                  "info: cycle: not connected to 10.1.2.3:6000 (Connection is forcefully rejected), 0 errors, 3.1 s",
                  "warning: cannot connect to 10.1.2.3 port 6000: Connection is forcefully rejected"}));
    app::StatusFindings down;
    down.status = app::parseStatusFile(f.stateFiles.files["status"]);
    EXPECT_EQ(down.status->lastAttempt, "2026-12-06T00:00:01+00:00");
    EXPECT_EQ(app::statusExitCode(down, 1796515200 + 2), 3) << "never reached the server";

    f.socket.refuseConnections = false;
    f.systemLog.lines.clear();
    f.loop.runFor(17000);
    ASSERT_EQ(f.systemLog.lines.size(), 1u) << "one line per cycle, and no warning";
    EXPECT_EQ(f.systemLog.lines[0].rfind(
                  "info: cycle: connected to 10.1.2.3:6000, nothing sent, nothing stored, 0 errors", 0),
              0u)
        << f.systemLog.lines[0];
    app::StatusFindings up;
    up.status = app::parseStatusFile(f.stateFiles.files["status"]);
    EXPECT_EQ(up.status->server, "10.1.2.3:6000");
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
    EXPECT_EQ(f.shell.notifications, std::vector<std::string>{warning});
    EXPECT_EQ(f.shell.linkStates.back(), "alert No contact since 00:00");
    f.loop.runFor(120000);
    EXPECT_EQ(f.shell.notifications.size(), 1u) << "one notification for the whole outage";

    f.socket.refuseConnections = false;
    f.loop.runFor(20000);
    EXPECT_FALSE(f.agent->linkAlerting());
    EXPECT_EQ(f.shell.notifications.back(), "The booking server is reachable again: bookings are received");
    EXPECT_EQ(f.shell.notifications.size(), 2u);
    EXPECT_EQ(std::count(f.systemLog.lines.begin(), f.systemLog.lines.end(), "warning: " + warning), 1);
    EXPECT_EQ(std::count(f.systemLog.lines.begin(), f.systemLog.lines.end(),
                         "info: The booking server is reachable again: bookings are received"),
              1);
    EXPECT_EQ(f.shell.linkStates.back().rfind("Last contact 00:0", 0), 0u) << f.shell.linkStates.back();
}
