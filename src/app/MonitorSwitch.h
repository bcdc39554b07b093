#pragma once
#include <optional>
#include <string>

#include "errors/ErrorReporter.h"

namespace ostrell::app {

// What the Monitor item of the tray menu switches: the main window, the monitor box, the item's caption
// and the program-wide monitor mode.
class MonitorSwitchView {
public:
    virtual ~MonitorSwitchView() = default;
    virtual bool isWindowVisible() const = 0;
    // The input box with a masked answer; nothing when it is cancelled.
    virtual std::optional<std::string> askPassword(const std::string& prompt) = 0;
    virtual void setWindowVisible(bool visible) = 0;
    virtual void setMonitorMode(bool on) = 0;
    virtual void setMonitorText(const std::string& text) = 0;        // txtMon
    virtual void setMonitorCaption(const std::string& caption) = 0;  // mnuMonitor
};

inline constexpr const char* PasswordPrompt = "Password ? ";
inline constexpr const char* MonitorOnCaption = "Monitor Off";
inline constexpr const char* MonitorOffCaption = "Monitor";

// The access code, compared exactly: same letters, same case, no trimming.
bool isMonitorPassword(const std::optional<std::string>& typed);

// The Monitor item. On: hide, monitor mode off, empty box, caption "Monitor". Off: ask for the access
// code; the right one shows the window, turns the mode on, empties the box and sets "Monitor Off";
// anything else changes nothing and shows nothing.
void toggleMonitor(MonitorSwitchView& view, errors::ErrorReporter& reporter);

}  // namespace ostrell::app
