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
        std::function<void(Net&)> setUp = [](Net&) {};
        bool up = false;  // connected
        int64_t ms = 3100;
        Lines shown = {};  // on the monitor
        size_t countdowns = 12;
        Lines reports = {};
    };
    const Lines loggedOn{"S {logon}", "R [ Logon success ]"};
    const auto port = [](int32_t number) { return [number](Net& f) { f.server.serverPort = number; }; };
    const auto slowAccept = [](Net& f) { f.socket.connectDelayMs = 2000; };
    const auto cases = std::to_array<Case>({
        // An answer is taken the moment it arrives; a slow accept at the next test; ten tests, then given up.
        {.name = "port 65535", .setUp = port(65535), .up = true, .ms = 410, .shown = loggedOn, .countdowns = 3},
        {.name = "never accepts", .setUp = [](Net& f) { f.socket.acceptConnections = false; }},
        {.name = "a slow accept", .setUp = slowAccept, .up = true, .ms = 2210, .shown = loggedOn, .countdowns = 9},
        {.name = "a refusal shows as a socket error",
         .setUp = [](Net& f) { f.socket.refuseConnections = true; },
         .shown = {"E {Error - Connection is forcefully rejected}"}},
        // No contact (veltrana-sim --logon-reply ''): closed after 40 tests, the next request connects again.
        {.name = "the logon never answered",
         .setUp = [](Net& f) { f.logonReply.clear(); },
         .ms = 400 + 39 * 300,
         .shown = {"S {logon}", "I {closeing port .. no response.}"},
         .countdowns = 42},
        {.name = "port 0 never reaches the socket", .setUp = port(0), .reports = {"TryToConnect"}},
        {.name = "port 65536", .setUp = port(65536), .reports = {"TryToConnect"}},
        // The banner comes before the logon line and is dropped by it; "welcome" alone is too short.
        {.name = "a greeting word alone does not end the logon wait, a reply after it does",
         .setUp =
             [](Net& f) {
                 f.socket.onAccepted = [&f] { f.socket.peerSend("WELCOME TO VELTRANA\r\n", 1); };
                 f.logonReply = "welcome\r\n";
                 f.loop.post(1300, [&f] { f.socket.peerSend("Welcome back\r\n"); });
             },
         .up = true,
         .ms = 1300,
         .shown = {"R [ to veltrana ]", "S {logon}", "R [ back ]"},
         .countdowns = 5},
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Net f;
        int flashes = 0;
        f.connection.setLogonHook([&] { ++flashes; });
        c.setUp(f);
        f.connection.connectToServer();
        EXPECT_EQ(f.connection.isConnected(), c.up);
        EXPECT_EQ(f.loop.nowMs(), c.ms);
        EXPECT_EQ(f.view.lines, c.shown);
        EXPECT_EQ(f.view.countdowns.size(), c.countdowns);
        EXPECT_EQ(f.journal, c.up || c.countdowns == 42 ? Lines{"> tolvane|QHT514"} : Lines{});
        EXPECT_EQ(f.connection.logonUnanswered(), c.countdowns == 42);
        EXPECT_EQ(unittest::reportedProcedures(f.sinks), c.reports);
        EXPECT_EQ(flashes, !c.shown.empty() && c.shown.back().rfind("R [", 0) == 0 ? 1 : 0);
        EXPECT_EQ(f.view.countdowns.back() == 0, !c.up || c.countdowns == 42);
        EXPECT_EQ(f.view.socketEnds, c.ms == 410
                                         ? "50123 127.0.0.1 " + std::to_string(f.server.serverPort) + " 10.1.2.3"
                                         : f.view.socketEnds);
    }
}

// A request on a link that is not logged on: what the caller gets, the monitor lines, the connections made.
TEST(Connecting, ARequestOnALinkNotLoggedOnConnectsAndLogsOnFirst) {
    struct Case {
        std::function<void(Net&)> setUp;
        std::string reply = "BAD - not connected";
        Lines lines;
        int connects = 2;
    };
    const Lines afresh{"I not connected", "S {logon}", "R [ Logon success ]", "S 10|4711", "R [ 10|NONE ]"};
    const auto closedBy = [](const std::function<void(Net&)>& end) {
        return [end](Net& f) {
            f.connection.connectToServer();
            end(f);
            f.loop.runFor(1);
        };
    };
    const auto cases = std::to_array<Case>({
        {.setUp = [](Net& f) { f.socket.acceptConnections = false; }, .lines = {"I not connected"}},
        {.setUp = closedBy([](Net& f) {
             f.logonReply.clear();
             f.connection.connectToServer();
             f.logonReply = "Logon success\r\n";
         }),
         .reply = "10|NONE",
         .lines = afresh},
        // After the download's quit the socket stays open until the server closes it.
        {.setUp = closedBy([](Net& f) { f.connection.endExchange(), f.logonReply.clear(); }),
         .lines = {"S {logon}", "I {closeing port .. no response.}"},
         .connects = 1},
        // The greeting rule holds before the logon reply only, and again on each new connection.
        {.setUp = closedBy([](Net& f) {
             f.logonReply = "Welcome to Veltrana - Logon SUCCESS\r\n";
             f.answer = [](const std::string&) { return std::string("10|\"7\",\"Welcome Inn\"\r\n"); };
             f.socket.peerClose();
         }),
         .reply = R"(10|"7","Welcome Inn")",
         .lines = {"I not connected", "S {logon}", "R [ to veltrana - logon success ]", "S 10|4711",
                   R"(R [ 10|"7","Welcome Inn" ])"}},
    });
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
