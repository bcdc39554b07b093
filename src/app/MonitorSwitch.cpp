#include "app/MonitorSwitch.h"

namespace ostrell::app {

namespace {
constexpr const char* MonitorPassword = "qoz";
}

bool isMonitorPassword(const std::optional<std::string>& typed) { return typed && *typed == MonitorPassword; }

void toggleMonitor(Shell& view, bool& monitorMode) {
    const bool on = !view.isWindowVisible();
    if (on && !isMonitorPassword(view.askPassword(PasswordPrompt))) return;
    view.setWindowVisible(on);
    monitorMode = on;
    view.setMonitorText("");
    view.showMonitorMode(on);
}

}  // namespace ostrell::app
