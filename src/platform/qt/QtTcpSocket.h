#pragma once
#include <QTcpSocket>

#include "platform/TcpSocket.h"

namespace ostrell::platform {

// The client socket on QTcpSocket, with the event rules of the agent's socket: a close by the peer is a
// close event (after any data still unreported), our own close() raises no event at all, and every
// other failure is an error event with a Winsock-style number.
class QtTcpSocket : public TcpSocket {
public:
    QtTcpSocket();
    ~QtTcpSocket() override;

    void setEvents(TcpSocketEvents* events) override { events_ = events; }
    void setLocalPort(int32_t port) override { localPort_ = port; }
    void connect(const std::string& host, int32_t port) override;
    int state() const override;
    void send(const std::string& bytes) override;
    std::string takeAll() override;
    void close() override;

    int32_t localPort() const override;
    std::string localIP() const override;
    int32_t remotePort() const override;
    std::string remoteHostIP() const override;

    // The number an error event carries for a Qt socket error.
    static int32_t errorNumber(QAbstractSocket::SocketError error);

private:
    void onConnected();
    void onReadyRead();
    void onDisconnected();
    void onErrorOccurred(QAbstractSocket::SocketError error);

    QTcpSocket socket_;
    TcpSocketEvents* events_ = nullptr;
    int32_t localPort_ = 0;
    int32_t remotePort_ = 0;       // the port last asked for, as the socket reports it when not connected
    std::string lastRemoteIP_;     // the peer of the last connection
    int64_t reportedBytes_ = 0;    // bytes waiting that an arrival event has already announced
    bool silenced_ = false;        // inside our own close(): Qt's disconnect signal is not a close event
    bool errorReported_ = false;   // an error event ends the connection's story: no close event after it
};

}  // namespace ostrell::platform
