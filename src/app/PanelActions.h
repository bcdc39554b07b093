#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "app/Shell.h"
#include "errors/ErrorReporter.h"
#include "platform/FileSystem.h"
#include "settings/Settings.h"

namespace ostrell::app {

inline constexpr const char* PasswordPrompt = "Password ? ";
inline constexpr const char* MonitorOnCaption = "Monitor Off";
inline constexpr const char* MonitorOffCaption = "Monitor";

// The access code, compared exactly: same letters, same case, no trimming.
bool isMonitorPassword(const std::optional<std::string>& typed);

// The Monitor item. On: hide, monitor mode off, empty box, caption "Monitor". Off: ask for the access
// code; the right one shows the window, turns the mode on, empties the box and sets "Monitor Off";
// anything else changes nothing and shows nothing. Returns the mode after the choice. Only window calls:
// nothing here can fail.
bool toggleMonitor(Shell& view, bool monitorMode);

inline constexpr const char* InvalidTimeoutText = "Invalid timeout";
inline constexpr const char* ProgramTitle = "Ostrell";

// Whether Save may store the boxes: the cycle length must pass the platform's numeric test.
bool timeoutAcceptable(const std::string& timeoutText);

// The Save button. A time-out that is not numeric is refused with "Invalid timeout" and the focus goes
// back to its box, saving nothing; otherwise "DataDir" and then "TimeOut" are stored exactly as typed.
// The running values change only at the next parameter refresh.
void saveSettings(Shell& panel, settings::Settings& settings, errors::ErrorReporter& reporter);

inline constexpr const char* ChooserTitle = "Find Remote Database";
inline constexpr const char* ChooserFilter = " Data Directory (*.*)|*.*";

// Every occurrence of `what` in `text` replaced by `with`, scanning from the first character, no limit.
std::string replaceAll(const std::string& text, const std::string& what, const std::string& with);

// The name part of a path (after its last "/"), given only when the file exists, as the platform's
// file-name lookup does; empty otherwise.
std::string existingFileName(const std::string& path, bool fileExists);

// What the data-directory box shows for a chosen file: the path with every occurrence of the file's name
// removed, which leaves its directory with the trailing "/". A name that also occurs in the directory
// part goes there too. A path that names no existing file stays whole.
std::string dataDirFromChosenFile(const std::string& path, bool fileExists);

// The folder button. Cancelling the chooser leaves the box as it was. Nothing is saved and nothing is
// reported: a failing look at the file is passed over silently.
void chooseDataDirectory(Shell& panel, platform::FileSystem& files);

// The server address box a double click on the application directory shows: "IP: " address, CR LF,
// "Port: " port.
std::string serverAddressText(const std::string& serverIP, int32_t serverPort);

}  // namespace ostrell::app
