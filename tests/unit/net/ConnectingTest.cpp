#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "unit/Fixture.h"

using namespace ostrell;
using unittest::Lines;
using Net = unittest::NetFixture;

// What the server does with a connection attempt, and what the attempt leaves: logged on or not, the
// virtual time it took (the first test 400 ms after the connect, then one every 300 ms), the monitor
// lines, how often the countdown was shown, the lines the server got and the reporting procedures.
TEST(Connecting, EachWayAServerTakesTheAttemptEndsInItsTime) {
    struct Case {
        const char* name;
        std::function<void(Net&)> setUp;
        bool connected;
        int64_t elapsedMs;
        Lines lines;
        size_t countdowns;
        Lines reports;
    };
    const Lines loggedOn{"S {logon}", "R [ Logon success ]"};
    // clang-format off
    const auto cases = std::to_array<Case>({
        {"accepted and answered: the reply is taken the moment it arrives", [](Net&) {}, true, 410, loggedOn, 3, {}},
        {"never accepts: given up after ten tests", [](Net& f) { f.socket.acceptConnections = false; }, false, 3100, {}, 12, {}},
        {"a slow accept is taken at the next test", [](Net& f) { f.socket.connectDelayMs = 2000; }, true, 2210, loggedOn, 9, {}},
        {"a refusal shows as a socket error", [](Net& f) { f.socket.refuseConnections = true; }, false, 3100,
         {"E {Error - Connection is forcefully rejected}"}, 12, {}},
        // No contact (veltrana-sim --logon-reply ''): the next request connects again.
        {"the logon never answered: closed after 40 tests", [](Net& f) { f.logonReply.clear(); }, false, 400 + 39 * 300,
         {"S {logon}", "I {closeing port .. no response.}"}, 42, {}},
        {"port 0 never reaches the socket", [](Net& f) { f.server.serverPort = 0; }, false, 3100, {}, 12, {"TryToConnect"}},
        {"port 65536", [](Net& f) { f.server.serverPort = 65536; }, false, 3100, {}, 12, {"TryToConnect"}},
        {"port 65535", [](Net& f) { f.server.serverPort = 65535; }, true, 410, loggedOn, 3, {}},
        // The banner comes before the logon line and is dropped by it; "welcome" alone is too short.
        {"a greeting word alone does not end the logon wait, a reply after it does", [](Net& f) {
             f.socket.onAccepted = [&f] { f.socket.peerSend("WELCOME TO VELTRANA\r\n", 1); };
             f.logonReply = "welcome\r\n";
             f.loop.post(1300, [&f] { f.socket.peerSend("Welcome back\r\n"); });
         }, true, 1300, {"R [ to veltrana ]", "S {logon}", "R [ back ]"}, 5, {}},
    });
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Net f;
        int flashes = 0;
        f.connection.setLogonHook([&] { ++flashes; });
        c.setUp(f);
        f.connection.connectToServer();
        EXPECT_EQ(f.connection.isConnected(), c.connected);
        EXPECT_EQ(f.loop.nowMs(), c.elapsedMs);
        EXPECT_EQ(f.view.lines, c.lines);
        EXPECT_EQ(f.view.countdowns.size(), c.countdowns);
        EXPECT_EQ(f.journal, c.connected || c.countdowns == 42 ? Lines{"> tolvane|QHT514"} : Lines{});
        EXPECT_EQ(f.connection.logonUnanswered(), c.countdowns == 42);
        EXPECT_EQ(unittest::reportedProcedures(f.sinks), c.reports);
        EXPECT_EQ(flashes, !c.lines.empty() && c.lines.back().rfind("R [", 0) == 0 ? 1 : 0);
        EXPECT_EQ(f.view.countdowns.back() == 0, !c.connected || c.countdowns == 42);
        EXPECT_EQ(f.view.socketEnds, c.elapsedMs == 410
                                         ? "50123 127.0.0.1 " + std::to_string(f.server.serverPort) + " 10.1.2.3"
                                         : f.view.socketEnds);
    }
}

// A request on a link that is not logged on: what the caller gets, the monitor lines, the connections made.
TEST(Connecting, ARequestOnALinkNotLoggedOnConnectsAndLogsOnFirst) {
    struct Case {
        std::function<void(Net&)> setUp;
        std::string reply;
        Lines lines;
        int connects;
    };
    const Lines afresh{"I not connected", "S {logon}", "R [ Logon success ]", "S 10|4711", "R [ 10|NONE ]"};
    const auto closedBy = [](const std::function<void(Net&)>& end) {
        return [end](Net& f) {
            f.connection.connectToServer();
            end(f);
            f.loop.runFor(1);
        };
    };
    // clang-format off
    const auto cases = std::to_array<Case>({
        {[](Net& f) { f.socket.acceptConnections = false; }, "BAD - not connected", {"I not connected"}, 2},
        {closedBy([](Net& f) { f.logonReply.clear(); f.connection.connectToServer(); f.logonReply = "Logon success\r\n"; }), "10|NONE", afresh, 2},
        // After the download's quit the socket stays open until the server closes it.
        {closedBy([](Net& f) { f.connection.endExchange(); f.logonReply.clear(); }), "BAD - not connected",
         {"S {logon}", "I {closeing port .. no response.}"}, 1},
        // The greeting rule holds before the logon reply only, and again on each new connection.
        {closedBy([](Net& f) {
             f.logonReply = "Welcome to Veltrana - Logon SUCCESS\r\n";
             f.answer = [](const std::string&) { return std::string("10|\"7\",\"Welcome Inn\"\r\n"); };
             f.socket.peerClose();
         }), R"(10|"7","Welcome Inn")",
         {"I not connected", "S {logon}", "R [ to veltrana - logon success ]", "S 10|4711", R"(R [ 10|"7","Welcome Inn" ])"}, 2},
    });
    // clang-format on
    for (const Case& c : cases) {
        Net f;
        f.answer = [](const std::string&) { return std::string("10|NONE\r\n"); };
        c.setUp(f);
        f.view.lines.clear();
        EXPECT_EQ(f.connection.requestReply("10|4711"), c.reply);
        EXPECT_EQ(f.view.lines, c.lines);
        EXPECT_EQ(f.socket.connectCalls, c.connects);
        EXPECT_TRUE(f.sinks.reports.empty());
    }
}
