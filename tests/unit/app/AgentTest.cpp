#include <gtest/gtest.h>

#include <algorithm>

#include "app/StatusReport.h"
#include "unit/Fixture.h"

using namespace ostrell;
using namespace ostrell::unittest;

TEST(StartUp, PublishesOurVersionShowsTheEndsAddsTheIconAndCyclesAtTheFirstTick) {
    AgentFixture f;
    f.agent->start();
    EXPECT_EQ(f.shell.journal, (Lines{"parameters /data/", "picture 102", "addTrayIcon", "picture 102"}));
    EXPECT_EQ(f.shell.socketEnds, "0 127.0.0.1 6000 10.1.2.3");
    EXPECT_EQ(f.store.writes, Lines{"Version/ostrell=" + errors::programVersionText()});
    f.steps.filesWaiting = true;
    f.steps.duringGetFiles = [&f] { f.log.write("record 1 stored"), f.log.write("record 2 stored"); };
    f.loop.runFor(1000);
    EXPECT_EQ(f.shell.journal.back(), "picture 101") << "the logon refreshes the picture";
    EXPECT_EQ(std::pair(f.steps.downloads, f.fs.heldOpen), std::pair(1, std::string())) << "the log closed";
    EXPECT_TRUE(f.sinks.reports.empty());
}

// The host rewrites the settings file in place: a version missing or cut off meanwhile is looked for
// again; one that stays old is refused with one message, after our own version is published.
TEST(StartUp, TheVersionGateRefusesAnOldHostButWaitsOutItsRewrite) {
    for (const auto& [seen, fixed] : {std::pair{"", true}, {"2.3.1", true}, {"2.3.118", false}, {"", false}}) {
        AgentFixture f;
        f.store.set("Version", "Brannhall", seen);
        if (fixed) f.loop.post(150, [&] { f.store.set("Version", "Brannhall", "2.3.119"); });
        if (!fixed) EXPECT_THROW(f.agent->start(), fake::ProgramEnded) << seen;
        else f.agent->start();
        EXPECT_GT(f.loop.nowMs(), fixed ? 0 : platform::HostRewriteWindowMs);
        EXPECT_EQ(f.shell.journal.front(), fixed ? "parameters /data/"
                                                 : "message Ostrell: This ostrell can only run with Brannick version "
                                                   "2.3.119 or higher\r\n\r\nWill now terminate.");
        EXPECT_EQ(f.store.get("Version", "ostrell"), errors::programVersionText());
        EXPECT_EQ(f.systemLog.lines.at(0).rfind("error: stopping on refusal: Brannick version \"", 0) == 0, !fixed);
    }
}

// "EndFlag" exactly "Y" ends at once, at start-up before anything is written.
TEST(Ending, AnEndRequestAtStartUpEndsBeforeAnythingIsWritten) {
    AgentFixture f;
    f.store.set("Application", "EndFlag", "Y");
    EXPECT_THROW(f.agent->start(), fake::ProgramEnded);
    EXPECT_TRUE(f.store.writes.empty());
    EXPECT_EQ(f.systemLog.lines, Lines{"info: stopping on end request (EndFlag)"});
}

// Exit says quit on an open connection and ends the program whatever "Exit" says.
TEST(Ending, ExitSaysQuitAndEnds) {
    AgentFixture f;
    f.agent->start();
    f.loop.runFor(3000);
    f.agent->exitProgram();
    f.agent->requestClose(app::CloseReason::SessionEnding);  // the quit that follows: no second line
    EXPECT_EQ(f.systemLog.lines.back(), "info: stopping on Exit");
    EXPECT_EQ(f.socket.sentLines.back(), "quit");
    EXPECT_EQ(f.socket.state(), platform::SocketState::Closed);
    EXPECT_TRUE(f.loop.endRequested());
}

TEST(Ending, ACloseIsAllowedByTheExitSettingOrTheEndOfTheSessionAndRefusedSilently) {
    using app::CloseReason;
    using Row = std::tuple<const char*, CloseReason, bool>;
    for (const auto& [exitMode, reason, allowed] :
         {Row{"No", CloseReason::ControlMenu, false}, Row{"Y", CloseReason::Code, false},
          Row{"No", CloseReason::SessionEnding, true}, Row{"YeS", CloseReason::ControlMenu, true}}) {
        AgentFixture f;
        f.store.set("Ostrell", "Exit", exitMode);
        f.agent->start();
        EXPECT_EQ(f.agent->requestClose(reason), allowed);
        EXPECT_EQ(f.shell.journal.back() == "deleteTrayIcon", allowed) << "refused silently, the icon stays";
        EXPECT_EQ(f.loop.endRequested(), allowed);
        EXPECT_EQ(f.systemLog.lines.back() == "info: stopping on the end of the session",
                  reason == CloseReason::SessionEnding);
    }
}

// Each parameter is its own read: a number that cannot be converted is reported and keeps its old value, the
// reads after it still run. With no address the default server is used, whatever the port keys hold.
TEST(Refresh, ABadNumberKeepsItsOldValueAndTheOtherReadsRun) {
    AgentFixture f;
    f.store.set("Ostrell", {"IPadd=", "IPLocalport=5000", "TimeOut=42"});
    f.agent->start();
    EXPECT_EQ(f.shell.socketEnds, "0 127.0.0.1 6667 127.0.0.1");
    f.store.set("Ostrell", {"TimeOut=soon", "Loop=15.5", "LoNumber1=", "LoNumber4=  ", "UpLoad=importer --now"});
    f.loop.runFor(60000);
    const settings::Parameters& p = f.shell.shown;
    EXPECT_EQ(std::to_string(p.timeoutSecs) + " " + std::to_string(p.loopCount) + " " + p.uploadCommand +
                  (p.hasBkNumber ? ", a BK number of blanks" : ""),
              "42 16 importer --now, a BK number of blanks");
    EXPECT_EQ(reportedProcedures(f.sinks), Lines{"tmrParams_Timer"});
    EXPECT_EQ(f.sinks.details, Lines{"tmrParams_Timer: key \"TimeOut\" in [Ostrell] holds \"soon\""});
}

// A data directory whose lock is not ours (another agent holds it, or it cannot be locked) gets no upload or
// download; its lock is tried every cycle, and each cause is reported once, not every cycle.
TEST(Refresh, ADataDirectoryWhoseLockIsNotOursIsLeftAloneUntilItIs) {
    AgentFixture f;
    f.agent->start();
    f.dirLock.heldBy["/shared/"] = 4242;
    f.fs.addDirectory("/shared");
    f.shell.dataDirBox = "/shared/";
    f.agent->saveSettings();
    f.loop.runFor(60000);
    const int steps = f.steps.downloads;
    for (const bool lockable : {true, false}) {  // held elsewhere, then not lockable: a new cause, said once
        f.dirLock.heldBy.clear();
        if (lockable) f.dirLock.heldBy["/shared/"] = 4242;
        else f.dirLock.unlockable["/shared/"] = true;
        f.loop.runFor(120000);
        EXPECT_EQ(f.steps.downloads, steps) << lockable;
    }
    ASSERT_EQ(f.sinks.reports.size(), 2u);
    EXPECT_NE(f.sinks.reports[0].description.find("pid 4242"), std::string::npos);
    EXPECT_NE(f.sinks.reports[1].description.find("cannot be locked (read-only"), std::string::npos);
    f.dirLock.unlockable.clear();
    f.loop.runFor(20000);  // within one cycle, before the next refresh
    EXPECT_GT(f.steps.downloads, steps);
    EXPECT_EQ(f.sinks.reports.size(), 2u);
}

// Save stores the boxes exactly as typed, data directory first; a time-out that is not a number is
// refused. Each refused write is reported under the statement that made it.
TEST(Panel, SaveStoresTheBoxesOrRefusesABadTimeout) {
    const Lines refusal{"message Ostrell: Invalid timeout", "focusTimeout"};
    using Row = std::tuple<const char*, bool, Lines, Lines>;
    for (const auto& [timeout, failWrites, writes, journal] :
         {Row{" 30 ", false, Lines{"Ostrell/DataDir=/data/", "Ostrell/TimeOut= 30 "}, {}},
          Row{"3O", false, {}, refusal}, Row{"", false, {}, refusal}, Row{"30", true, {}, {}}}) {
        AgentFixture f;
        f.shell.timeoutBox = timeout;
        f.store.failWrites = failWrites;
        f.agent->saveSettings();
        EXPECT_EQ(f.store.writes, writes) << timeout;
        EXPECT_EQ(f.shell.journal, journal) << timeout;
        EXPECT_EQ(f.sinks.reports.size(), failWrites ? 2u : 0u);
        EXPECT_TRUE(!failWrites || f.sinks.reports[0].line < f.sinks.reports[1].line) << "one label a statement";
    }
}

TEST(Panel, TheFolderButtonAndTheMonitorItemFollowTheOperatorsAnswer) {
    using Answer = std::optional<std::string>;
    AgentFixture f;
    f.fs.putFile("/srv/d/BK.csv", "");
    for (const auto& [answer, box] : {std::pair{Answer{}, "/data/"}, {Answer{"/srv/d/BK.csv"}, "/srv/d/"}}) {
        f.shell.answer = answer;
        f.agent->chooseDataDirectory();
        EXPECT_EQ(f.shell.dataDirBox, box);
    }
    using Row = std::tuple<Answer, bool, Lines>;
    for (const auto& [typed, on, journal] :
         {Row{"QOZ", false, {}}, Row{std::nullopt, false, {}}, Row{"qoz", true, {"monitor on"}},
          Row{std::nullopt, false, {"monitor on", "monitor off"}}}) {
        f.shell.answer = typed;
        f.shell.text = "old";
        f.agent->toggleMonitor();
        EXPECT_EQ(f.shell.visible, on);
        EXPECT_EQ(f.agent->monitorMode(), on);
        EXPECT_EQ(f.shell.journal, journal);
        EXPECT_EQ(f.shell.text, journal.empty() ? "old" : "");
    }
}

// An outage says once why the server is not reached and once that it is back; the next outage is news
// again. Every cycle leaves its line, the status file its times and the tray's view today's counts.
TEST(CycleReport, EachOutageLeavesOneWarningAndOneRecoveryLineAndTheStatusItsTimes) {
    AgentFixture f;
    f.socket.refuseConnections = true;
    f.store.set("Ostrell", "IPLocalport", "70000");
    f.agent->start();
    f.loop.runFor(25000);  // two cycles
    EXPECT_EQ(f.sinks.reports.size(), 1u);
    const std::string failed =
        "info: cycle failed: not connected to 10.1.2.3:6000 (Connection is forcefully rejected), 3.1 s";
    const std::string warning = "warning: cannot connect to 10.1.2.3 port 6000: Connection is forcefully rejected";
    EXPECT_EQ(f.systemLog.lines,
              (Lines{"info: started ostrell " + errors::programVersionText() +
                         ": server 10.1.2.3:6000, data folder /data/, error reports to the error sink",
                     failed, warning, failed}));
    app::StatusFindings status{};
    status.agentRunning = true;
    status.status = app::parseStatusFile(f.stateFiles.files["status"]);
    EXPECT_EQ(app::statusExitCode(status, 0), 3);
    EXPECT_NE(app::statusReportText(status, 0).find(", no contact yet\n"), std::string::npos);
    f.socket.refuseConnections = false;
    f.systemLog.lines.clear();
    f.loop.runFor(17000);
    ASSERT_EQ(f.systemLog.lines.size(), 3u) << "the cycle's line, the recovery and no warning";
    EXPECT_EQ(f.systemLog.lines[0].rfind("info: cycle: connected to 10.1.2.3:6000, nothing sent", 0), 0u);
    EXPECT_EQ(f.systemLog.lines[1], "info: contact with 10.1.2.3:6000 again after 2 failed cycles (none since 00:00)");
    EXPECT_EQ(f.systemLog.lines[2], "(repeats forgotten)");
    const app::TrayStatus& view = f.shell.trayStatus;
    EXPECT_EQ(view.lastContact + " " + view.nextCycle + " " + std::to_string(view.cyclesToday), "00:00 00:00:54 3");
    status.status = app::parseStatusFile(f.stateFiles.files["status"]);
    const int64_t success = app::epochSecondsOf(status.status->lastSuccess).value();
    EXPECT_EQ(app::statusExitCode(status, success + 45 + 60), 0);
    EXPECT_EQ(app::statusExitCode(status, success + 45 + 61), 3) << "three cycles and a minute later";
    f.socket.refuseConnections = true;
    f.socket.peerClose();
    f.loop.runFor(17000);
    EXPECT_EQ(f.systemLog.lines.back(), warning) << "a new outage";
    // A logon nobody answers (veltrana-sim --logon-reply ''): no contact either, so no "Last", the same success.
    f.socket.refuseConnections = false;
    f.answerLogon = false;
    f.systemLog.lines.clear();
    f.loop.runFor(30000);
    EXPECT_EQ(f.systemLog.lines, (Lines{"info: cycle failed: no answer to the logon from 10.1.2.3:6000, 12.1 s"}));
    EXPECT_EQ(f.store.writes.back().rfind("Ostrell/LastTry=", 0), 0U) << "no Last after the attempt";
    EXPECT_EQ(app::parseStatusFile(f.stateFiles.files["status"]).lastSuccess, status.status->lastSuccess);
}

// "DataDir" names its folder with or without "/"; else nothing is fetched, it is reported once, --status fails.
TEST(Refresh, TheDataDirectoryIsTheFolderItNamesOrNone) {
    using Row = std::tuple<const char*, const char*, const char*>;  // setting, folder, --status says
    for (const auto& [setting, folder, said] :
         {Row{"/data", "/data/", "/data\noutgoing files waiting: none\nincoming files: InBookings.csv 1 line"},
          Row{"", "", "not set"}, Row{"/data/InBookings.csv", "", "/data/InBookings.csv (not a directory)"}}) {
        AgentFixture f;
        f.fs.putFile("/data/InBookings.csv", "x\r\n");
        f.store.set("Ostrell", "DataDir", setting);
        f.agent->start();
        f.loop.runFor(125000);
        EXPECT_EQ(f.shell.shown.dataDirPath, folder);
        EXPECT_EQ((std::pair{f.steps.downloads > 0, f.sinks.reports.size()}),
                  (std::pair{*folder != 0, *folder ? 0UL : 1UL}));
        app::StatusFindings status{};
        status.agentRunning = true;
        status.status = app::parseStatusFile(f.stateFiles.files["status"]);
        app::findDataFolder(f.fs, setting, status);
        EXPECT_NE(app::statusReportText(status, 0).find("data directory: " + std::string(said) + "\n"),
                  std::string::npos);
        EXPECT_EQ(app::statusExitCode(status, app::epochSecondsOf(status.status->lastSuccess).value()),
                  *folder ? 0 : 3);
    }
}

// A logon nobody answers (veltrana-sim --logon-reply '') is no contact, as a refused connection is.
TEST(OutageAlert, WarnsOnceWithinSeventySecondsOfAlertAfterAndOnceWhenTheLinkIsBack) {
    AgentFixture f;
    f.store.set("Ostrell", "AlertAfter", "1");
    f.answerLogon = false;
    f.agent->start();
    const std::string warning = "No contact with the booking server: bookings have not been received since 00:00";
    EXPECT_TRUE(f.loop.runUntil([&] { return !f.shell.notifications.empty(); }, 70000));
    f.loop.runFor(120000);
    f.answerLogon = true;
    f.loop.runFor(30000);
    EXPECT_EQ(f.shell.notifications, (Lines{warning, "The booking server is reachable again: bookings are received"}));
    EXPECT_EQ(std::count(f.systemLog.lines.begin(), f.systemLog.lines.end(), "warning: " + warning), 1);
    EXPECT_EQ(f.shell.linkStates.back().rfind("Last contact 00:0", 0), 0u) << f.shell.linkStates.back();
}

// A wrong TLS key is reported at start with its value; the agent then makes no link at all (never clear
// text), and every cycle says why in its line and its warning, as a failed connection does.
TEST(StartUp, AWrongTlsKeyIsReportedWithItsValueAndNothingConnectsInClearText) {
    for (const auto& [tls, pin, reason] :
         {std::tuple<std::string, std::string, std::string>{"Maybe", "", "TLS=Maybe: not Yes or No"},
          {"yes", "sha256/abc=", "TLSPin=sha256/abc=: not sha256/ and the base64 of a SHA-256"},
          {"YES", "sha256/47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFV=", "TLSPin=sha256/47DEQ"},
          {"Yes", "", "TLS=Yes: this program has no TLS"}}) {
        AgentFixture f;
        f.store.set("Ostrell", {"TLS=" + tls, "TLSPin=" + pin});
        f.agent->start();
        f.loop.runFor(5000);
        ASSERT_EQ(reportedProcedures(f.sinks), Lines{"Form_Load"}) << reason;
        EXPECT_EQ(f.sinks.reports[0].description.rfind(reason, 0), 0u) << f.sinks.reports[0].description;
        EXPECT_EQ(f.socket.connectCalls, 0) << reason;
        ASSERT_EQ(f.systemLog.lines.size(), 3u) << reason;  // the start line, the cycle's line and its warning
        for (const auto& line : {f.systemLog.lines[1], f.systemLog.lines[2]})
            EXPECT_NE(line.find(reason), std::string::npos) << line;
    }
}
