#pragma once
#include <string>

#include "net/Views.h"
#include "settings/Parameters.h"

namespace ostrell::app {

// Tray pictures, by their resource numbers.
enum class TrayPicture { Smiling = 101, Neutral = 102, Frowning = 103, Flag = 104 };

// The desktop side that the agent core drives: the main window's boxes, the tray, message boxes and
// the end of the program. The Qt window implements it; the headless program prints instead.
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
};

}  // namespace ostrell::app
