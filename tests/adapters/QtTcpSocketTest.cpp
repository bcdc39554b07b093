#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <string>
#include <vector>

#include "AdapterTestSupport.h"
#include "platform/PlatformError.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtTcpSocket.h"

using namespace std::string_literals;
using ostrell::adaptertest::testApp;
using ostrell::platform::PlatformError;
using ostrell::platform::QtEventLoop;
using ostrell::platform::QtTcpSocket;
using ostrell::platform::TcpSocket;
using ostrell::platform::TcpSocketEvents;

namespace {

constexpr int64_t kWait = 5000;  // generous bound; every wait below ends as soon as its event comes

// Records the socket's events in order; the data event takes what arrived, as the agent's handler does.
class Recorder : public TcpSocketEvents {
public:
    explicit Recorder(TcpSocket& socket) : socket_(socket) {}
    void onConnect() override { log.push_back("connect"); }
    void onDataArrival(int64_t bytesTotal) override {
        log.push_back("data");
        lastTotal = bytesTotal;
        if (takeOnArrival) received += socket_.takeAll();
    }
    void onClose() override {
        log.push_back("close");
        received += socket_.takeAll();
    }
    void onError(int32_t number, const std::string& description) override {
        log.push_back("error");
        errorNumber = number;
        errorText = description;
    }
    bool saw(const std::string& event) const {
        for (const auto& e : log)
            if (e == event) return true;
        return false;
    }

    std::vector<std::string> log;
    std::string received;
    int64_t lastTotal = 0;
    bool takeOnArrival = true;
    int32_t errorNumber = 0;
    std::string errorText;

private:
    TcpSocket& socket_;
};

// The server side on loopback: keeps the accepted connection and what it received.
class Peer {
public:
    Peer() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, [this] { received += socket->readAll(); });
            QObject::connect(socket, &QTcpSocket::disconnected, [this] { gone = true; });
        });
    }
    int port() const { return server.serverPort(); }

    QTcpServer server;
    QTcpSocket* socket = nullptr;
    QByteArray received;
    bool gone = false;
};

class TcpSocketTest : public ::testing::Test {
protected:
    QCoreApplication& app_ = testApp();  // first: Qt objects below need it
    void SetUp() override {
        testApp();
        ASSERT_TRUE(peer_.server.isListening());
        socket_.setEvents(&events_);
    }
    void connectToPeer() {
        socket_.connect("127.0.0.1", peer_.port());
        ASSERT_TRUE(
            loop_.waitUntil([&] { return socket_.state() == TcpSocket::StateConnected && peer_.socket; }, kWait));
    }

    QtEventLoop loop_;
    Peer peer_;
    QtTcpSocket socket_;
    Recorder events_{socket_};
};

}  // namespace

TEST_F(TcpSocketTest, ConnectsAsynchronouslyAndCarriesBytesUnchanged) {
    EXPECT_EQ(socket_.state(), TcpSocket::StateClosed);
    EXPECT_THROW(socket_.send("too early\n"), PlatformError);

    socket_.connect("127.0.0.1", peer_.port());
    EXPECT_EQ(socket_.state(), TcpSocket::StateConnecting) << "connect returns before the connection is made";
    ASSERT_TRUE(loop_.waitUntil([&] { return events_.saw("connect"); }, kWait));
    EXPECT_EQ(socket_.state(), TcpSocket::StateConnected);
    ASSERT_TRUE(loop_.waitUntil([&] { return peer_.socket != nullptr; }, kWait));

    EXPECT_EQ(socket_.remotePort(), peer_.port());
    EXPECT_EQ(socket_.remoteHostIP(), "127.0.0.1");
    EXPECT_EQ(socket_.localIP(), "127.0.0.1");
    EXPECT_EQ(socket_.localPort(), peer_.socket->peerPort());

    const std::string outgoing = "tolvane|QHT514\n\xe9\xff\x01 \r\n"s;
    socket_.send(outgoing);
    ASSERT_TRUE(
        loop_.waitUntil([&] { return peer_.received.size() >= static_cast<qsizetype>(outgoing.size()); }, kWait));
    EXPECT_EQ(peer_.received.toStdString(), outgoing);

    const std::string incoming = "welcome \xe4\xf6\r\nsuccess\n\0end"s;
    peer_.socket->write(incoming.data(), static_cast<qint64>(incoming.size()));
    ASSERT_TRUE(loop_.waitUntil([&] { return events_.received.size() >= incoming.size(); }, kWait));
    EXPECT_EQ(events_.received, incoming);
    EXPECT_GT(events_.lastTotal, 0);
    EXPECT_EQ(socket_.takeAll(), "") << "taken bytes are gone";
    EXPECT_FALSE(events_.saw("close"));
    EXPECT_FALSE(events_.saw("error"));
}

TEST_F(TcpSocketTest, OwnCloseIsImmediateAndRaisesNoEvent) {
    connectToPeer();
    socket_.close();
    EXPECT_EQ(socket_.state(), TcpSocket::StateClosed);
    ASSERT_TRUE(loop_.waitUntil([&] { return peer_.gone; }, kWait)) << "the peer sees the connection end";
    loop_.waitUntil([] { return false; }, 50);
    EXPECT_FALSE(events_.saw("close"));
    EXPECT_FALSE(events_.saw("error"));
    EXPECT_THROW(socket_.send("quit\n"), PlatformError);
}

TEST_F(TcpSocketTest, PeerCloseDeliversTheLastDataBeforeTheCloseEvent) {
    connectToPeer();
    peer_.socket->write("record 1\nrecord 2\n");
    peer_.socket->disconnectFromHost();
    ASSERT_TRUE(loop_.waitUntil([&] { return events_.saw("close"); }, kWait));
    EXPECT_EQ(events_.received, "record 1\nrecord 2\n");
    ASSERT_FALSE(events_.log.empty());
    EXPECT_EQ(events_.log.front(), "connect");
    EXPECT_EQ(events_.log.back(), "close");
    EXPECT_TRUE(events_.saw("data")) << "the data is announced before the close";
    EXPECT_FALSE(events_.saw("error"));
    EXPECT_EQ(socket_.state(), TcpSocket::StateClosed);
}

TEST_F(TcpSocketTest, DataLeftUntakenIsStillThereAtThePeersClose) {
    events_.takeOnArrival = false;
    connectToPeer();
    peer_.socket->write("unread reply\n");
    ASSERT_TRUE(loop_.waitUntil([&] { return events_.saw("data"); }, kWait));
    peer_.socket->write("and more\n");
    peer_.socket->disconnectFromHost();
    ASSERT_TRUE(loop_.waitUntil([&] { return events_.saw("close"); }, kWait));
    EXPECT_EQ(events_.received, "unread reply\nand more\n");
}

TEST_F(TcpSocketTest, RefusedConnectionIsAnErrorEventNotAClose) {
    const int port = peer_.port();
    peer_.server.close();
    socket_.connect("127.0.0.1", port);
    ASSERT_TRUE(loop_.waitUntil([&] { return events_.saw("error"); }, kWait));
    EXPECT_EQ(events_.errorNumber, 10061);
    EXPECT_FALSE(events_.errorText.empty());
    EXPECT_EQ(socket_.state(), TcpSocket::StateClosed);
    loop_.waitUntil([] { return false; }, 50);
    EXPECT_FALSE(events_.saw("close"));
    EXPECT_FALSE(events_.saw("connect"));
}

TEST_F(TcpSocketTest, LocalPortIsUsedForEveryConnection) {
    // A port free at this moment: taken from a listener that is then closed.
    int localPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        localPort = probe.serverPort();
    }
    socket_.setLocalPort(localPort);
    EXPECT_EQ(socket_.localPort(), localPort) << "the property reads back before any connection";
    for (int round = 0; round < 2; ++round) {
        peer_.socket = nullptr;
        connectToPeer();
        EXPECT_EQ(peer_.socket->peerPort(), localPort) << "round " << round;
        EXPECT_EQ(socket_.localPort(), localPort);
        // The server ends the exchange, as after a quit line; the agent then closes its side.
        peer_.socket->disconnectFromHost();
        ASSERT_TRUE(loop_.waitUntil([&] { return events_.saw("close"); }, kWait));
        socket_.close();
        events_.log.clear();
    }
}

TEST_F(TcpSocketTest, HostNameIsLookedUpAndEachAddressTriedInTurn) {
    // "localhost" may give ::1 first, where nobody listens: the next address is tried before an error.
    socket_.connect("localhost", peer_.port());
    ASSERT_TRUE(loop_.waitUntil([&] { return events_.saw("connect") || events_.saw("error"); }, kWait));
    EXPECT_EQ(events_.log, std::vector<std::string>{"connect"}) << events_.errorText;
    EXPECT_EQ(socket_.remoteHostIP(), "127.0.0.1");

    socket_.close();
    socket_.connect("no-such-host.invalid", peer_.port());
    ASSERT_TRUE(loop_.waitUntil([&] { return events_.saw("error"); }, kWait));
    EXPECT_EQ(events_.errorNumber, 11001);
    EXPECT_EQ(socket_.state(), TcpSocket::StateClosed);
}

TEST(QtTcpSocketSend, ALineGoesOutAtOnceEvenWhenTheSocketIsClosedRightAfter) {
    testApp();
    QtEventLoop loop;
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QTcpSocket* peer = nullptr;
    QByteArray received;
    bool peerGone = false;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        peer = server.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [&] { received += peer->readAll(); });
        QObject::connect(peer, &QTcpSocket::disconnected, [&] { peerGone = true; });
    });
    QtTcpSocket socket;
    socket.connect("127.0.0.1", server.serverPort());
    ASSERT_TRUE(loop.waitUntil([&] { return socket.state() == TcpSocket::StateConnected && peer; }, 5000));

    // The Exit command's order: the quit line, then the close, with no turn of the loop in between.
    socket.send("quit\n");
    socket.close();
    EXPECT_EQ(socket.state(), TcpSocket::StateClosed);
    ASSERT_TRUE(loop.waitUntil([&] { return peerGone || received.size() >= 5; }, 5000));
    loop.waitUntil([&] { return peerGone; }, 5000);
    EXPECT_EQ(received, QByteArray("quit\n")) << "the quit line was dropped with the socket's buffer";
}
