#include <gtest/gtest.h>

#include "unit/Fixture.h"

using namespace ostrell;

TEST(Monitor, NewestLineFirstNothingWhileHiddenAndAPastFiveThousandTextCutToItsNewest500) {
    unittest::NetFixture f;
    f.view.visible = false;
    f.monitor.show("S {logon}");
    f.view.visible = true;
    f.monitor.show("S 10|4711");
    f.monitor.show("R [ 10|NONE ]");
    EXPECT_EQ(f.view.text, "R [ 10|NONE ]\r\nS 10|4711\r\n");
    f.view.text = std::string(4996, 'x');
    f.monitor.show("ab");  // "ab" CR LF + 4996 = 5000
    EXPECT_EQ(f.view.text.size(), 5000u);
    f.monitor.show("ab");
    EXPECT_EQ(f.view.text, "ab\r\nab\r\n" + std::string(492, 'x'));
}

TEST(Monitor, AWindowThatFailsIsReportedUnderShowTXTAndTheCallerCarriesOn) {
    struct BrokenView : net::MonitorView {
        bool isWindowVisible() const override { return true; }
        std::string monitorText() const override { throw platform::PlatformError(7, "Out of memory"); }
        void setMonitorText(const std::string&) override { ++sets; }
        int sets = 0;
    } broken;
    unittest::Base base;
    net::Monitor(broken, base.reporter).show("S {logon}");
    EXPECT_EQ(unittest::reportedProcedures(base.sinks), unittest::Lines{"ShowTXT"});
    EXPECT_EQ(broken.sets, 0);
}
