#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>

#include "AdapterTestSupport.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtTcpSocket.h"

using ostrell::adaptertest::testApp;
using ostrell::platform::QtEventLoop;
using ostrell::platform::QtTcpSocket;
using ostrell::platform::TcpSocket;

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
