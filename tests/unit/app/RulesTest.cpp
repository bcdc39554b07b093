#include <gtest/gtest.h>

#include <sstream>

#include "app/AgentStatus.h"
#include "app/CloseRule.h"
#include "app/CycleCounting.h"
#include "app/DataDirChooser.h"
#include "app/DisplayChoice.h"
#include "app/HeadlessShell.h"
#include "app/LinkAlert.h"
#include "app/TrayActivation.h"
#include "app/TrayState.h"
#include "app/VersionGate.h"
#include "fakes/FakeEventLoop.h"

using namespace ostrell;

// The rules that decide something, one table each.
TEST(Rules, DecideAsTheDesktopAndTheHostExpect) {
    for (const char* v : {"2.3.119", "2.3.120", "2.10.0", "10.0.0", "2.3.0119", " 2.3.119 ", "2.4", "2.3.119.5",
                          "99999999999999999999999999.0.0"})
        EXPECT_TRUE(app::hostVersionAccepted(v, "2.3.119")) << v;
    for (const char* v : {"2.3.118", "2.3.2", "2.3", "", " ", "x.y.z", "2..119", "2.3.119.", "-2.3.119", "2,3,119",
                          "2.3.118.99999999999999999999"})
        EXPECT_FALSE(app::hostVersionAccepted(v, "2.3.119")) << '"' << v << '"';
    using app::CloseReason;
    for (const auto& [reason, exitMode, allowed] :
         {std::tuple{CloseReason::SessionEnding, "No", true}, {CloseReason::ControlMenu, "yes", true},
          {CloseReason::Code, "YeS", true}, {CloseReason::ControlMenu, "No", false},
          {CloseReason::ControlMenu, "Y", false}, {CloseReason::Code, " yes", false}})
        EXPECT_EQ(app::closeAllowed(reason, exitMode), allowed) << exitMode;
    using P = app::TrayPicture;
    for (const auto& [bk, waiting, connected, picture] :
         {std::tuple{false, true, true, P::Flag}, {true, true, true, P::Smiling}, {true, true, false, P::Frowning},
          {true, false, true, P::Neutral}, {true, false, false, P::Neutral}})
        EXPECT_EQ(app::trayPictureFor(bk, waiting, connected), picture) << bk << waiting << connected;
    for (const auto& [display, wayland, qpa, arg, wanted] :
         {std::tuple{":0", "", "", "", true}, {"", "wayland-0", "", "", true}, {"", "", "", "", false},
          {":0", "", "offscreen", "", false}, {":0", "", "minimal", "", false}, {":0", "", "xcb", "--headless", false}})
        EXPECT_EQ(app::desktopWanted({display, wayland, qpa}, {"ostrell", arg}), wanted) << display << qpa << arg;
    using E = app::TrayEvent;
    using A = app::TrayAction;
    for (const auto& [event, action] : {std::pair{E::Context, A::OpenMenu}, {E::DoubleClick, A::RestoreNormal},
                                        {E::Trigger, A::Nothing}, {E::MiddleClick, A::Nothing}})
        EXPECT_EQ(app::trayActionFor(event), action);
    EXPECT_EQ(app::trayTipText("", std::string(70, 'c')), std::string(64, 'c'));
    for (const auto& [sinceMs, after, due] : {std::tuple{59999, 1, false}, {60000, 1, true}, {1800000, 30, true},
                                              {99999999, 0, false}, {99999999, -5, false}})
        EXPECT_EQ(app::linkAlertDue(1000 + sinceMs, 1000, after), due) << sinceMs << " " << after;
    for (const auto& [path, exists, dir] :
         {std::tuple{"/srv/d/BK.csv", true, "/srv/d/"}, {"/srv/d/none.csv", false, "/srv/d/none.csv"},
          {"/srv/a/a", true, "/srv//"}, {"plain", true, ""}})
        EXPECT_EQ(app::dataDirFromChosenFile(path, exists), dir) << path;
}

TEST(Rules, StatusTimesCountTheOffsetAndAreRecentForThreeCyclesAndAMinute) {
    const int64_t noonUtc = 1796558400;  // 2026-12-06T12:00:00Z
    for (const char* iso : {"2026-12-06T12:00:00+00:00", "2026-12-06T13:30:00+01:30", "2026-12-06T07:00:00-05:00"})
        EXPECT_EQ(app::epochSecondsOf(iso), noonUtc) << iso;
    for (const char* bad : {"2026-12-06 12:00:00", "", "2026-13-06T12:00:00+00:00"})
        EXPECT_FALSE(app::epochSecondsOf(bad)) << bad;
    EXPECT_TRUE(app::lastSuccessRecent(noonUtc + 105, "2026-12-06T12:00:00+00:00", 15));
    EXPECT_FALSE(app::lastSuccessRecent(noonUtc + 106, "2026-12-06T12:00:00+00:00", 15));
    EXPECT_FALSE(app::lastSuccessRecent(noonUtc, "", 15)) << "never";
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
    EXPECT_EQ(app::cycleSummaryLine(s),
              "cycle: connected to 10.1.2.3:6000, sent Prices.csv 1 line, Bookings.csv 2 lines, stored 4711: "
              "2 bookings 1 payment, 815: 0 bookings 1 payment, 1 error, 1.4 s");
}

// Headless, out gets the cycle and outage lines (not on the journal's own stream, where the system log
// has them), or with the monitor on every monitor line once, and message boxes go to err on one line.
TEST(HeadlessShell, PrintsTheLinesItsModeAsksForWithTheirTimes) {
    for (const auto& [monitorLines, onJournal, expected] :
         {std::tuple{false, false, "00:00:00 cycle: 1\n00:00:01 warning: down\n00:00:01 [tray] icon added\n"},
          {false, true, "00:00:01 [tray] icon added\n"},
          {true, false,
           "00:00:00 S {logon}\n00:00:01 warning: down\n00:00:01 R [ ok ]\n00:00:01 [tray] icon added\n"}}) {
        fake::FakeEventLoop clock;
        std::ostringstream out, err;
        app::HeadlessShell shell(clock, out, err, {monitorLines, onJournal});
        shell.showCycleSummary("cycle: 1");
        // As the monitor writes: only while the window counts as visible.
        if (shell.isWindowVisible()) shell.setMonitorText("S {logon}\r\n");
        clock.runFor(1000);
        shell.notify("down", true);
        if (shell.isWindowVisible()) shell.setMonitorText("R [ ok ]\r\n");
        shell.addTrayIcon();
        EXPECT_EQ(shell.monitorText(), "");
        std::string shown = out.str();
        for (size_t at = shown.find("2026-12-06 "); at != std::string::npos; at = shown.find("2026-12-06 "))
            shown.erase(at, 11);
        EXPECT_EQ(shown, expected);
        shell.showMessage("Ostrell", "a\r\n\r\nb");
        EXPECT_EQ(err.str(), "Ostrell: a  b\n");
    }
}
