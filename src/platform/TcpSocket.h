#pragma once
#include <cstdint>
#include <string>

namespace ostrell::platform {

// The four events of the client socket.
class TcpSocketEvents {
public:
    virtual ~TcpSocketEvents() = default;
    virtual void onConnect() = 0;
    virtual void onDataArrival(int64_t bytesTotal) = 0;
    virtual void onClose() = 0;
    virtual void onError(int32_t number, const std::string& description) = 0;
};

enum class SocketState { Closed, Connecting, Connected };

// The one TCP client socket. Connect and send return at once; the events report what happened.
class TcpSocket {
public:
    virtual ~TcpSocket() = default;
    virtual void setEvents(TcpSocketEvents* events) = 0;
    virtual void setLocalPort(int32_t port) = 0;
    virtual void connect(const std::string& host, int32_t port) = 0;
    virtual SocketState state() const = 0;
    // Bytes go out as they are (single-byte text).
    virtual void send(const std::string& bytes) = 0;
    // All bytes received and not yet taken. Never fails.
    virtual std::string takeAll() = 0;
    // Back to Closed at once, without a close event. Never fails.
    virtual void close() = 0;

    virtual int32_t localPort() const = 0;
    virtual std::string localIP() const = 0;
    virtual int32_t remotePort() const = 0;
    virtual std::string remoteHostIP() const = 0;
};

}  // namespace ostrell::platform
