#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fakes/FakeEventLoop.h"
#include "platform/TcpSocket.h"

namespace ostrell::fake {

// The client socket with a scripted server on the other end, all on the virtual clock.
// The peer sees the client's bytes framed on LF (onLine); it answers with peerSend, which lands after
// the given delay as one arrival (one data event), exactly as a network might split or merge bytes.
class FakeTcpSocket : public platform::TcpSocket {
public:
    explicit FakeTcpSocket(FakeEventLoop& loop) : loop_(loop) {}

    // --- peer side, for tests ---
    int connectDelayMs = 20;                              // time until the server accepts
    bool acceptConnections = true;                        // false: connecting never completes
    bool refuseConnections = false;                       // true: an error event after connectDelayMs
    std::function<void(const std::string& line)> onLine;  // one call per LF-ended line the client sent
    std::function<void()> onAccepted;                     // the server accepted a connection

    void peerSend(const std::string& bytes, int64_t delayMs = 0);
    void peerClose(int64_t delayMs = 0);

    std::vector<std::string> sentLines;  // every complete line the client sent, without LF
    int connectCalls = 0;

    // --- TcpSocket ---
    void setEvents(platform::TcpSocketEvents* events) override { events_ = events; }
    void setLocalPort(int32_t port) override { boundPort_ = port; }
    void connect(const std::string& host, int32_t port) override;
    platform::SocketState state() const override { return state_; }
    void send(const std::string& bytes) override;
    std::string takeAll() override { return std::exchange(inbox_, {}); }
    void close() override;
    int32_t localPort() const override {
        return state_ == platform::SocketState::Connected ? (boundPort_ ? boundPort_ : 50123) : boundPort_;
    }
    std::string localIP() const override { return "127.0.0.1"; }
    int32_t remotePort() const override { return state_ == platform::SocketState::Connected ? port_ : 0; }
    std::string remoteHostIP() const override { return state_ == platform::SocketState::Connected ? host_ : ""; }

private:
    FakeEventLoop& loop_;
    platform::TcpSocketEvents* events_ = nullptr;
    platform::SocketState state_ = platform::SocketState::Closed;
    int32_t boundPort_ = 0;
    std::string host_;
    int32_t port_ = 0;
    uint64_t generation_ = 0;  // bumps at every connect and close, so late peer events of an old link vanish
    std::string inbox_;
    std::string partialLine_;
};

}  // namespace ostrell::fake
