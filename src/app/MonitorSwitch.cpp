#include "app/MonitorSwitch.h"

#include "errors/Trap.h"

namespace ostrell::app {

namespace {
constexpr const char* MonitorPassword = "qoz";
}

bool isMonitorPassword(const std::optional<std::string>& typed) { return typed && *typed == MonitorPassword; }

void toggleMonitor(MonitorSwitchView& view, errors::ErrorReporter& reporter) {
    errors::Trap trap(reporter, "mnuMonitor_Click");
    if (trap.value(
            80, [&] { return view.isWindowVisible(); }, false)) {
        trap(85, [&] { view.setWindowVisible(false); });
        trap(90, [&] { view.setMonitorMode(false); });
        trap(95, [&] { view.setMonitorText(""); });
        trap(100, [&] { view.setMonitorCaption(MonitorOffCaption); });
        return;
    }
    std::optional<std::string> typed;
    trap(105, [&] { typed = view.askPassword(PasswordPrompt); });
    if (!isMonitorPassword(typed)) return;
    trap(110, [&] { view.setWindowVisible(true); });
    trap(115, [&] { view.setMonitorMode(true); });
    trap(120, [&] { view.setMonitorText(""); });
    trap(125, [&] { view.setMonitorCaption(MonitorOnCaption); });
}

}  // namespace ostrell::app
