#pragma once
#include <QElapsedTimer>
#include <cstdint>
#include <string>
#include <vector>

#include "errors/ErrorReporter.h"
#include "net/Connection.h"
#include "net/Monitor.h"
#include "fakes/RecordingErrorSink.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtTcpSocket.h"

namespace ostrell::integration {

// The window's boxes as the connection fills them; the monitor counts as shown.
class LiveView : public net::ConnectionView, public net::MonitorView {
public:
    void showCountdown(int) override {}
    void showSocketEnds(int32_t, const std::string&, int32_t, const std::string&) override {}
    bool isWindowVisible() const override { return true; }
    std::string monitorText() const override { return {}; }
    void setMonitorText(const std::string& text) override { lines.push_back(text.substr(0, text.find("\r\n"))); }
    std::vector<std::string> lines;  // monitor lines, oldest first
};

// The connection core on the real event loop and socket, pointed at a local port.
struct LiveConnection {
    explicit LiveConnection(int32_t port) { server.serverPort = port; }

    // Sends a request and tells how long the answer took.
    std::string request(const std::string& line, int64_t* tookMs = nullptr) {
        QElapsedTimer t;
        t.start();
        std::string reply = connection.requestReply(line);
        if (tookMs) *tookMs = t.elapsed();
        return reply;
    }
    // Lets the loop run until the socket is closed (by the server), at most ms.
    bool waitForClose(int64_t ms) {
        return loop.waitUntil([&] { return socket.state() == platform::TcpSocket::StateClosed; }, ms);
    }
    bool sawLine(const std::string& line) const {
        for (const auto& l : view.lines)
            if (l == line) return true;
        return false;
    }

    platform::QtEventLoop loop;
    platform::QtTcpSocket socket;
    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    errors::ErrorReporter reporter{sinks, terminator};
    LiveView view;
    net::Monitor monitor{view, reporter};
    settings::ConnectionSettings server{"127.0.0.1", 0, 0, "127.0.0.1"};
    net::Connection connection{socket, loop, reporter, monitor, view, server};
};

}  // namespace ostrell::integration
