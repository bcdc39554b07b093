#pragma once
#include <string>

#include "app/WindowActions.h"

namespace ostrell::app {

// Whether a request to close the window is allowed: always while the session ends (log off, shut
// down); otherwise only when the "Exit" setting says yes in any letter case.
bool closeAllowed(CloseReason reason, const std::string& exitMode);

}  // namespace ostrell::app
