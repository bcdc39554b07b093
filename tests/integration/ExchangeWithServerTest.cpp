#include <QTcpSocket>
#include <gtest/gtest.h>

#include "integration/LiveConnection.h"
#include "integration/SimServer.h"

using namespace ostrell;
using integration::LiveConnection;
using integration::SimServer;
using platform::TcpSocket;

TEST(ExchangeWithServer, LogsOnDownloadsAcknowledgesAndQuitsForReal) {
    SimServer sim({"--bookings", "4711:1"});
    LiveConnection live(sim.port());
    live.connection.connectToServer();
    ASSERT_TRUE(live.connection.connected);

    const std::string record = live.request("10|4711");
    EXPECT_EQ(record.rfind("10|\"", 0), 0u) << record;
    EXPECT_NE(record.find("Welcome"), std::string::npos) << "the greeting rule is over once logged on: " << record;
    EXPECT_EQ(live.request("12|1"), "12|OK");
    EXPECT_EQ(live.request("10|4711"), "10|NONE");
    EXPECT_EQ(live.request("11|4711"), "11|NONE");

    live.connection.endExchange();
    EXPECT_FALSE(live.connection.connected);
    EXPECT_TRUE(live.waitForClose(5000)) << "the server closes after the quit line";
    EXPECT_EQ(live.view.lines.front(), "S {logon}");
    EXPECT_EQ(live.view.lines[1], "R [ Logon success ]");
    EXPECT_EQ(live.view.lines[2], "S 10|4711");
    EXPECT_EQ(live.view.lines.back(), "S {quit}");
    EXPECT_EQ(sim.count("ACK12"), 1);
    EXPECT_EQ(sim.count("QUIT"), 1);
    EXPECT_TRUE(live.sinks.reports.empty());
}

TEST(ExchangeWithServer, ARequestAfterTheServerClosedReconnectsAndLogsOnByItself) {
    SimServer sim({});
    LiveConnection live(sim.port());
    live.connection.connectToServer();
    live.connection.endExchange();
    ASSERT_TRUE(live.waitForClose(5000));
    live.view.lines.clear();
    EXPECT_EQ(live.request("10|4711"), "10|NONE");
    EXPECT_EQ(live.view.lines, (std::vector<std::string>{"I not connected", "S {logon}", "R [ Logon success ]",
                                                         "S 10|4711", "R [ 10|NONE ]"}));
    EXPECT_EQ(sim.count("OPEN"), 2);
}

TEST(ExchangeWithServer, ARefusedPortIsASocketErrorAndTheConnectionWaitRunsOut) {
    // Bound but not listening: a connection is refused, and no other process can take the port meanwhile.
    QTcpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::LocalHost, 0));
    LiveConnection live(holder.localPort());
    live.connection.connectToServer();
    EXPECT_FALSE(live.connection.connected);
    ASSERT_FALSE(live.view.lines.empty());
    EXPECT_EQ(live.view.lines[0].rfind("E {Error - ", 0), 0u) << live.view.lines[0];
    EXPECT_EQ(live.socket.state(), TcpSocket::StateClosed);
    EXPECT_EQ(live.request("10|4711"), "BAD - not connected");
}

TEST(ExchangeWithServer, PortsOutsideTheRangeNeverReachTheSocket) {
    for (int32_t port : {0, 65536, -7}) {
        LiveConnection live(port);
        live.connection.connectToServer();
        EXPECT_FALSE(live.connection.connected) << port;
        EXPECT_EQ(live.sinks.where(), std::vector<std::string>{"TryToConnect:20"}) << port;
    }
}
