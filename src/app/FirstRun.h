#pragma once
#include <string>

namespace ostrell::app {

// What a start on an account finds: the agent runs only where Brannick has been set up.
enum class FirstRun {
    Start,     // BKX.ini is there (the version gate decides the rest)
    NotSetUp,  // no BKX.ini: said once, nothing written, status 1
    QuietEnd,  // the autostart entry on an account the host has not set up: ends without a word
};

// The autostart entry starts an agent for every account that logs in, so there it takes the host's own
// version entry, not merely a file, to run: a file holding only our version is not the host's.
FirstRun firstRunChoice(bool settingsFileExists, bool hostVersionStored, bool autostart);

// The one sentence that says so, for stderr and the system log.
std::string notSetUpText(const std::string& settingsFile);

}  // namespace ostrell::app
