#include <QTcpServer>
#include <QTcpSocket>

#include "AdapterTestSupport.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtTcpSocket.h"

using namespace std::string_literals;
using namespace ostrell::adaptertest;
using namespace ostrell::platform;

namespace {

// The agent's socket with its events in order and, on loopback, the server's side of its connection. What
// arrives is taken only at the close: data left untaken must still be there.
class QtTcpSocketTest : public ::testing::Test, public TcpSocketEvents {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            peer_ = server_.nextPendingConnection();
            QObject::connect(peer_, &QTcpSocket::readyRead, [this] { peerReceived_ += peer_->readAll(); });
        });
        socket_.setEvents(this);
    }
    void onConnect() override { log_ += "connect "; }
    void onDataArrival(int64_t) override { log_ += log_.ends_with("data ") ? "" : "data "; }
    void onClose() override { log_ += "close ", received_ += socket_.takeAll(); }
    void onError(int32_t number, const std::string&) override { log_ += "error " + std::to_string(number); }

    QCoreApplication& app_ = testApp();  // first: the Qt objects below need it
    QtEventLoop loop_;
    QTcpServer server_;
    QTcpSocket* peer_ = nullptr;
    QByteArray peerReceived_;
    QtTcpSocket socket_;
    std::string log_, received_;
};

}  // namespace

// Bytes travel unchanged both ways; the last reply before the server's close reaches the agent before the
// close event; a local port, when set, is taken for every connection.
TEST_F(QtTcpSocketTest, CarriesBytesUnchangedAndTheLastReplyBeforeTheServersClose) {
    QTcpSocket local;  // holds the port: bound, never connected; the agent's socket shares it
    ASSERT_TRUE(
        local.bind(QHostAddress::LocalHost, 0, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint));
    socket_.setLocalPort(local.localPort());
    const std::string outgoing = "tolvane|QHT514\n\xe9\xff\x01 \r\n"s, incoming = "welcome \xe4\r\nsuccess\n\0end"s;
    for (int round = 0; round < 2; ++round) {
        log_.clear(), received_.clear(), peerReceived_.clear();
        socket_.connect("127.0.0.1", server_.serverPort());
        EXPECT_EQ(socket_.state(), SocketState::Connecting) << "connect returns before the connection is made";
        peer_ = nullptr;
        ASSERT_TRUE(loop_.waitUntil([&] { return socket_.state() == SocketState::Connected && peer_; }, 8000));
        EXPECT_EQ(std::tuple(peer_->peerPort(), socket_.localPort(), socket_.remotePort(), socket_.remoteHostIP()),
                  std::tuple(local.localPort(), int(local.localPort()), server_.serverPort(), "127.0.0.1"s));
        socket_.send(outgoing);
        peer_->write(incoming.data(), qint64(incoming.size()));
        ASSERT_TRUE(loop_.waitUntil(
            [&] { return log_.ends_with("data ") && peerReceived_.size() == qsizetype(outgoing.size()); }, 8000));
        peer_->write("record 2\n");
        peer_->disconnectFromHost();
        ASSERT_TRUE(loop_.waitUntil([&] { return log_.ends_with("close "); }, 8000));
        EXPECT_EQ(std::tuple(log_, received_, peerReceived_.toStdString(), socket_.state()),
                  std::tuple("connect data close "s, incoming + "record 2\n", outgoing, SocketState::Closed));
        socket_.close();
    }
}

// "localhost" may give ::1 first, where nobody listens: the next address is tried before an error. Once
// connected, the Exit command's order: the quit line, then the close at once. The line must not be dropped
// with the socket's buffer, and the agent's own close raises no event.
TEST_F(QtTcpSocketTest, EachAddressOfANameIsTriedAndAQuitLineBeforeTheAgentsCloseStillArrives) {
    QTcpSocket refusing;  // bound, never listening: a connection to its port is refused
    ASSERT_TRUE(refusing.bind(QHostAddress::LocalHost));
    for (const auto& [host, port, log] : {std::tuple{"localhost", int(server_.serverPort()), "connect "},
                                          {"127.0.0.1", int(refusing.localPort()), "error 10061"},
                                          {"no-such-host.invalid", 80, "error 11001"}}) {
        log_.clear();
        socket_.connect(host, port);
        ASSERT_TRUE(loop_.waitUntil(
            [&, port = port] { return !log_.empty() && (peer_ || port != server_.serverPort()); }, 8000));
        const bool sent = failureNumber([&] { socket_.send("quit\n"); }) == 0;
        socket_.close();
        ASSERT_TRUE(
            loop_.waitUntil([&] { return peer_ && peer_->state() == QAbstractSocket::UnconnectedState; }, 8000));
        EXPECT_EQ(std::tuple(log_, sent, peerReceived_, socket_.state()),
                  std::tuple(log, port == server_.serverPort(), QByteArray("quit\n"), SocketState::Closed))
            << host;
    }
}
