#include "app/SaveButton.h"

#include "errors/Trap.h"
#include "settings/KeyTable.h"
#include "settings/NumberConversion.h"

namespace ostrell::app {

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

}  // namespace ostrell::app
