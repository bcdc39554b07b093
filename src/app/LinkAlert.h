#pragma once
#include <cstdint>
#include <string>

namespace ostrell::app {

// The owner is told when no cycle has reached the server for AlertAfter minutes (0: never).
bool linkAlertDue(int64_t nowMs, int64_t lastContactMs, int alertAfterMinutes);

// The texts, with the time of the last contact (or of the start when there was none) as "14:05".
std::string linkAlertText(const std::string& since);
std::string linkRestoredText();
// The tray tip's second line.
std::string lastContactTip(const std::string& lastContact, bool alerting);

inline constexpr int DefaultAlertAfterMinutes = 30;

}  // namespace ostrell::app
