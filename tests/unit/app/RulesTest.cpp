#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <tuple>

#include "app/AgentStatus.h"
#include "app/CycleSummary.h"
#include "app/DisplayChoice.h"
#include "app/HeadlessShell.h"
#include "app/PanelActions.h"
#include "app/StartChecks.h"
#include "app/TrayRules.h"
#include "fakes/FakeEventLoop.h"

using namespace ostrell;

TEST(Rules, DecideAsTheDesktopAndTheHostExpect) {
    for (const char* v : {"2.3.119", "2.3.120", "2.10.0", "10.0.0", "2.3.0119", " 2.3.119 ", "2.4", "2.3.119.5"})
        EXPECT_TRUE(app::hostVersionAccepted(v, "2.3.119")) << v;
    for (const char* v : {"2.3.118", "2.3.2", "2.3", "", "x.y.z", "2..119", "2.3.119.", "-2.3.119", "2,3,119"})
        EXPECT_FALSE(app::hostVersionAccepted(v, "2.3.119")) << '"' << v << '"';
    using P = app::TrayPicture;
    using Pic = std::tuple<bool, bool, bool, P>;
    for (const auto& [bk, waiting, connected, picture] :
         {Pic{false, true, true, P::Flag}, Pic{true, true, true, P::Smiling}, Pic{true, true, false, P::Frowning},
          Pic{true, false, true, P::Neutral}, Pic{true, false, false, P::Neutral}})
        EXPECT_EQ(app::trayPictureFor(bk, waiting, connected), picture) << bk << waiting << connected;
    using Env = std::tuple<const char*, const char*, const char*, const char*, bool>;
    for (const auto& [display, wayland, qpa, arg, wanted] :
         {Env{":0", "", "", "", true}, Env{"", "w-0", "", "", true}, Env{"", "", "", "", false},
          Env{":0", "", "offscreen", "", false}, Env{":0", "", "xcb", "--headless", false}})
        EXPECT_EQ(app::desktopWanted({display, wayland, qpa}, {"ostrell", arg}), wanted) << display << qpa << arg;
    using E = app::TrayEvent;
    using A = app::TrayAction;
    using Ev = std::pair<E, A>;
    for (const auto& [event, action] : {Ev{E::Context, A::OpenMenu}, Ev{E::DoubleClick, A::RestoreNormal},
                                        Ev{E::Trigger, A::ShowStatus}, Ev{E::MiddleClick, A::Nothing}})
        EXPECT_EQ(app::trayActionFor(event), action);
    using Due = std::tuple<int, int, bool>;
    for (const auto& [sinceMs, after, due] : {Due{59999, 1, false}, Due{60000, 1, true}, Due{1800000, 30, true},
                                              Due{99999999, 0, false}, Due{99999999, -5, false}})
        EXPECT_EQ(app::linkAlertDue(1000 + sinceMs, 1000, after), due) << sinceMs << " " << after;
    using Dir = std::tuple<const char*, bool, const char*>;
    for (const auto& [path, exists, dir] : {Dir{"/srv/d/BK.csv", true, "/srv/d/"}, Dir{"/srv/d/x", false, "/srv/d/x"},
                                            Dir{"/srv/a/a", true, "/srv//"}, Dir{"plain", true, ""}})
        EXPECT_EQ(app::dataDirFromChosenFile(path, exists), dir) << path;
    using Iso = std::pair<const char*, std::optional<int64_t>>;
    for (const auto& [iso, epoch] :
         {Iso{"2026-12-06T12:00:00+00:00", 1796558400}, Iso{"2026-12-06T13:30:00+01:30", 1796558400},
          Iso{"2026-12-06T07:00:00-05:00", 1796558400}, Iso{"2026-12-06 12:00:00", {}}, Iso{"", {}},
          Iso{"2026-13-06T12:00:00+00:00", {}}})
        EXPECT_EQ(app::epochSecondsOf(iso), epoch) << iso;
}
TEST(CycleSummary, CountsAcceptedLinesPerFileAndStoredRecordsPerBkNumberButNoContents) {
    app::CycleSummary s{true, "10.1.2.3", 6000, "", {}, {{"815", 0, 0}, {"4711", 0, 0}, {"  ", 0, 0}}, 1, 1400};
    app::SummaryCounter counter(s);
    for (const char* file : {"Prices.csv", "Bookings.csv", "Bookings.csv"}) counter.lineAccepted(file);
    using K = cycle::RecordKind;
    for (const auto& [bk, kind] : {std::pair{"4711", K::Booking},
                                   {"4711", K::Booking},
                                   {"4711", K::Payment},
                                   {"815", K::Payment},
                                   {"9", K::Booking}})
        counter.recordStored(bk, kind);
    EXPECT_EQ(app::cycleSummaryLine(s),
              "cycle: connected to 10.1.2.3:6000, sent Prices.csv 1 line, Bookings.csv 2 lines, stored 815: "
              "0 bookings 1 payment, 4711: 2 bookings 1 payment, 9: 1 booking 0 payments, 1 error, 1.4 s");
}

// Headless: the lines the output mode asks for (none twice on the journal); message boxes go to err.
TEST(HeadlessShell, PrintsTheLinesItsModeAsksFor) {
    using Mode = std::tuple<bool, bool, const char*>;
    for (const auto& [monitorLines, onJournal, expected] :
         {Mode{false, true, ""},
          Mode{true, false,
               "2026-12-06 00:00:00 warning: No contact with the booking server: bookings have not been received since "
               "14:05\n2026-12-06 00:00:01 S {logon}\n"}}) {
        fake::FakeEventLoop clock;
        std::ostringstream out, err;
        app::HeadlessShell shell(clock, out, err, {monitorLines, onJournal});
        shell.notify(true, "14:05");
        clock.runFor(1000);
        if (shell.isWindowVisible()) shell.setMonitorText("S {logon}\r\n");
        shell.showCycleSummary("cycle: 2");
        shell.addTrayIcon();  // no tray, and nothing of it on stdout
        shell.setTrayPicture(app::TrayPicture::Flag);
        shell.deleteTrayIcon();
        EXPECT_EQ(out.str(), expected);
        shell.showMessage("Ostrell", "a\r\n\r\nb");
        EXPECT_EQ(err.str(), "Ostrell: a  b\n");
    }
}
