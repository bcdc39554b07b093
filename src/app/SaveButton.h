#pragma once
#include <string>

#include "app/Shell.h"
#include "errors/ErrorReporter.h"
#include "settings/Settings.h"

namespace ostrell::app {

inline constexpr const char* InvalidTimeoutText = "Invalid timeout";
inline constexpr const char* ProgramTitle = "Ostrell";

// Whether Save may store the boxes: the cycle length must pass the platform's numeric test.
bool timeoutAcceptable(const std::string& timeoutText);

// The Save button. A time-out that is not numeric is refused with "Invalid timeout" and the focus goes
// back to its box, saving nothing; otherwise "DataDir" and then "TimeOut" are stored exactly as typed.
// The running values change only at the next parameter refresh.
void saveSettings(Shell& panel, settings::Settings& settings, errors::ErrorReporter& reporter);

}  // namespace ostrell::app
