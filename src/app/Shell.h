#pragma once
#include <optional>
#include <string>

#include "net/Views.h"
#include "settings/Parameters.h"

namespace ostrell::app {

// Tray pictures, by their resource numbers.
enum class TrayPicture { Smiling = 101, Neutral = 102, Frowning = 103, Flag = 104 };

// The desktop as the agent sees it: the main window's boxes (the connection's and the monitor's among
// them), the tray, the control panel's dialogs, message boxes. The Qt window implements it; the headless
// program prints instead, and a desktop without a panel keeps the defaults (no dialog ever answers).
class Shell : public net::ConnectionView, public net::MonitorView {
public:
    // A modal message box with an OK button only; returns when it is closed.
    virtual void showMessage(const std::string& title, const std::string& text) = 0;
    // txtTO.
    virtual void showTickCount(int count) = 0;
    // txtTimeout, txtLoop, txtAppDir, txtDataDir, txtBKnum from the refreshed parameters.
    virtual void showParameters(const settings::Parameters& p) = 0;
    // Adds the tray icon with the window caption as its tip and hides the window unless the monitor is on.
    virtual void addTrayIcon() = 0;
    // Sets the window's icon and the tray icon to one of the four pictures.
    virtual void setTrayPicture(TrayPicture picture) = 0;
    virtual void deleteTrayIcon() = 0;

    // One line per cycle, counts only: the headless program prints it; the desktop has the tray.
    virtual void showCycleSummary(const std::string& /*line*/) {}
    // The outage warning mark on the tray picture (or not) and the tip's second line.
    virtual void showLinkState(bool /*alerting*/, const std::string& /*tipLine*/) {}
    // A desktop notification for the owner: the outage warning, or the all-clear.
    virtual void notify(const std::string& /*text*/, bool /*warning*/) {}

    // The control panel: the two boxes Save stores (txtTimeout, txtDataDir) and the focus it gives back.
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
