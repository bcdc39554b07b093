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
    // Ends the exchange at the close of a download: when connected, "S {quit}", the quit line, a short
    // pause for the server; the link is no longer taken as logged on, and the socket is left for the
    // server to close. A quit line that cannot be sent throws PlatformError for the caller's trap.
    virtual void endExchange() = 0;
};

}  // namespace ostrell::net
