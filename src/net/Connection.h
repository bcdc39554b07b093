#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "errors/ErrorReporter.h"
#include "net/LineExchange.h"
#include "net/LineFramer.h"
#include "net/Monitor.h"
#include "net/Views.h"
#include "platform/EventLoop.h"
#include "platform/TcpSocket.h"
#include "settings/Parameters.h"

namespace ostrell::net {

// Fixed logon values, held in the program and never shown on the monitor.
inline constexpr const char* LogonUser = "tolvane";
inline constexpr const char* LogonCredential = "QHT514";
inline constexpr const char* QuitLine = "quit\n";

// The waits, in the rhythm the host's technicians know: tests and the pauses between them.
inline constexpr int ConnectSettleMs = 400;  // after starting a connection, before its first test
inline constexpr int ConnectTests = 10;      // the countdown shows 10..0
inline constexpr int ConnectPauseMs = 300;
inline constexpr int LogonTests = 40;  // the countdown shows 39..0
inline constexpr int LogonPauseMs = 300;
inline constexpr int ReplyTests = 40;  // 39 pauses: a reply is given up 7.8 s after the request
inline constexpr int ReplyPauseMs = 200;
inline constexpr int QuitPauseMs = 300;  // after the quit line of a download, for the server to read it

// Receive-side framing: a line longer than the limit drops the connection (a server that never ends a
// line cannot fill memory). An unfinished line is taken as it is after this much silence, but only from
// a server that has not ended any line with LF on this connection: one that does is waiting out a
// stall in the network, and a line cut there could be the front of a record that looks whole.
inline constexpr int64_t PartialLineFlushMs = 200;
inline constexpr size_t MaxLineBytes = 1048576;
inline constexpr const char* LineTooLongText = "line too long";

// The one connection to the server: the socket wrapper, connection and logon, the line exchange and
// the receive side. Everything runs on the event-loop thread; the waits dispatch events while they wait
// and let ProgramEnding pass so that an end request stops a running cycle.
class Connection : public platform::TcpSocketEvents, public LineExchange {
public:
    Connection(platform::TcpSocket& socket, platform::EventLoop& loop, errors::ErrorReporter& reporter,
               Monitor& monitor, ConnectionView& view, const settings::ConnectionSettings& server);
    ~Connection() override;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Called when a logon reply has been taken, so the tray shows the connected state as the tray
    // picture timer would.
    void setLogonHook(std::function<void()> hook) { onLoggedOn_ = std::move(hook); }

    // Connects when the socket is closed, waits for the connection, logs on and waits for any reply.
    void connectToServer();

    // LineExchange.
    std::string requestReply(const std::string& request) override;
    void endExchange() override;
    bool replyArrivedWhole() override;
    void showNote(const std::string& text) override { monitor_.show("I {" + text + "}"); }

    // The bare quit line of the scheduler and the exit command, sent only while the socket is connected.
    // No monitor line, nothing awaited. A send failure throws PlatformError for the caller's trap.
    void sendQuitLine();

    // The server closed the link; the exit command calls it too, to close from this side.
    void handleClosed();

    platform::SocketState socketState() const { return socket_.state(); }
    // The socket is taken to be connected and logged on.
    bool isConnected() const { return connected_; }
    // The last connection attempt reached the server, but the logon got no reply within its wait.
    bool logonUnanswered() const { return logonUnanswered_; }
    // The socket layer's reason for the last failure on this connection attempt, for the system log.
    const std::string& lastSocketError() const { return lastSocketError_; }

private:
    void handleConnected();
    void handleData(int64_t bytesTotal);
    void handleSocketError(int32_t number, const std::string& description);

    // platform::TcpSocketEvents
    void onConnect() override { handleConnected(); }
    void onDataArrival(int64_t bytesTotal) override { handleData(bytesTotal); }
    void onClose() override { handleClosed(); }
    void onError(int32_t number, const std::string& description) override { handleSocketError(number, description); }

    void startConnection();
    // Cannot fail: it drops what was received and closes, so no caller traps it.
    void closeSocket();
    void resetReceiveSide();
    // Before a request or the logon goes out: no reply yet, and nothing held from before counts.
    void awaitNewReply();
    void showSocketEnds();
    void takeLine(const std::string& raw);
    void flushPartialLine(uint64_t arrival);

    platform::TcpSocket& socket_;
    platform::EventLoop& loop_;
    errors::ErrorReporter& reporter_;
    Monitor& monitor_;
    ConnectionView& view_;
    const settings::ConnectionSettings& server_;
    std::function<void()> onLoggedOn_;

    bool connected_ = false;
    // The reply being awaited: the cleaned text of the latest line until a reply is taken, then that
    // reply until the next request clears replyTaken_. Lines after the reply do not replace it.
    std::string reply_;
    // A reply (a line of three or more characters after clean-up) has arrived since it was last cleared.
    bool replyTaken_ = false;
    std::string lastSocketError_;

    LineFramer framer_{MaxLineBytes};
    uint64_t arrivals_ = 0;            // bumps at every arrival and reset: a pending flush checks it
    bool awaitingLogonReply_ = false;  // the logon line is out and its reply not yet taken
    bool logonReplyTaken_ = false;     // on this connection: the greeting rule no longer applies
    bool serverEndsLines_ = false;     // on this connection: a line ended by LF has come
    bool replyAtPause_ = false;        // the reply taken was an unended line, taken at a pause
    bool moreAfterReply_ = false;      // ...and bytes came after it, before the next request
    bool logonUnanswered_ = false;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);  // posted flushes die with the connection
};

}  // namespace ostrell::net
