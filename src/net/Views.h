#pragma once
#include <cstdint>
#include <string>

// The boxes of the main window that the connection and the cycle fill. The window implements them;
// the headless program and the tests have their own.
namespace ostrell::net {

class ConnectionView {
public:
    virtual ~ConnectionView() = default;
    // The countdown box: the countdown of the connection and logon waits, repainted at once.
    virtual void showCountdown(int value) = 0;
    // The port and address of the local and the server end of the connection.
    virtual void showSocketEnds(int32_t localPort, const std::string& localIP, int32_t remotePort,
                                const std::string& remoteIP) = 0;
};

// The monitor box and the visibility of the main window: the monitor shows lines only while the window is visible.
class MonitorView {
public:
    virtual ~MonitorView() = default;
    virtual bool isWindowVisible() const = 0;
    virtual std::string monitorText() const = 0;
    virtual void setMonitorText(const std::string& text) = 0;
};

}  // namespace ostrell::net
