#include "errors/Trap.h"
#include "net/Connection.h"
#include "net/ReplyCleanup.h"

namespace ostrell::net {

using platform::SocketState;

std::string Connection::requestReply(const std::string& request) {
    errors::Trap trap(reporter_, "WaitForResponse");
    const auto linkGone = [&] { return socket_.state() != SocketState::Connected; };
    if (linkGone()) {
        monitor_.show("I not connected");
        connectToServer();
    }
    showSocketEnds();
    if (!connected_) connectToServer();
    if (!connected_) return "BAD - not connected";

    // Clearing the flag drops anything the server said since the last reply was taken.
    awaitNewReply();
    if (linkGone()) {
        monitor_.show("I lost connection");
        return "BAD - lost connection";
    }
    monitor_.show("S " + request);
    trap(10, [&] { socket_.send(request + "\n"); });
    // No turn of the loop here: the wait below dispatches what is pending first, and a reply cannot be
    // in yet; a separate turn only cost a poll per request.
    for (int replyTries = ReplyTests;;) {
        if (replyTaken_) return trimBlanks(reply_);
        // A closed link can bring no reply: say so now instead of waiting out the 7.8 s.
        if (linkGone()) {
            monitor_.show("I lost connection");
            connected_ = false;
            return "BAD - lost connection";
        }
        if (--replyTries <= 0) {
            // A reply that comes after we gave up must never be taken for the next request's:
            // the link is dropped, and the next request logs on afresh.
            closeSocket();
            connected_ = false;
            return "BAD - timed out";
        }
        loop_.waitUntil([&] { return replyTaken_ || linkGone(); }, ReplyPauseMs);
    }
}

void Connection::awaitNewReply() {
    replyTaken_ = false;
    replyAtPause_ = false;
    moreAfterReply_ = false;
    // Bytes of an unended line that came before the request belong to an earlier line, never to its reply.
    if (framer_.hasPartial()) {
        framer_.clear();
        ++arrivals_;
    }
}

bool Connection::replyArrivedWhole() {
    if (!replyAtPause_) return true;
    const auto linkGone = [&] { return socket_.state() != SocketState::Connected; };
    // This server never ends a line: one more pause tells whether the rest of this one is on its way.
    loop_.waitUntil([&] { return moreAfterReply_ || linkGone(); }, PartialLineFlushMs);
    if (!moreAfterReply_) return true;
    // How much more of the line is still to come, and when, nobody knows: the link is dropped so that no
    // tail of it can pass for the next request's reply, and the next request logs on afresh.
    closeSocket();
    connected_ = false;
    return false;
}

void Connection::endExchange() {
    if (socket_.state() != SocketState::Connected) return;
    monitor_.show("S {quit}");
    // Cleared first: a quit line that cannot be sent leaves no logged-on link either. Its failure is the
    // caller's to report, under the caller's name.
    connected_ = false;
    socket_.send(QuitLine);
    loop_.yield();
    loop_.pause(QuitPauseMs);
    loop_.yield();
}

void Connection::sendQuitLine() {
    if (socket_.state() == SocketState::Connected) socket_.send(QuitLine);
}

}  // namespace ostrell::net
