#include "app/PanelActions.h"

#include "errors/Trap.h"
#include "settings/KeyTable.h"
#include "settings/NumberConversion.h"

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

bool timeoutAcceptable(const std::string& timeoutText) { return settings::isNumeric(timeoutText); }

void saveSettings(Shell& panel, settings::Settings& settings, errors::ErrorReporter& reporter) {
    const std::string timeout = panel.timeoutText();
    if (!timeoutAcceptable(timeout)) {
        panel.showMessage(ProgramTitle, InvalidTimeoutText);
        panel.focusTimeout();
        return;
    }
    // Each value is its own write: a refused one is reported and the other is still tried.
    errors::Trap trap(reporter, "cmdSave_Click");
    trap(95, [&] { settings.saveNow(settings::keys::dataDir(), panel.dataDirText()); });
    trap(100, [&] { settings.saveNow(settings::keys::timeout(), timeout); });
}

std::string replaceAll(const std::string& text, const std::string& what, const std::string& with) {
    if (what.empty()) return text;
    std::string out;
    out.reserve(text.size());
    std::string::size_type from = 0;
    for (auto at = text.find(what, from); at != std::string::npos; at = text.find(what, from)) {
        out.append(text, from, at - from).append(with);
        from = at + what.size();
    }
    out.append(text, from, std::string::npos);
    return out;
}

std::string existingFileName(const std::string& path, bool fileExists) {
    if (!fileExists) return {};
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string dataDirFromChosenFile(const std::string& path, bool fileExists) {
    const std::string name = existingFileName(path, fileExists);
    return name.empty() ? path : replaceAll(path, name, "");
}

void chooseDataDirectory(Shell& panel, platform::FileSystem& files) {
    const std::optional<std::string> chosen = panel.chooseFile(ChooserTitle, ChooserFilter);
    if (!chosen) return;
    panel.setDataDirText(*chosen);
    bool exists = false;
    errors::passOver([&] { exists = files.isFile(*chosen); });
    panel.setDataDirText(dataDirFromChosenFile(*chosen, exists));
}

std::string serverAddressText(const std::string& serverIP, int32_t serverPort) {
    return "IP: " + serverIP + "\r\nPort: " + std::to_string(serverPort);
}

}  // namespace ostrell::app
