#pragma once
#include <optional>
#include <string>

#include "app/Shell.h"

namespace ostrell::app {

inline constexpr const char* PasswordPrompt = "Password ? ";
inline constexpr const char* MonitorOnCaption = "Monitor Off";
inline constexpr const char* MonitorOffCaption = "Monitor";

// The access code, compared exactly: same letters, same case, no trimming.
bool isMonitorPassword(const std::optional<std::string>& typed);

// The Monitor item. On: hide, monitor mode off, empty box, caption "Monitor". Off: ask for the access
// code; the right one shows the window, turns the mode on, empties the box and sets "Monitor Off";
// anything else changes nothing and shows nothing. Returns the mode after the choice. Only window calls:
// nothing here can fail.
bool toggleMonitor(Shell& view, bool monitorMode);

}  // namespace ostrell::app
