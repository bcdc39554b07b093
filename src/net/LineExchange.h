#pragma once
#include <string>

namespace ostrell::net {

// What the upload and download steps need of the server connection.
class LineExchange {
public:
    virtual ~LineExchange() = default;
    // Sends one request line and gives the trimmed reply, or a failure word beginning with "BAD - "
    // ("BAD - not connected", "BAD - lost connection", "BAD - timed out"). Reconnects by itself.
    virtual std::string requestReply(const std::string& request) = 0;
    // Whether the reply just given came whole. A server that ends no lines has its reply taken at a pause;
    // that may be the front of a line still on its way, so this waits out one more pause first. False:
    // more bytes of that line came, and the reply is no record to keep; the link is then dropped with
    // the rest of the line, and the next request connects afresh.
    virtual bool replyArrivedWhole() { return true; }
    // An information line on the monitor: "I {" + text + "}".
    virtual void showNote(const std::string& /*text*/) {}
    // Ends the exchange at the close of a download: when connected, "S {quit}", the quit line, a short
    // pause for the server; the link is no longer taken as logged on, and the socket is left for the
    // server to close. A quit line that cannot be sent throws PlatformError for the caller's trap.
    virtual void endExchange() = 0;
};

}  // namespace ostrell::net
