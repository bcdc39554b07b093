#pragma once
#include <string>

#include "errors/ErrorReporter.h"
#include "settings/Settings.h"

namespace ostrell::app {

// The control panel as the Save button sees it: the two boxes it saves and where it sends the operator.
class SavePanel {
public:
    virtual ~SavePanel() = default;
    virtual std::string timeoutText() const = 0;  // txtTimeout
    virtual std::string dataDirText() const = 0;  // txtDataDir
    // A modal message box with an OK button only; returns when it is closed.
    virtual void showMessage(const std::string& title, const std::string& text) = 0;
    virtual void focusTimeout() = 0;
};

inline constexpr const char* InvalidTimeoutText = "Invalid timeout";
inline constexpr const char* ProgramTitle = "Ostrell";

// Whether Save may store the boxes: the cycle length must pass the platform's numeric test.
bool timeoutAcceptable(const std::string& timeoutText);

// The Save button. A time-out that is not numeric is refused with "Invalid timeout" and the focus goes
// back to its box, saving nothing; otherwise "DataDir" and then "TimeOut" are stored exactly as typed.
// The running values change only at the next parameter refresh.
void saveSettings(SavePanel& panel, settings::Settings& settings, errors::ErrorReporter& reporter);

}  // namespace ostrell::app
