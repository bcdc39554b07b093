#pragma once
#include <optional>
#include <string>

#include "net/Views.h"
#include "settings/Parameters.h"

namespace ostrell::app {

// What the status view of the tray icon shows (a left click opens it).
struct TrayStatus {
    std::string lastContact;  // "14:05"; empty: none yet in this run
    std::string nextCycle;    // "14:06:10"
    int cyclesToday = 0;
    int bookingsToday = 0;
    int paymentsToday = 0;
    int linesSentToday = 0;
};

// Tray pictures, by their resource numbers.
enum class TrayPicture { Smiling = 101, Neutral = 102, Frowning = 103, Flag = 104 };

// The desktop as the agent sees it: the main window's boxes (the connection's and the monitor's among
// them), the tray, the control panel's dialogs, message boxes. The Qt window implements it; the headless
// program prints instead. What every shell must do is pure virtual; only what a shell without a window or
// a control panel may ignore has a default (no dialog ever answers there).
class Shell : public net::ConnectionView, public net::MonitorView {
public:
    // A modal message box with an OK button only; returns when it is closed.
    virtual void showMessage(const std::string& title, const std::string& text) = 0;
    // The count of seconds towards the next cycle.
    virtual void showTickCount(int count) = 0;
    // The cycle length, loop, application and data directories and first BK number from the refreshed
    // parameters.
    virtual void showParameters(const settings::Parameters& p) = 0;
    // Adds the tray icon with the window caption as its tip and hides the window unless the monitor is on.
    virtual void addTrayIcon() = 0;
    // Sets the window's icon and the tray icon to one of the four pictures.
    virtual void setTrayPicture(TrayPicture picture) = 0;
    virtual void deleteTrayIcon() = 0;
    // The outage warning mark on the tray picture (or not) and the tip's second line, from the time of
    // day of the last contact ("14:05"; empty when there was none yet).
    virtual void showLinkState(bool alerting, const std::string& lastContact) = 0;
    // A notification for the owner: the outage warning (no contact since the time given), or the all-clear.
    virtual void notify(bool warning, const std::string& since) = 0;
    // The counts and times of the status view, after each cycle.
    virtual void showTrayStatus(const TrayStatus& status) = 0;

    // One line per cycle, counts only: the headless program prints it; the desktop has the tray.
    virtual void showCycleSummary(const std::string& /*line*/) {}

    // The control panel: the two boxes Save stores (cycle length, data directory) and the focus it gives back.
    virtual std::string timeoutText() const { return {}; }
    virtual std::string dataDirText() const { return {}; }
    virtual void setDataDirText(const std::string& /*text*/) {}
    virtual void focusTimeout() {}
    // The open-file dialog: the full path of the chosen file, or nothing when the operator cancels.
    virtual std::optional<std::string> chooseFile(const std::string& /*title*/, const std::string& /*filter*/) {
        return std::nullopt;
    }
    // The input box with a masked answer; nothing when it is cancelled.
    virtual std::optional<std::string> askPassword(const std::string& /*prompt*/) { return std::nullopt; }
    // Shows (monitor on) or hides the main window.
    virtual void setWindowVisible(bool /*visible*/) {}
    // The Monitor item's caption for the mode; a tray icon added while it is on leaves the window shown.
    virtual void showMonitorMode(bool /*on*/) {}
};

}  // namespace ostrell::app
