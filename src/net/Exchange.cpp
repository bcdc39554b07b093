#include "errors/Trap.h"
#include "net/Connection.h"
#include "net/ReplyCleanup.h"

namespace ostrell::net {

using platform::TcpSocket;

std::string Connection::requestReply(const std::string& request) {
    errors::Trap trap(reporter_, "WaitForResponse");
    if (trap.value(
            10, [&] { return socket_.state() != TcpSocket::StateConnected; }, false)) {
        monitor_.show("I not connected");
        connectToServer();
    }
    trap(15, [&] { showSocketEnds(); });
    if (!connected) connectToServer();
    if (!connected) return "BAD - not connected";

    // Clearing the flag drops anything the server said since the last reply was taken.
    gotResponse = false;
    if (!trap.value(
            20, [&] { return socket_.state() == TcpSocket::StateConnected; }, false)) {
        monitor_.show("I lost connection");
        return "BAD - lost connection";
    }
    monitor_.show("S " + request);
    trap(25, [&] { socket_.send(request + "\n"); });
    // No turn of the loop here: the wait below dispatches what is pending first, and a reply cannot be
    // in yet; a separate turn only cost a poll per request.
    int16_t replyTries = ReplyTests;
    const auto linkGone = [&] { return socket_.state() != TcpSocket::StateConnected; };
    for (;;) {
        if (gotResponse) return trimBlanks(receiveBuffer);
        // A closed link can bring no reply: say so now instead of waiting out the 7.8 s.
        if (trap.value(45, linkGone, false)) {
            monitor_.show("I lost connection");
            connected = false;
            return "BAD - lost connection";
        }
        --replyTries;
        if (replyTries <= 0) {
            // A reply that comes after we gave up must never be taken for the next request's:
            // the link is dropped, and the next request logs on afresh.
            trap(35, [&] { closeSocket(); });
            connected = false;
            return "BAD - timed out";
        }
        trap(40, [&] { loop_.waitUntil([&] { return gotResponse || linkGone(); }, ReplyPauseMs); });
    }
}

void Connection::endExchange() {
    // The closing of the download exchange: its failures are the download's, reported under its name.
    // Labels from 900 keep them apart from the download's own.
    errors::Trap trap(reporter_, "GetFiles");
    if (!trap.value(
            900, [&] { return socket_.state() == TcpSocket::StateConnected; }, false))
        return;
    monitor_.show("S {quit}");
    trap(905, [&] { socket_.send(QuitLine); });
    trap(910, [&] { loop_.yield(); });
    trap(915, [&] { loop_.pause(QuitPauseMs); });
    connected = false;
    trap(920, [&] { loop_.yield(); });
}

void Connection::sendQuitLine() {
    if (socket_.state() == TcpSocket::StateConnected) socket_.send(QuitLine);
}

}  // namespace ostrell::net
