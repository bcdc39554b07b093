#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <vector>

#include "AdapterTestSupport.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtTcpSocket.h"

using namespace std::string_literals;
using namespace ostrell::adaptertest;
using namespace ostrell::platform;

namespace {

constexpr int64_t Wait = 8000;  // a bound only: every wait ends as soon as its event comes

// Records the socket's events in order; the data event takes what arrived, as the agent's handler does.
struct Recorder : TcpSocketEvents {
    explicit Recorder(TcpSocket& s) : socket(&s) {}
    void onConnect() override { log += "connect "; }
    void onDataArrival(int64_t) override {
        log += log.ends_with("data ") ? "" : "data ";
        if (takeOnArrival) received += socket->takeAll();
    }
    void onClose() override { log += "close ", received += socket->takeAll(); }
    void onError(int32_t n, const std::string&) override { log += "error ", errorNumber = n; }
    TcpSocket* socket;
    std::string log, received;
    bool takeOnArrival = true;
    int32_t errorNumber = 0;
};

// A loopback port this test holds, bound and not listening: a connection to it is refused, and a socket
// that shares addresses may bind it as its local port. Nobody else can take it meanwhile.
struct HeldPort {
    HeldPort() {
        const int on = 1;
        sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t size = sizeof a;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), size) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
            port = ntohs(a.sin_port);
    }
    ~HeldPort() { ::close(fd); }
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
};

class QtTcpSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            peer_ = server_.nextPendingConnection();
            QObject::connect(peer_, &QTcpSocket::readyRead, [this] { peerReceived_ += peer_->readAll(); });
            QObject::connect(peer_, &QTcpSocket::disconnected, [this] { peerGone_ = true; });
        });
        socket_.setEvents(&events_);
    }
    void connectToPeer() {
        peer_ = nullptr;
        socket_.connect("127.0.0.1", server_.serverPort());
        ASSERT_TRUE(loop_.waitUntil([&] { return socket_.state() == TcpSocket::StateConnected && peer_; }, Wait));
    }

    QCoreApplication& app_ = testApp();  // first: the Qt objects below need it
    QtEventLoop loop_;
    QTcpServer server_;
    QTcpSocket* peer_ = nullptr;
    QByteArray peerReceived_;
    bool peerGone_ = false;
    QtTcpSocket socket_;
    Recorder events_{socket_};
};

}  // namespace

TEST_F(QtTcpSocketTest, ConnectsAsynchronouslyAndCarriesBytesUnchanged) {
    EXPECT_NE(failureNumber([&] { socket_.send("too early\n"); }), 0);
    socket_.connect("127.0.0.1", server_.serverPort());
    EXPECT_EQ(socket_.state(), TcpSocket::StateConnecting) << "connect returns before the connection is made";
    ASSERT_TRUE(loop_.waitUntil([&] { return socket_.state() == TcpSocket::StateConnected && peer_; }, Wait));
    EXPECT_EQ(std::tuple(socket_.remotePort(), socket_.remoteHostIP(), socket_.localPort()),
              std::tuple(int(server_.serverPort()), "127.0.0.1"s, int(peer_->peerPort())));
    const std::string outgoing = "tolvane|QHT514\n\xe9\xff\x01 \r\n"s, incoming = "welcome \xe4\r\nsuccess\n\0end"s;
    socket_.send(outgoing);
    peer_->write(incoming.data(), static_cast<qint64>(incoming.size()));
    ASSERT_TRUE(loop_.waitUntil([&] { return events_.received.size() >= incoming.size() &&
                                             peerReceived_.size() >= qsizetype(outgoing.size()); }, Wait));
    EXPECT_EQ(std::pair(peerReceived_.toStdString(), events_.received), std::pair(outgoing, incoming));
    EXPECT_EQ(events_.log, "connect data ");
}

// The last reply before the server's close reaches the agent before the close event, taken or not.
TEST_F(QtTcpSocketTest, PeerCloseDeliversTheLastDataBeforeTheCloseEvent) {
    for (const bool takeOnArrival : {true, false}) {
        events_ = Recorder(socket_);
        events_.takeOnArrival = takeOnArrival;
        connectToPeer();
        peer_->write("record 1\n");
        ASSERT_TRUE(loop_.waitUntil([&] { return events_.log.ends_with("data "); }, Wait));
        peer_->write("record 2\n");
        peer_->disconnectFromHost();
        ASSERT_TRUE(loop_.waitUntil([&] { return events_.log.ends_with("close "); }, Wait));
        EXPECT_EQ(std::tuple(events_.log, events_.received, socket_.state()),
                  std::tuple("connect data close "s, "record 1\nrecord 2\n"s, int(TcpSocket::StateClosed)));
        socket_.close();
    }
}

// The Exit command's order: the quit line, then the close at once. The line must not be dropped with
// the socket's buffer, and the agent's own close raises no event.
TEST_F(QtTcpSocketTest, AQuitLineSentJustBeforeTheAgentsCloseStillArrives) {
    connectToPeer();
    socket_.send("quit\n");
    socket_.close();
    EXPECT_EQ(socket_.state(), TcpSocket::StateClosed);
    ASSERT_TRUE(loop_.waitUntil([&] { return peerGone_; }, Wait));
    EXPECT_EQ(peerReceived_, QByteArray("quit\n"));
    EXPECT_EQ(events_.log, "connect ");
    EXPECT_NE(failureNumber([&] { socket_.send("quit\n"); }), 0);
}

TEST_F(QtTcpSocketTest, EachAddressOfANameIsTriedAndFailuresAreErrorEvents) {
    HeldPort refusing;
    ASSERT_GT(refusing.port, 0);
    struct Case {
        const char* host;
        int port;
        std::string log;
        int32_t number;
    };
    // "localhost" may give ::1 first, where nobody listens: the next address is tried before an error.
    for (const Case& c : {Case{"localhost", server_.serverPort(), "connect ", 0}, Case{"127.0.0.1", refusing.port, "error ", 10061},
                          Case{"no-such-host.invalid", 80, "error ", 11001}}) {
        events_ = Recorder(socket_);
        socket_.connect(c.host, c.port);
        ASSERT_TRUE(loop_.waitUntil([&] { return !events_.log.empty(); }, Wait)) << c.host;
        loop_.waitUntil([] { return false; }, 50);
        EXPECT_EQ(std::pair(events_.log, events_.errorNumber), std::pair(c.log, c.number)) << c.host;
        socket_.close();
    }
}

TEST_F(QtTcpSocketTest, TheLocalPortIsUsedForEveryConnection) {
    HeldPort local;
    ASSERT_GT(local.port, 0);
    socket_.setLocalPort(local.port);
    for (int round = 0; round < 2; ++round) {
        connectToPeer();
        EXPECT_EQ(std::pair(int(peer_->peerPort()), socket_.localPort()), std::pair(local.port, local.port)) << round;
        peer_->disconnectFromHost();  // the server ends the exchange, as after a quit line
        ASSERT_TRUE(loop_.waitUntil([&] { return events_.log.ends_with("close "); }, Wait));
        socket_.close();
        events_.log.clear();
    }
}
