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
    f.loop.runFor(1000);
    EXPECT_EQ(f.shell.journal.back(), "picture 101") << "the logon refreshes the picture";
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
    }
}

// "EndFlag" exactly "Y" ends at once, at start-up before anything is written.
TEST(Ending, AnEndRequestAtStartUpEndsBeforeAnythingIsWritten) {
    AgentFixture f;
    f.store.set("Application", "EndFlag", "Y");
    EXPECT_THROW(f.agent->start(), fake::ProgramEnded);
    EXPECT_TRUE(f.store.writes.empty());
}

// Exit says quit on an open connection and ends the program whatever "Exit" says.
TEST(Ending, ExitSaysQuitAndEnds) {
    AgentFixture f;
    f.agent->start();
    f.loop.runFor(3000);
    f.agent->exitProgram();
    EXPECT_EQ(f.socket.sentLines.back(), "quit");
    EXPECT_EQ(f.socket.state(), platform::TcpSocket::StateClosed);
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
                  (p.hasLoNumber ? ", a BK number of blanks" : ""),
              "42 16 importer --now, a BK number of blanks");
    EXPECT_EQ(reportedProcedures(f.sinks), Lines{"tmrParams_Timer"});
}

// A data directory another agent holds is left alone until it is free; an unlockable one is worked in.
TEST(Refresh, ADataDirectoryAnotherAgentHoldsIsLeftAloneAndReported) {
    AgentFixture f;
    f.agent->start();
    f.dirLock.heldBy["/shared/"] = 4242;
    f.dirLock.unlockable["/readonly/"] = true;
    f.shell.dataDirBox = "/shared/";
    f.agent->saveSettings();
    f.loop.runFor(60000);
    const int steps = f.steps.downloads;
    f.loop.runFor(120000);
    EXPECT_EQ(f.steps.downloads, steps);
    EXPECT_NE(f.sinks.reports.at(0).description.find("pid 4242"), std::string::npos);
    for (const char* next : {"/shared/", "/readonly/"}) {
        f.dirLock.heldBy.clear();
        f.store.set("Ostrell", "DataDir", next);
        const int before = f.steps.downloads;
        f.loop.runFor(75000);
        EXPECT_GT(f.steps.downloads, before) << next;
    }
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

TEST(CycleReport, EachCycleLeavesOneInfoLineARefusalAWarningAndTheStatusItsTimes) {
    AgentFixture f;
    f.socket.refuseConnections = true;
    f.store.set("Ostrell", "IPLocalport", "70000");
    f.agent->start();
    f.loop.runFor(1000);
    EXPECT_EQ(f.sinks.reports.size(), 1u);
    EXPECT_EQ(f.systemLog.lines,
              (Lines{"info: cycle: not connected to 10.1.2.3:6000 (Connection is forcefully rejected), 0 errors, 3.1 s",
                     "warning: cannot connect to 10.1.2.3 port 6000: Connection is forcefully rejected"}));
    f.socket.refuseConnections = false;
    f.systemLog.lines.clear();
    f.loop.runFor(17000);
    ASSERT_EQ(f.systemLog.lines.size(), 1u) << "one line per cycle, and no warning";
    EXPECT_EQ(f.systemLog.lines[0].rfind("info: cycle: connected to 10.1.2.3:6000, nothing sent", 0), 0u);
    app::StatusFindings status{};
    status.status = app::parseStatusFile(f.stateFiles.files["status"]);
    const int64_t success = app::epochSecondsOf(status.status->lastSuccess).value();
    EXPECT_EQ(app::statusExitCode(status, success + 45 + 60), 0);
    EXPECT_EQ(app::statusExitCode(status, success + 45 + 61), 3) << "three cycles and a minute later";
}

TEST(OutageAlert, WarnsOnceWithinSeventySecondsOfAlertAfterAndOnceWhenTheLinkIsBack) {
    AgentFixture f;
    f.store.set("Ostrell", "AlertAfter", "1");
    f.socket.refuseConnections = true;
    f.agent->start();
    const std::string warning = "No contact with the booking server: bookings have not been received since 00:00";
    EXPECT_TRUE(f.loop.runUntil([&] { return !f.shell.notifications.empty(); }, 70000));
    f.loop.runFor(120000);
    f.socket.refuseConnections = false;
    f.loop.runFor(20000);
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
        ASSERT_EQ(f.systemLog.lines.size(), 2u) << reason;  // the cycle's line and its warning
        for (const auto& line : f.systemLog.lines) EXPECT_NE(line.find(reason), std::string::npos) << line;
    }
}
