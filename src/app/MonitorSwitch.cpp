#include "app/MonitorSwitch.h"

namespace ostrell::app {

namespace {
constexpr const char* MonitorPassword = "qoz";
}

bool isMonitorPassword(const std::optional<std::string>& typed) { return typed && *typed == MonitorPassword; }

bool toggleMonitor(Shell& view, bool monitorMode) {
    const bool on = !view.isWindowVisible();
    if (on && !isMonitorPassword(view.askPassword(PasswordPrompt))) return monitorMode;
    view.setWindowVisible(on);
    view.setMonitorText("");
    view.showMonitorMode(on);
    return on;
}

}  // namespace ostrell::app
