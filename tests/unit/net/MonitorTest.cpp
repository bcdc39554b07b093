#include <gtest/gtest.h>

#include "net/ServerAddress.h"
#include "unit/Fixture.h"

using namespace ostrell;

TEST(Monitor, NewestLineFirstSeparatedByCrLfAndNothingKeptWhileTheWindowIsHidden) {
    unittest::NetFixture f;
    f.view.visible = false;
    f.monitor.show("S {logon}");
    EXPECT_EQ(f.view.text, "");
    f.view.visible = true;
    f.monitor.show("S 10|4711");
    f.monitor.show("R [ 10|NONE ]");
    EXPECT_EQ(f.view.text, "R [ 10|NONE ]\r\nS 10|4711\r\n");
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(Monitor, ATextOfExactly5000StaysWholeAndOneCharacterMoreIsCutTo500) {
    unittest::NetFixture f;
    f.view.text = std::string(4996, 'x');
    f.monitor.show("ab");  // "ab" CR LF + 4996 = 5000
    EXPECT_EQ(f.view.text.size(), 5000u);
    f.view.text = std::string(4997, 'x');
    f.monitor.show("ab");
    EXPECT_EQ(f.view.text, "ab\r\n" + std::string(496, 'x'));
}

TEST(Monitor, AFailingWindowIsReportedUnderShowTXTAndTheCallerCarriesOn) {
    struct BrokenView : net::MonitorView {
        bool isWindowVisible() const override { return true; }
        std::string monitorText() const override { throw platform::PlatformError(7, "Out of memory"); }
        void setMonitorText(const std::string&) override { ++sets; }
        int sets = 0;
    } broken;
    unittest::NetFixture f;
    net::Monitor monitor(broken, f.reporter);
    monitor.show("S {logon}");
    EXPECT_EQ(f.sinks.where(), std::vector<std::string>{"ShowTXT:15"});
    EXPECT_EQ(broken.sets, 0);
}

TEST(ServerAddress, ShowsTheAddressAndPortOnTwoLines) {
    EXPECT_EQ(net::serverAddressText("10.1.2.3", 6667), "IP: 10.1.2.3\r\nPort: 6667");
    EXPECT_EQ(net::serverAddressText("", 0), "IP: \r\nPort: 0");
}
