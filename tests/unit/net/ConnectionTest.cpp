#include <gtest/gtest.h>

#include "unit/net/NetFixture.h"

using namespace ostrell;
using platform::TcpSocket;

TEST(Connecting, ConnectsLogsOnWithTheFixedLineAndTakesTheReplyAtOnce) {
    nettest::NetFixture f;
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

TEST(Connecting, AServerThatNeverAcceptsIsGivenUpAfterTenTestsIn3100MsWithoutAMonitorLine) {
    nettest::NetFixture f;
    f.socket.acceptConnections = false;
    f.connection.connectToServer();
    EXPECT_FALSE(f.connection.connected);
    EXPECT_EQ(f.socket.state(), TcpSocket::StateClosed);
    EXPECT_EQ(f.socket.closeCalls, 1);
    EXPECT_TRUE(f.view.lines.empty());
    EXPECT_EQ(f.view.countdownValues(), (std::vector<int>{10, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
    // The count shows each test: 400 ms after the connect, then every 300 ms.
    EXPECT_EQ(f.view.countdowns[2].first, 400);
    EXPECT_EQ(f.view.countdowns[3].first, 700);
    EXPECT_EQ(f.view.countdowns.back().first, 3100);
    EXPECT_EQ(f.loop.nowMs(), 3100);
    EXPECT_TRUE(f.socket.sentBytes.empty());
}

TEST(Connecting, ASlowAcceptIsTakenAtTheNextTestAndARefusalShowsAsASocketError) {
    nettest::NetFixture f;
    f.socket.connectDelayMs = 2000;
    f.connection.connectToServer();
    EXPECT_TRUE(f.connection.connected);
    EXPECT_EQ(f.loop.nowMs(), 2200 + 10) << "the test after the accept, at 400 + 6 x 300 ms";
    EXPECT_EQ(f.socket.sentLines, std::vector<std::string>{"tolvane|QHT514"});

    nettest::NetFixture g;
    g.socket.refuseConnections = true;
    g.connection.connectToServer();
    EXPECT_FALSE(g.connection.connected);
    EXPECT_EQ(g.view.lines, std::vector<std::string>{"E {Error - Connection is forcefully rejected}"});
    EXPECT_EQ(g.view.countdownValues().back(), 0) << "the wait runs its course after the error";
}

TEST(Connecting, AServerThatNeverAnswersTheLogonIsClosedAfter40TestsAndConnectedStaysTrue) {
    nettest::NetFixture f;
    f.logonReply.clear();
    int flashes = 0;
    f.connection.setLogonHook([&] { ++flashes; });
    f.connection.connectToServer();
    EXPECT_EQ(f.view.lines, (std::vector<std::string>{"S {logon}", "I {closeing port .. no response.}"}));
    std::vector<int> expected{10, 10};
    for (int i = 39; i >= 0; --i) expected.push_back(i);
    EXPECT_EQ(f.view.countdownValues(), expected);
    // 39 pauses of 300 ms after the logon line went out at 400 ms.
    EXPECT_EQ(f.loop.nowMs(), 400 + 39 * 300);
    EXPECT_TRUE(f.connection.connected);
    EXPECT_EQ(f.socket.state(), TcpSocket::StateClosed);
    EXPECT_EQ(flashes, 0);
}

TEST(Connecting, AGreetingWordAloneDoesNotEndTheLogonWaitButAReplyAfterItDoes) {
    nettest::NetFixture f;
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
    nettest::NetFixture f;
    f.connection.connectToServer();
    f.connection.connected = false;  // as after the download's quit, before the server closes
    f.connection.connectToServer();
    EXPECT_EQ(f.socket.connectCalls, 1);
    EXPECT_EQ(f.logons, 2);
    EXPECT_TRUE(f.connection.connected);
}

TEST(Connecting, PortsOutsideTheRangeFailTheConnectionWithAReportInsteadOfReachingTheSocket) {
    for (int32_t port : {0, -1, 65536, 70000, INT32_MAX}) {
        nettest::NetFixture f;
        f.server.serverPort = port;
        f.connection.connectToServer();
        EXPECT_FALSE(f.connection.connected) << port;
        EXPECT_EQ(f.socket.connectCalls, 0) << port;
        EXPECT_EQ(f.sinks.where(), std::vector<std::string>{"TryToConnect:20"}) << port;
        EXPECT_EQ(f.sinks.reports[0].number, platform::err::InvalidProcedureCall);
        EXPECT_EQ(f.loop.nowMs(), 3100) << "the connection wait runs as for an unreachable server";
    }
    nettest::NetFixture edge;
    edge.server.serverPort = 65535;
    edge.connection.connectToServer();
    EXPECT_TRUE(edge.connection.connected);
}

TEST(SocketEvents, PeerCloseAndErrorsClearConnectedAndCloseTheSocket) {
    nettest::NetFixture f;
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

TEST(SocketEvents, AnEndRequestDuringAWaitUnwindsWithoutAReport) {
    nettest::NetFixture f;
    f.logonReply.clear();
    f.loop.post(5000, [&] { f.loop.requestEnd(); });
    EXPECT_THROW(f.connection.connectToServer(), platform::ProgramEnding);
    EXPECT_EQ(f.loop.nowMs(), 5000);
    EXPECT_TRUE(f.sinks.reports.empty());
}
