#pragma once
#include <memory>
#include <string>

#include "platform/EventLoop.h"
#include "platform/TcpSocket.h"
#include "platform/TlsSocket.h"
#include "settings/TlsSettings.h"

namespace ostrell::app {

// The socket the connection talks through, chosen at start: the clear-text one, the TLS one, or none
// when the TLS settings are wrong. Then every connect fails with the reason as its error event, as an
// unreachable server does, so a wrong key is seen each cycle and never falls back to clear text.
class ChosenSocket : public platform::TcpSocket {
public:
    ChosenSocket(platform::TcpSocket& clearText, platform::EventLoop& loop) : current_(&clearText), loop_(loop) {}
    ChosenSocket(const ChosenSocket&) = delete;
    ChosenSocket& operator=(const ChosenSocket&) = delete;
    ~ChosenSocket() override;

    // Takes the link the settings ask for, once at start. Returns what is wrong with them, if anything;
    // every connection is then refused with that reason. Without a factory there is no TLS to be had.
    std::string choose(const settings::TlsChoice& choice, platform::TlsSocketFactory* factory);

    void setEvents(platform::TcpSocketEvents* events) override;
    void setLocalPort(int32_t port) override { current_->setLocalPort(port); }
    void connect(const std::string& host, int32_t port) override;
    platform::SocketState state() const override { return current_->state(); }
    void send(const std::string& bytes) override { current_->send(bytes); }
    std::string takeAll() override { return current_->takeAll(); }
    void close() override { current_->close(); }
    int32_t localPort() const override { return current_->localPort(); }
    std::string localIP() const override { return current_->localIP(); }
    int32_t remotePort() const override { return current_->remotePort(); }
    std::string remoteHostIP() const override { return current_->remoteHostIP(); }

private:
    void refuse(const std::string& reason);

    platform::TcpSocket* current_;
    platform::EventLoop& loop_;
    platform::TcpSocketEvents* events_ = nullptr;
    std::unique_ptr<platform::TcpSocket> tls_;
    std::string refusal_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);  // a posted refusal dies with this socket
};

}  // namespace ostrell::app
