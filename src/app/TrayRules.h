#pragma once
#include <cstdint>
#include <string>

#include "app/Shell.h"

// The tray's pure rules: which picture it shows, what a click on it does, its tip, when the owner is
// warned of an outage, and when the window may close.
namespace ostrell::app {

// The tray picture for a state: no BK number, the flag, whatever else holds; otherwise files waiting
// show a smiling face while connected and a frowning one while not; nothing waiting, the neutral face.
TrayPicture trayPictureFor(bool hasBkNumber, bool filesWaiting, bool connected);

// How the desktop reports a mouse event on the tray icon (or on the status window that stands in for it).
enum class TrayEvent { Unknown, Context, DoubleClick, Trigger, MiddleClick };

enum class TrayAction { Nothing, OpenMenu, RestoreNormal, ShowStatus };

// The secondary button opens the tray menu; a left click shows the status view; a double click restores
// the window's normal state (it does not show a hidden window: only the Monitor item does).
TrayAction trayActionFor(TrayEvent event);

// The tray tip: the given text, or the window caption when it is empty, cut at 64 characters.
std::string trayTipText(const std::string& tip, const std::string& windowCaption);

// The owner is told when no cycle has reached the server for AlertAfter minutes (0: never).
bool linkAlertDue(int64_t nowMs, int64_t lastContactMs, int alertAfterMinutes);

// The texts, with the time of the last contact (or of the start when there was none) as "14:05".
std::string linkAlertText(const std::string& since);
std::string linkRestoredText();
// The tray tip's second line.
std::string lastContactTip(const std::string& lastContact, bool alerting);

inline constexpr int DefaultAlertAfterMinutes = 30;

// Why the window is asked to close, numbered as the host desktop numbers it.
enum class CloseReason { ControlMenu = 0, Code = 1, SessionEnding = 2 };

// Whether a request to close the window is allowed: always while the session ends (log off, shut
// down); otherwise only when the "Exit" setting says yes in any letter case.
bool closeAllowed(CloseReason reason, const std::string& exitMode);

}  // namespace ostrell::app
