#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "unit/Fixture.h"

using namespace ostrell;
using platform::TcpSocket;
using unittest::Lines;

TEST(Connecting, ConnectsLogsOnWithTheFixedLineAndTakesTheReplyAtOnce) {
    unittest::NetFixture f;
    int flashes = 0;
    f.connection.setLogonHook([&] { ++flashes; });
    f.connection.connectToServer();
    EXPECT_TRUE(f.connection.connected);
    EXPECT_EQ(f.socket.lastHost, "10.1.2.3");
    EXPECT_EQ(f.socket.lastPort, 6000);
    EXPECT_EQ(f.socket.sentBytes, "tolvane|QHT514\n");
    EXPECT_EQ(f.view.lines, (std::vector<std::string>{"S {logon}", "R [ Logon success ]"}));
    EXPECT_EQ(flashes, 1);
    EXPECT_EQ(f.connection.replyPos, 7);
    // First test 400 ms after the connect; the logon reply is taken the moment it arrives.
    EXPECT_EQ(f.loop.nowMs(), 410);
    EXPECT_EQ(f.view.countdownValues(), (std::vector<int>{10, 10, 39}));
    ASSERT_EQ(f.view.socketEnds.size(), 1u);
    EXPECT_EQ(f.view.socketEnds[0], "50123 127.0.0.1 6000 10.1.2.3");
    EXPECT_TRUE(f.sinks.reports.empty());
}

// What the server does with a connection attempt, and what the attempt leaves: Connected, the virtual
// time it took (the first test 400 ms after the connect, then one every 300 ms), the monitor lines, the
// countdown shown, the lines sent and the reports.
TEST(Connecting, EachWayAServerTakesTheAttemptEndsInItsTime) {
    std::vector<int> tenTests{10, 10}, fortyTests{10, 10};
    for (int i = 9; i >= 0; --i) tenTests.push_back(i);
    for (int i = 39; i >= 0; --i) fortyTests.push_back(i);
    const Lines logon{"tolvane|QHT514"}, none;
    struct Case {
        const char* name;
        std::function<void(unittest::NetFixture&)> setUp;
        bool connected;
        int64_t elapsedMs;
        Lines lines;
        std::vector<int> countdowns;
        Lines sent;
        Lines reports;
    };
    const auto port = [](int32_t p) { return [p](unittest::NetFixture& f) { f.server.serverPort = p; }; };
    const Case cases[] = {
        {"never accepts: given up after ten tests",
         [](auto& f) { f.socket.acceptConnections = false; },
         false,
         3100,
         {},
         tenTests,
         none,
         {}},
        {"a slow accept is taken at the next test",
         [](auto& f) { f.socket.connectDelayMs = 2000; },
         true,
         2200 + 10,
         {"S {logon}", "R [ Logon success ]"},
         {10, 10, 9, 8, 7, 6, 5, 4, 39},
         logon,
         {}},
        {"a refusal shows as a socket error and the wait runs its course",
         [](auto& f) { f.socket.refuseConnections = true; },
         false,
         3100,
         {"E {Error - Connection is forcefully rejected}"},
         tenTests,
         none,
         {}},
        // Connected stays true: the next request finds the socket closed and connects again.
        {"the logon never answered: closed after 40 tests",
         [](auto& f) { f.logonReply.clear(); },
         true,
         400 + 39 * 300,
         {"S {logon}", "I {closeing port .. no response.}"},
         fortyTests,
         logon,
         {}},
        {"port 0", port(0), false, 3100, {}, tenTests, none, {"TryToConnect:20"}},
        {"port -1", port(-1), false, 3100, {}, tenTests, none, {"TryToConnect:20"}},
        {"port 65536", port(65536), false, 3100, {}, tenTests, none, {"TryToConnect:20"}},
        {"port 2^31-1", port(INT32_MAX), false, 3100, {}, tenTests, none, {"TryToConnect:20"}},
        {"port 65535", port(65535), true, 410, {"S {logon}", "R [ Logon success ]"}, {10, 10, 39}, logon, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        unittest::NetFixture f;
        c.setUp(f);
        f.connection.connectToServer();
        EXPECT_EQ(f.connection.connected, c.connected);
        EXPECT_EQ(f.loop.nowMs(), c.elapsedMs);
        EXPECT_EQ(f.view.lines, c.lines);
        EXPECT_EQ(f.view.countdownValues(), c.countdowns);
        EXPECT_EQ(f.socket.sentLines, c.sent);
        EXPECT_EQ(f.sinks.where(), c.reports);
        if (!c.reports.empty()) {
            EXPECT_EQ(f.socket.connectCalls, 0) << "a port out of range never reaches the socket";
        }
        if (c.lines.size() != 2) {
            EXPECT_EQ(f.socket.state(), TcpSocket::StateClosed);
        }
    }
}

TEST(Connecting, AGreetingWordAloneDoesNotEndTheLogonWaitButAReplyAfterItDoes) {
    unittest::NetFixture f;
    f.logonReply = "Welcome\r\n";
    f.socket.onAccepted = [&] { f.socket.peerSend("WELCOME TO VELTRANA\r\n", 1); };
    f.socket.onLine = [&](const std::string&) {
        f.socket.peerSend("welcome\r\n", 5);
        f.socket.peerSend("Welcome back\r\n", 900);
    };
    f.connection.connectToServer();
    EXPECT_TRUE(f.connection.connected);
    // The banner came before the logon line and was dropped by it; "welcome" alone is too short.
    EXPECT_EQ(f.view.lines, (std::vector<std::string>{"R [ to veltrana ]", "S {logon}", "R [ back ]"}));
    EXPECT_EQ(f.connection.receiveBuffer, "back");
    EXPECT_EQ(f.connection.replyPos, 0);
    EXPECT_EQ(f.loop.nowMs(), 400 + 900);
}

TEST(Connecting, AnOpenSocketIsNotConnectedAgainButLogsOnAgain) {
    unittest::NetFixture f;
    f.connection.connectToServer();
    f.connection.connected = false;  // as after the download's quit, before the server closes
    f.connection.connectToServer();
    EXPECT_EQ(f.socket.connectCalls, 1);
    EXPECT_EQ(f.logons, 2);
    EXPECT_TRUE(f.connection.connected);
}

TEST(SocketEvents, PeerCloseAndErrorsClearConnectedAndCloseTheSocket) {
    unittest::NetFixture f;
    f.connection.connectToServer();
    f.socket.peerClose();
    f.loop.runFor(1);
    EXPECT_FALSE(f.connection.connected);
    EXPECT_EQ(f.socket.closeCalls, 1);
    EXPECT_EQ(f.view.lines.size(), 2u) << "a close writes no monitor line";

    f.connection.connectToServer();
    f.socket.peerError(10054, "Connection is reset by remote side");
    f.loop.runFor(1);
    EXPECT_FALSE(f.connection.connected);
    EXPECT_EQ(f.view.lines.back(), "E {Error - Connection is reset by remote side}");
    EXPECT_EQ(f.socket.state(), TcpSocket::StateClosed);

    // The exit command closes by calling the close handler itself.
    f.connection.connectToServer();
    f.connection.handleClosed();
    EXPECT_FALSE(f.connection.connected);
    EXPECT_EQ(f.socket.state(), TcpSocket::StateClosed);
    EXPECT_TRUE(f.sinks.reports.empty());
}
