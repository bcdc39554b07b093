#include "net/Connection.h"

#include "errors/Trap.h"
#include "net/ReplyCleanup.h"
#include "platform/PlatformError.h"

namespace ostrell::net {

using platform::TcpSocket;

Connection::Connection(platform::TcpSocket& socket, platform::EventLoop& loop, errors::ErrorReporter& reporter,
                       Monitor& monitor, ConnectionView& view, const settings::ConnectionSettings& server)
    : socket_(socket), loop_(loop), reporter_(reporter), monitor_(monitor), view_(view), server_(server) {
    socket_.setEvents(this);
}

Connection::~Connection() { socket_.setEvents(nullptr); }

void Connection::showSocketEnds() {
    view_.showSocketEnds(socket_.localPort(), socket_.localIP(), socket_.remotePort(), socket_.remoteHostIP());
}

void Connection::resetReceiveSide() {
    framer_.clear();
    ++arrivals_;
    awaitingLogonReply_ = false;
}

void Connection::closeSocket() {
    // Bytes of a link we gave up on mean nothing on the next one.
    resetReceiveSide();
    socket_.close();
}

void Connection::startConnection() {
    lastSocketError.clear();
    // The socket layer takes no port outside 1..65535; such a setting is a failed connection, not a crash.
    if (server_.serverPort < 1 || server_.serverPort > 65535)
        throw platform::PlatformError(platform::err::InvalidProcedureCall,
                                      "Invalid server port " + std::to_string(server_.serverPort));
    resetReceiveSide();
    logonReplyTaken_ = false;
    serverEndsLines_ = false;
    socket_.connect(server_.serverIp, server_.serverPort);
}

void Connection::connectToServer() {
    errors::Trap trap(reporter_, "TryToConnect");
    int16_t connectTries = ConnectTests;
    const auto socketConnected = [&] { return socket_.state() == TcpSocket::StateConnected; };
    // The connection wait keeps its fixed test times even when the socket connects earlier: a greeting
    // the server sends on accepting then arrives before the logon line, which drops it, and is never
    // taken for the logon reply.
    const auto pause = [&](int ms) { loop_.pause(ms); };
    trap(10, [&] { view_.showCountdown(connectTries); });
    if (trap.value(
            15, [&] { return socket_.state() == TcpSocket::StateClosed; }, false)) {
        trap(20, [&] { startConnection(); });
        trap(25, [&] { pause(ConnectSettleMs); });
    }
    trap(30, [&] { showSocketEnds(); });
    trap(35, [&] { view_.showCountdown(connectTries); });

    // Connection wait: decided by the socket state alone, tested on the countdown's period.
    for (;;) {
        trap(40, [&] { connected = socketConnected(); });
        if (connected) break;
        --connectTries;
        trap(45, [&] { view_.showCountdown(connectTries); });
        if (connectTries <= 0) {
            trap(50, [&] { closeSocket(); });
            return;
        }
        trap(55, [&] { pause(ConnectPauseMs); });
    }

    // Logon: any reply of three or more characters ends the wait; its text decides nothing.
    const std::string logon = std::string(LogonUser) + "|" + LogonCredential;
    gotResponse = false;
    monitor_.show("S {logon}");
    awaitingLogonReply_ = true;
    trap(60, [&] { socket_.send(logon + "\n"); });
    trap(65, [&] { loop_.yield(); });
    int16_t logonTries = LogonTests;
    for (;;) {
        if (gotResponse) {
            const size_t at = lowerCase(receiveBuffer).find("success");
            replyPos = at == std::string::npos ? 0 : static_cast<int32_t>(at + 1);
            if (onLoggedOn_) trap(70, [&] { onLoggedOn_(); });
            return;
        }
        --logonTries;
        trap(75, [&] { view_.showCountdown(logonTries); });
        if (logonTries <= 0) {
            monitor_.show("I {closeing port .. no response.}");
            // Connected stays True: the next request finds the socket closed and connects afresh.
            trap(80, [&] { closeSocket(); });
            return;
        }
        trap(85, [&] { loop_.waitUntil([&] { return gotResponse; }, LogonPauseMs); });
    }
}

void Connection::handleConnected() { connected = true; }

void Connection::handleClosed() {
    errors::Trap trap(reporter_, "wsock_Close");
    // A server that never ends its lines ends its reply by hanging up: "BAD" then the close is that
    // reply. From one that does end lines, a cut line stays a lost connection (closeSocket drops it).
    if (!serverEndsLines_ && framer_.hasPartial()) errors::passOver([&] { takeLine(framer_.takePartial()); });
    trap(10, [&] { closeSocket(); });
    connected = false;
}

void Connection::handleSocketError(int32_t /*number*/, const std::string& description) {
    errors::Trap trap(reporter_, "wsock_Error");
    connected = false;
    lastSocketError = description;
    monitor_.show("E {Error - " + description + "}");
    trap(10, [&] { closeSocket(); });
}

}  // namespace ostrell::net
