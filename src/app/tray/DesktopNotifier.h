#pragma once
#include <QString>

namespace ostrell::app {

// Desktop notifications through the session's notification daemon (org.freedesktop.Notifications),
// where the owner sees them even when nobody looks at the tray. Each one replaces the one before, so an
// outage leaves one notification on the screen, which the all-clear takes over. Without a daemon, the
// tray icon's own balloon is the fallback.
class DesktopNotifier {
public:
    // True when the daemon took the notification.
    bool send(const QString& summary, const QString& body, bool warning);

private:
    uint shownId_ = 0;  // the daemon's number of the last one; 0: none
};

}  // namespace ostrell::app
