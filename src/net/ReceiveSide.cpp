#include "errors/Trap.h"

#include "net/Connection.h"
#include "net/ReplyCleanup.h"
#include "platform/PlatformError.h"

namespace ostrell::net {

void Connection::handleData(int64_t /*bytesTotal*/) {
    const std::string bytes = socket_.takeAll();
    if (bytes.empty()) return;
    const uint64_t arrival = ++arrivals_;
    // The server sends one reply per request: bytes after a reply taken at a pause are more of its line.
    if (replyTaken_ && replyAtPause_) moreAfterReply_ = true;
    const auto result = framer_.feed(bytes, [&](const std::string& line) {
        serverEndsLines_ = true;
        takeLine(line);
    });
    if (result == LineFramer::Result::LineTooLong) {
        // A line past the limit is a broken link, handled as the socket's own errors are:
        // "E {Error - line too long}", Connected False, socket closed.
        handleSocketError(platform::err::LineTooLong, LineTooLongText);
        return;
    }
    // An unfinished line is taken as it is when no more bytes follow it for a while, from a server that
    // does not end its lines. From one that does, it is a line still on its way: its LF is waited for,
    // within the reply wait and the line limit.
    if (!framer_.hasPartial() || serverEndsLines_) return;
    std::weak_ptr<int> alive = alive_;
    errors::passOver([&] {
        loop_.post(PartialLineFlushMs, [this, alive, arrival] {
            if (alive.lock()) flushPartialLine(arrival);
        });
    });
}

void Connection::flushPartialLine(uint64_t arrival) {
    if (arrival != arrivals_ || !framer_.hasPartial()) return;  // more bytes came, or the link was reset
    const bool awaited = !replyTaken_;
    takeLine(framer_.takePartial());
    if (awaited && replyTaken_) replyAtPause_ = true;
}

void Connection::takeLine(const std::string& raw) {
    // The greeting rule is for what a server says before the logon is answered; a record that mentions
    // the word later must reach its file unaltered.
    CleanedLine line;
    if (!errors::passOver([&] { line = cleanLine(raw, !logonReplyTaken_); })) return;
    if (!line.counts) {
        if (!replyTaken_) reply_ = line.text;
        return;
    }
    monitor_.show("R [ " + line.text + " ]");
    // Strict request and reply: the first line after a request is its reply. Later lines are
    // unsolicited; the next request clears replyTaken_ before it is sent, which drops them.
    if (replyTaken_) return;
    reply_ = line.text;
    replyTaken_ = true;
    if (awaitingLogonReply_) {
        awaitingLogonReply_ = false;
        logonReplyTaken_ = true;
    }
}

}  // namespace ostrell::net
