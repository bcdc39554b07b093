#pragma once
#include <string>

#include "errors/ErrorReporter.h"
#include "platform/FileSystem.h"
#include "settings/Settings.h"

namespace ostrell::app {

// Why the window is asked to close, numbered as the host desktop numbers it.
enum class CloseReason { ControlMenu = 0, Code = 1, SessionEnding = 2 };

// What the window's own events need from the agent core: the shared services for the panel's buttons and
// the decisions that belong to the core (ending, closing, the server address, the monitor mode).
class WindowActions {
public:
    virtual ~WindowActions() = default;
    virtual settings::Settings& settings() = 0;
    virtual errors::ErrorReporter& reporter() = 0;
    virtual platform::FileSystem& files() = 0;
    // The monitor mode, read by the tray so that re-adding the icon does not hide a monitoring window.
    virtual bool monitorMode() const = 0;
    virtual void setMonitorMode(bool on) = 0;
    // The window with the count towards the next cycle became visible or hidden.
    virtual void setCountdownShown(bool /*shown*/) {}
    // The text of the server address box: "IP: " address, CR LF, "Port: " port.
    virtual std::string serverAddressText() = 0;
    // The Exit item of the tray menu: ends the program politely.
    virtual void exitProgram() = 0;
    // A request to close the window: true allows it (the program then ends), false refuses it.
    virtual bool queryClose(CloseReason reason) = 0;
};

}  // namespace ostrell::app
