#pragma once
#include <QString>

namespace ostrell::app {

// Desktop notifications through the session's notification daemon (org.freedesktop.Notifications),
// where the owner sees them even when nobody looks at the tray. Without a daemon, the tray icon's own
// balloon is the fallback.
class DesktopNotifier {
public:
    // True when the daemon took the notification.
    static bool send(const QString& summary, const QString& body, bool warning);
};

}  // namespace ostrell::app
