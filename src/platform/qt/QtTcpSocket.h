#pragma once
#include <sys/socket.h>

#include <QObject>
#include <QSocketNotifier>
#include <memory>
#include <vector>

#include "platform/TcpSocket.h"

namespace ostrell::platform {

// The client socket: a non-blocking POSIX socket watched by the Qt loop's socket notifiers. A reply
// costs the loop's poll and one read straight into the inbox; a request is one send. (QTcpSocket asked
// the kernel how much was waiting before every read and buffered twice.) Event rules of the agent's
// socket: a close by the peer is a close event (after the data before it), our own close() raises no
// event at all, and every other failure is an error event with a Winsock-style number.
class QtTcpSocket : public TcpSocket {
public:
    QtTcpSocket();
    ~QtTcpSocket() override;
    QtTcpSocket(const QtTcpSocket&) = delete;
    QtTcpSocket& operator=(const QtTcpSocket&) = delete;

    void setEvents(TcpSocketEvents* events) override { events_ = events; }
    void setLocalPort(int32_t port) override { localPort_ = port; }
    void connect(const std::string& host, int32_t port) override;
    SocketState state() const override;
    void send(const std::string& bytes) override;
    std::string takeAll() override;
    void close() override;

    int32_t localPort() const override;
    std::string localIP() const override;
    int32_t remotePort() const override { return remotePort_; }
    std::string remoteHostIP() const override { return lastRemoteIP_; }

private:
    enum class Phase { Closed, LookingUp, Connecting, Connected };
    struct Address {
        sockaddr_storage bytes{};
        socklen_t length = 0;
    };

    void addressesFound(std::vector<Address> addresses);
    void connectToNext();
    void onWritable();
    void onReadable();
    void connectionMade();
    void sendQueued();
    void failLater(int32_t number, const std::string& text);
    void fail(int32_t number, const std::string& text);
    void drop();

    QObject context_;  // owns lookups and posted failures: none reaches a closed or dead socket
    QSocketNotifier readable_{QSocketNotifier::Read};
    QSocketNotifier writable_{QSocketNotifier::Write};
    std::vector<char> chunk_;
    TcpSocketEvents* events_ = nullptr;
    int fd_ = -1;
    Phase phase_ = Phase::Closed;
    uint64_t attempt_ = 0;  // counts connects and closes; late lookups and posted failures check it
    int lookupId_ = -1;
    std::vector<Address> addresses_;
    size_t nextAddress_ = 0;
    int lastConnectErrno_ = 0;
    std::string inbox_;   // received, not yet taken
    std::string outbox_;  // accepted by send(), not yet taken by the kernel
    int32_t localPort_ = 0;
    int32_t boundPort_ = 0;     // the connection's own local port
    std::string localIP_;       // the connection's own local address
    int32_t remotePort_ = 0;    // the port last asked for
    std::string lastRemoteIP_;  // the peer of the last connection
};

}  // namespace ostrell::platform
