#include "app/tray/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace ostrell::app {

bool DesktopNotifier::send(const QString& summary, const QString& body, bool warning) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    // An outage stays on the screen until the owner has seen it.
    hints[QStringLiteral("urgency")] = QVariant::fromValue<uchar>(warning ? 2 : 1);
    hints[QStringLiteral("desktop-entry")] = QStringLiteral("ostrell");
    const int expireMs = warning ? 0 : -1;
    call << QStringLiteral("Ostrell") << shownId_ << QString::fromLatin1(warning ? "dialog-warning" : "ostrell-102")
         << summary << body << QStringList() << hints << expireMs;
    // A short wait: a daemon that hangs must not hold the agent's loop.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage) return false;
    if (!reply.arguments().isEmpty()) shownId_ = reply.arguments().constFirst().toUInt();
    return true;
}

}  // namespace ostrell::app
