#pragma once
#include <string>

namespace ostrell::app {

// Why the window is asked to close, numbered as the host desktop numbers it.
enum class CloseReason { ControlMenu = 0, Code = 1, SessionEnding = 2 };

// Whether a request to close the window is allowed: always while the session ends (log off, shut
// down); otherwise only when the "Exit" setting says yes in any letter case.
bool closeAllowed(CloseReason reason, const std::string& exitMode);

}  // namespace ostrell::app
