#include "app/FirstRun.h"

namespace ostrell::app {

FirstRun firstRunChoice(bool settingsFileExists, bool hostVersionStored, bool autostart) {
    if (autostart) return settingsFileExists && hostVersionStored ? FirstRun::Start : FirstRun::QuietEnd;
    return settingsFileExists ? FirstRun::Start : FirstRun::NotSetUp;
}

std::string notSetUpText(const std::string& settingsFile) {
    return "Brannick is not set up for this account (there is no " + settingsFile + "), so Ostrell does not run.";
}

}  // namespace ostrell::app
