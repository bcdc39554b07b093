#pragma once
#include <optional>
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

inline constexpr const char* VersionGateTitle = "Ostrell";
inline constexpr const char* VersionGateText =
    "This ostrell can only run with Brannick version 2.3.119 or higher\r\n\r\nWill now terminate.";

// Compares two version texts part by part from the left as whole numbers; the first part that differs
// decides. Missing parts count as 0 ("2.3" is 2.3.0); parts may be of any length ("2.3.119.5" is above
// 2.3.119, a part of 30 digits is simply large). Nothing when either text has a part that is not made of
// digits (blanks around a part allowed): an empty text, "x.y.z", "2..3", "-1".
std::optional<int> compareVersions(const std::string& a, const std::string& b);

// Whether the host version lets the agent run: at least the minimum, and made of numbers.
bool hostVersionAccepted(const std::string& hostVersion, const std::string& minimum);

}  // namespace ostrell::app
