#include "app/SaveButton.h"

#include "errors/Trap.h"
#include "settings/KeyTable.h"
#include "settings/NumberConversion.h"

namespace ostrell::app {

bool timeoutAcceptable(const std::string& timeoutText) { return settings::isNumeric(timeoutText); }

void saveSettings(SavePanel& panel, settings::Settings& settings, errors::ErrorReporter& reporter) {
    errors::Trap trap(reporter, "cmdSave_Click");
    std::string timeout;
    trap(80, [&] { timeout = panel.timeoutText(); });
    if (!timeoutAcceptable(timeout)) {
        trap(85, [&] { panel.showMessage(ProgramTitle, InvalidTimeoutText); });
        trap(90, [&] { panel.focusTimeout(); });
        return;
    }
    trap(95, [&] { settings.save(settings::keys::dataDir(), panel.dataDirText()); });
    trap(100, [&] { settings.save(settings::keys::timeout(), timeout); });
}

}  // namespace ostrell::app
