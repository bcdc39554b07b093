#pragma once
#include <string>

namespace ostrell::app {

// How the desktop reports a mouse event on the tray icon (or on the status window that stands in for it).
enum class TrayEvent { Unknown, Context, DoubleClick, Trigger, MiddleClick };

enum class TrayAction { Nothing, OpenMenu, RestoreNormal, ShowStatus };

// The secondary button opens the tray menu; a left click shows the status view; a double click restores
// the window's normal state (it does not show a hidden window: only the Monitor item does).
TrayAction trayActionFor(TrayEvent event);

// The tray tip: the given text, or the window caption when it is empty, cut at 64 characters.
std::string trayTipText(const std::string& tip, const std::string& windowCaption);

}  // namespace ostrell::app
