#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "app/AgentStatus.h"
#include "app/CloseRule.h"
#include "app/CycleCounting.h"
#include "app/HeadlessShell.h"
#include "app/LinkAlert.h"
#include "app/TrayState.h"
#include "app/VersionGate.h"
#include "fakes/FakeEventLoop.h"

using namespace ostrell;
using app::TrayPicture;

TEST(VersionGate, NumbersAreComparedPartByPartFromTheLeft) {
    const std::string min = "2.3.119";
    for (const char* ok : {"2.3.119", "2.3.120", "2.4.0", "2.10.0", "10.0.0", "2.3.119.5", "2.3.0119", " 2.3.119 ",
                           "99999999999999999999999999.0.0", "2.4"})
        EXPECT_TRUE(app::hostVersionAccepted(ok, min)) << ok;
    for (const char* refused : {"2.3.2", "2.3.118", "1.9.999", "0.0.0", "2.3", "2", "2.3.118.99999999999999999999"})
        EXPECT_FALSE(app::hostVersionAccepted(refused, min)) << refused;
}

TEST(VersionGate, TextsThatAreNotMadeOfNumbersAreRefused) {
    for (const char* bad :
         {"", "x.y.z", "2.3.x", "2..119", "2.3.119.", ".2.3", "-2.3.119", "+2.3.119", "2.3.1e9", "2,3,119", " "})
        EXPECT_FALSE(app::hostVersionAccepted(bad, "2.3.119")) << '"' << bad << '"';
    EXPECT_FALSE(app::compareVersions("x.y.z", "2.3.119").has_value());
    EXPECT_EQ(app::compareVersions("2.3", "2.3.0"), 0);
    EXPECT_EQ(app::compareVersions("2.3.0.0.1", "2.3"), 1);
    EXPECT_EQ(app::compareVersions("007.1", "7.2"), -1);
}

TEST(CloseRule, AllowedWhenTheSessionEndsOrExitSaysYesInAnyCase) {
    using app::CloseReason;
    EXPECT_TRUE(app::closeAllowed(CloseReason::SessionEnding, "No"));
    EXPECT_TRUE(app::closeAllowed(CloseReason::ControlMenu, "yes"));
    EXPECT_TRUE(app::closeAllowed(CloseReason::Code, "YeS"));
    for (const char* no : {"No", "Y", "", " yes", "yes "})
        EXPECT_FALSE(app::closeAllowed(CloseReason::ControlMenu, no)) << no;
}

TEST(HeadlessShell, ByDefaultPrintsTheCycleAndOutageLinesButNoMonitorLine) {
    fake::FakeEventLoop clock;
    std::ostringstream out, err, journal;
    app::HeadlessShell shell(clock, out, err);
    EXPECT_FALSE(shell.isWindowVisible()) << "the monitor then drops every line, records included";
    shell.showCycleSummary("cycle: connected");
    shell.notify("since 00:00", true);
    shell.notify("back", false);
    EXPECT_EQ(out.str(),
              "2026-12-06 00:00:00 cycle: connected\n2026-12-06 00:00:00 warning: since 00:00\n"
              "2026-12-06 00:00:00 back\n");
    // On the journal's own stream these lines would be the system log's twice.
    app::HeadlessShell onJournal(clock, journal, err, {false, true});
    onJournal.showCycleSummary("cycle: connected");
    onJournal.notify("since 00:00", true);
    EXPECT_EQ(journal.str(), "");
}

TEST(HeadlessShell, WithMonitorLinesPrintsEachOnceWithItsTimeAndKeepsNoText) {
    fake::FakeEventLoop clock;
    std::ostringstream out, err;
    app::HeadlessShell shell(clock, out, err, {true, false});
    EXPECT_TRUE(shell.isWindowVisible());
    shell.showCycleSummary("cycle: the monitor lines say it all");
    shell.setMonitorText("S {logon}\r\n");
    clock.runFor(1000);
    shell.setMonitorText("R [ Logon success ]\r\n");
    shell.setMonitorText(std::string(500, 'x'));  // a line the monitor cut
    EXPECT_EQ(shell.monitorText(), "");
    EXPECT_EQ(out.str(),
              "2026-12-06 00:00:00 S {logon}\n2026-12-06 00:00:01 R [ Logon success ]\n2026-12-06 00:00:01 " +
                  std::string(500, 'x') + "\n");
    out.str("");
    shell.setTrayPicture(TrayPicture::Neutral);
    shell.addTrayIcon();
    shell.setTrayPicture(TrayPicture::Neutral);
    shell.setTrayPicture(TrayPicture::Flag);
    shell.deleteTrayIcon();
    EXPECT_EQ(out.str(),
              "2026-12-06 00:00:01 [tray] icon added: 102 neutral: nothing waiting\n"
              "2026-12-06 00:00:01 [tray] 104 flag: no BK number\n"
              "2026-12-06 00:00:01 [tray] icon removed\n");
    shell.showMessage("Ostrell", "a\r\n\r\nb");
    EXPECT_EQ(err.str(), "Ostrell: a  b\n");
}

TEST(StatusTimes, OffsetsCountAndTheLastSuccessIsRecentForThreeCyclesAndAMinute) {
    const int64_t noonUtc = 1796558400;  // 2026-12-06T12:00:00Z
    struct Case {
        const char* iso;
        std::optional<int64_t> epoch;
    };
    for (const Case& c : {Case{"2026-12-06T12:00:00+00:00", noonUtc}, Case{"2026-12-06T13:30:00+01:30", noonUtc},
                          Case{"2026-12-06T07:00:00-05:00", noonUtc}, Case{"2026-12-06T12:00:00Z", noonUtc},
                          Case{"2026-12-06 12:00:00", std::nullopt}, Case{"", std::nullopt},
                          Case{"2026-13-06T12:00:00+00:00", std::nullopt}})
        EXPECT_EQ(app::epochSecondsOf(c.iso), c.epoch) << c.iso;
    EXPECT_TRUE(app::lastSuccessRecent(noonUtc + 105, "2026-12-06T12:00:00+00:00", 15));
    EXPECT_FALSE(app::lastSuccessRecent(noonUtc + 106, "2026-12-06T12:00:00+00:00", 15));
    EXPECT_FALSE(app::lastSuccessRecent(noonUtc, "", 15)) << "never";
}

TEST(OutageAlert, DueAfterAlertAfterMinutesWithoutContactAndNeverWithZero) {
    struct Case {
        int64_t sinceContactMs;
        int alertAfter;
        bool due;
    };
    for (const Case& c : {Case{59999, 1, false}, Case{60000, 1, true}, Case{1799999, 30, false},
                          Case{1800000, 30, true}, Case{99999999, 0, false}, Case{99999999, -5, false}})
        EXPECT_EQ(app::linkAlertDue(1000 + c.sinceContactMs, 1000, c.alertAfter), c.due)
            << c.sinceContactMs << " " << c.alertAfter;
}

TEST(CycleSummary, CountsAcceptedLinesPerFileAndAcknowledgedRecordsPerBkNumberButNoContents) {
    struct Scripted : net::LineExchange {
        std::string requestReply(const std::string& request) override {
            if (request.rfind("6|", 0) == 0) return request == "6|refused" ? "6|FAILED" : "6|SUCCESS";
            if (request.rfind("4|", 0) == 0) return "4|success";
            return "10|1|Guest Name|secret@example.org";
        }
        void endExchange() override {}
    } server;
    app::CycleSummary s;
    s.connected = true;
    s.host = "10.1.2.3";
    s.port = 6000;
    app::CountingExchange counting(server, s);
    for (const char* request :
         {"6|a", "6|refused", "6|b", "4|c", "10|4711", "12|1", "12|2", "11|4711", "13|3", "10|815", "11|815", "13|4"})
        counting.requestReply(request);
    s.errors = 1;
    s.durationMs = 1400;
    const std::string line = app::cycleSummaryLine(s);
    EXPECT_EQ(line,
              "cycle: connected to 10.1.2.3:6000, sent Prices.csv 1 line, Bookings.csv 2 lines, stored 4711: "
              "2 bookings 1 payment, 815: 0 bookings 1 payment, 1 error, 1.4 s");
    EXPECT_EQ(line.find("Guest"), std::string::npos);
}
