#include "net/Connection.h"

#include "errors/Trap.h"
#include "net/ReplyCleanup.h"
#include "platform/PlatformError.h"

namespace ostrell::net {

using platform::SocketState;

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
    lastSocketError_.clear();
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
    logonUnanswered_ = false;
    int connectTries = ConnectTests;
    view_.showCountdown(connectTries);
    // The connection wait keeps its fixed test times even when the socket connects earlier: a greeting
    // the server sends on accepting then arrives before the logon line, which drops it, and is never
    // taken for the logon reply.
    if (socket_.state() == SocketState::Closed) {
        trap(10, [&] { startConnection(); });
        loop_.pause(ConnectSettleMs);
    }
    showSocketEnds();
    view_.showCountdown(connectTries);

    // Connection wait: decided by the socket state alone, tested on the countdown's period.
    for (;;) {
        connected_ = socket_.state() == SocketState::Connected;
        if (connected_) break;
        view_.showCountdown(--connectTries);
        if (connectTries <= 0) {
            closeSocket();
            return;
        }
        loop_.pause(ConnectPauseMs);
    }

    // Logon: any reply of three or more characters ends the wait; its text decides nothing.
    awaitNewReply();
    monitor_.show("S {logon}");
    awaitingLogonReply_ = true;
    trap(20, [&] { socket_.send(std::string(LogonUser) + "|" + LogonCredential + "\n"); });
    loop_.yield();
    for (int logonTries = LogonTests;;) {
        if (replyTaken_) {
            if (onLoggedOn_) onLoggedOn_();
            return;
        }
        view_.showCountdown(--logonTries);
        if (logonTries <= 0) {
            monitor_.show("I {closeing port .. no response.}");
            // Not logged on, so no contact: the cycle neither counts nor uses this link, and the next
            // request connects afresh.
            closeSocket();
            connected_ = false;
            logonUnanswered_ = true;
            return;
        }
        loop_.waitUntil([&] { return replyTaken_; }, LogonPauseMs);
    }
}

void Connection::handleConnected() { connected_ = true; }

void Connection::handleClosed() {
    // A server that never ends its lines ends its reply by hanging up: "BAD" then the close is that
    // reply. From one that does end lines, a cut line stays a lost connection (closeSocket drops it).
    if (!serverEndsLines_ && framer_.hasPartial()) errors::passOver([&] { takeLine(framer_.takePartial()); });
    closeSocket();
    connected_ = false;
}

void Connection::handleSocketError(int32_t /*number*/, const std::string& description) {
    connected_ = false;
    lastSocketError_ = description;
    monitor_.show("E {Error - " + description + "}");
    closeSocket();
}

}  // namespace ostrell::net
