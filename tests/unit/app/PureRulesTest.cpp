#include <gtest/gtest.h>

#include <sstream>

#include "app/CloseRule.h"
#include "app/HeadlessShell.h"
#include "app/TrayState.h"
#include "app/VersionGate.h"
#include "platform/fake/FakeEventLoop.h"

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
    for (const char* bad : {"", "x.y.z", "2.3.x", "2..119", "2.3.119.", ".2.3", "-2.3.119", "+2.3.119", "2.3.1e9", "2,3,119", " "})
        EXPECT_FALSE(app::hostVersionAccepted(bad, "2.3.119")) << '"' << bad << '"';
    EXPECT_FALSE(app::compareVersions("x.y.z", "2.3.119").has_value());
    EXPECT_EQ(app::compareVersions("2.3", "2.3.0"), 0);
    EXPECT_EQ(app::compareVersions("2.3.0.0.1", "2.3"), 1);
    EXPECT_EQ(app::compareVersions("007.1", "7.2"), -1);
}

TEST(TrayState, TheFlagWinsThenFilesWaitingDecideByTheConnection) {
    for (bool files : {false, true})
        for (bool connected : {false, true}) EXPECT_EQ(app::trayPictureFor(false, files, connected), TrayPicture::Flag);
    EXPECT_EQ(app::trayPictureFor(true, true, true), TrayPicture::Smiling);
    EXPECT_EQ(app::trayPictureFor(true, true, false), TrayPicture::Frowning);
    EXPECT_EQ(app::trayPictureFor(true, false, true), TrayPicture::Neutral);
    EXPECT_EQ(app::trayPictureFor(true, false, false), TrayPicture::Neutral);
}

TEST(CloseRule, AllowedWhenTheSessionEndsOrExitSaysYesInAnyCase) {
    using app::CloseReason;
    EXPECT_TRUE(app::closeAllowed(CloseReason::SessionEnding, "No"));
    EXPECT_TRUE(app::closeAllowed(CloseReason::ControlMenu, "yes"));
    EXPECT_TRUE(app::closeAllowed(CloseReason::Code, "YeS"));
    for (const char* no : {"No", "Y", "", " yes", "yes "}) EXPECT_FALSE(app::closeAllowed(CloseReason::ControlMenu, no)) << no;
}

TEST(HeadlessShell, PrintsEachMonitorLineOnceWithItsTimeAndKeepsNoText) {
    fake::FakeEventLoop clock;
    std::ostringstream out, err;
    app::HeadlessShell shell(clock, out, err);
    EXPECT_TRUE(shell.isWindowVisible());
    shell.setMonitorText("S {logon}\r\n");
    clock.runFor(1000);
    shell.setMonitorText("R [ Logon success ]\r\n");
    shell.setMonitorText(std::string(500, 'x'));  // a line the monitor cut
    EXPECT_EQ(shell.monitorText(), "");
    EXPECT_EQ(out.str(), "2026-12-06 00:00:00 S {logon}\n2026-12-06 00:00:01 R [ Logon success ]\n2026-12-06 00:00:01 " +
                             std::string(500, 'x') + "\n");
    out.str("");
    shell.setTrayPicture(TrayPicture::Neutral);
    shell.addTrayIcon();
    shell.setTrayPicture(TrayPicture::Neutral);
    shell.setTrayPicture(TrayPicture::Flag);
    shell.deleteTrayIcon();
    EXPECT_EQ(out.str(), "2026-12-06 00:00:01 [tray] icon added: 102 neutral: nothing waiting\n"
                         "2026-12-06 00:00:01 [tray] 104 flag: no BK number\n"
                         "2026-12-06 00:00:01 [tray] icon removed\n");
    shell.showMessage("Ostrell", "a\r\n\r\nb");
    EXPECT_EQ(err.str(), "Ostrell: a  b\n");
}
