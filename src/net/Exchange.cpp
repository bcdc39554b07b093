#include "errors/Trap.h"
#include "net/Connection.h"
#include "net/ReplyCleanup.h"

namespace ostrell::net {

using platform::TcpSocket;

std::string Connection::WaitForResponse(const std::string& request) {
    errors::Trap trap(reporter_, "WaitForResponse");
    if (trap.value(10, [&] { return wsock_.state() != TcpSocket::StateConnected; }, false)) {
        monitor_.ShowTXT("I not connected");
        TryToConnect();
    }
    trap(15, [&] { showSocketEnds(); });
    if (!Connected) TryToConnect();
    if (!Connected) return "BAD - not connected";

    // Clearing the flag drops anything the server said since the last reply was taken.
    GotResponse = false;
    if (!trap.value(20, [&] { return wsock_.state() == TcpSocket::StateConnected; }, false)) {
        monitor_.ShowTXT("I lost connection");
        return "BAD - lost connection";
    }
    monitor_.ShowTXT("S " + request);
    trap(25, [&] { wsock_.send(request + "\n"); });
    // No turn of the loop here: the wait below dispatches what is pending first, and a reply cannot be
    // in yet; a separate turn only cost a poll per request.
    int16_t ReplyTries = ReplyTests;
    const auto linkGone = [&] { return wsock_.state() != TcpSocket::StateConnected; };
    for (;;) {
        if (GotResponse) return trimBlanks(RecvBuffer);
        // A closed link can bring no reply: say so now instead of waiting out the 7.8 s.
        if (trap.value(45, linkGone, false)) {
            monitor_.ShowTXT("I lost connection");
            Connected = false;
            return "BAD - lost connection";
        }
        --ReplyTries;
        if (ReplyTries <= 0) {
            // A reply that comes after we gave up must never be taken for the next request's:
            // the link is dropped, and the next request logs on afresh.
            trap(35, [&] { closeSocket(); });
            Connected = false;
            return "BAD - timed out";
        }
        trap(40, [&] { loop_.waitUntil([&] { return GotResponse || linkGone(); }, ReplyPauseMs); });
    }
}

void Connection::QuitExchange() {
    // The closing of the download exchange: its failures are the download's, reported under its name.
    // Labels from 900 keep them apart from the download's own.
    errors::Trap trap(reporter_, "GetFiles");
    if (!trap.value(900, [&] { return wsock_.state() == TcpSocket::StateConnected; }, false)) return;
    monitor_.ShowTXT("S {quit}");
    trap(905, [&] { wsock_.send(QuitLine); });
    trap(910, [&] { loop_.yield(); });
    trap(915, [&] { loop_.pause(QuitPauseMs); });
    Connected = false;
    trap(920, [&] { loop_.yield(); });
}

void Connection::SendQuitLine() {
    if (wsock_.state() == TcpSocket::StateConnected) wsock_.send(QuitLine);
}

}  // namespace ostrell::net
