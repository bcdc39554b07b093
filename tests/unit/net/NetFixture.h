#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "errors/ErrorReporter.h"
#include "net/Connection.h"
#include "net/Monitor.h"
#include "net/Views.h"
#include "fakes/FakeEventLoop.h"
#include "fakes/FakeTcpSocket.h"
#include "fakes/RecordingErrorSink.h"

namespace ostrell::nettest {

// The window's boxes as the connection fills them, with the virtual time of each change.
class RecordingView : public net::ConnectionView, public net::MonitorView {
public:
    explicit RecordingView(const fake::FakeEventLoop& loop) : loop_(loop) {}

    void showCountdown(int value) override { countdowns.emplace_back(loop_.nowMs(), value); }
    void showSocketEnds(int32_t localPort, const std::string& localIP, int32_t remotePort,
                        const std::string& remoteIP) override {
        socketEnds.push_back(std::to_string(localPort) + " " + localIP + " " + std::to_string(remotePort) + " " + remoteIP);
    }
    bool isWindowVisible() const override { return visible; }
    std::string monitorText() const override { return text; }
    void setMonitorText(const std::string& t) override {
        text = t;
        const size_t end = t.find("\r\n");
        lines.push_back(end == std::string::npos ? t : t.substr(0, end));
    }

    std::vector<int> countdownValues() const {
        std::vector<int> v;
        for (const auto& c : countdowns) v.push_back(c.second);
        return v;
    }

    bool visible = true;
    std::string text;
    std::vector<std::string> lines;  // monitor lines in the order they were written
    std::vector<std::pair<int64_t, int>> countdowns;
    std::vector<std::string> socketEnds;

private:
    const fake::FakeEventLoop& loop_;
};

// A connection on the fakes, with a server that accepts and answers the logon unless told otherwise.
struct NetFixture {
    fake::FakeEventLoop loop;
    fake::FakeTcpSocket socket{loop};
    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    errors::ErrorReporter reporter{sinks, terminator};
    RecordingView view{loop};
    net::Monitor monitor{view, reporter};
    settings::ConnectionSettings server{"10.1.2.3", 6000, 0, "127.0.0.1"};
    net::Connection connection{socket, loop, reporter, monitor, view, server};

    std::string logonReply = "Logon success\r\n";
    int64_t replyDelayMs = 10;
    // Requests other than the logon: the server's answer (empty: silence).
    std::function<std::string(const std::string&)> answer = [](const std::string&) { return std::string(); };
    int logons = 0;

    NetFixture() {
        socket.onLine = [this](const std::string& line) {
            if (line == "tolvane|QHT514") {
                ++logons;
                if (!logonReply.empty()) socket.peerSend(logonReply, replyDelayMs);
                return;
            }
            const std::string a = answer(line);
            if (!a.empty()) socket.peerSend(a, replyDelayMs);
        };
    }

    void logOn() {
        connection.connectToServer();
        view.lines.clear();
        view.countdowns.clear();
    }
};

}  // namespace ostrell::nettest
