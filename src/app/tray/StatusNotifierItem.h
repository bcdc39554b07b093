#pragma once
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>

#include "app/TrayRules.h"

namespace ostrell::app {

// One picture of the icon as the StatusNotifierItem protocol sends it: ARGB32, big-endian bytes.
struct SniImage {
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using SniImages = QList<SniImage>;
struct SniToolTip {
    QString iconName;
    SniImages images;
    QString title;
    QString text;
};

// The tray icon as a StatusNotifierItem host (KDE, XFCE, the GNOME extension, waybar) sees it. Qt
// publishes the item and the icon's menu (DBusMenu, at /MenuBar) on a connection of its own, but its
// item always says "Active", takes the program's file name for its title and gives a host no icon name
// to look up. This object takes the item's place on that same connection, so Qt's menu stays, and says
// what the agent means: the title "Ostrell", the picture's name in the icon theme, NeedsAttention
// during an outage.
class StatusNotifierItem : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(ostrell::app::SniImages IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ overlayIconName)
    Q_PROPERTY(QString AttentionIconName READ attentionIconName)
    Q_PROPERTY(ostrell::app::SniToolTip ToolTip READ toolTip)

public:
    explicit StatusNotifierItem(QObject* parent = nullptr);

    // Takes the place of the item Qt published for this program; false when it has published none (no
    // host runs, or an XEmbed tray shows the icon).
    bool takeOver();
    void setIcon(const QIcon& icon);
    void setToolTip(const QString& text);
    void setNeedsAttention(bool needed);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("ostrell"); }
    QString title() const { return QStringLiteral("Ostrell"); }
    QString status() const { return needsAttention_ ? QStringLiteral("NeedsAttention") : QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconThemePath() const;
    QDBusObjectPath menu() const { return QDBusObjectPath(QStringLiteral("/MenuBar")); }
    bool itemIsMenu() const { return false; }
    QString iconName() const { return iconName_; }
    SniImages iconPixmap() const { return images_; }
    QString overlayIconName() const { return {}; }
    QString attentionIconName() const { return {}; }
    SniToolTip toolTip() const { return {iconName_, {}, title(), toolTip_}; }

    // The protocol's own names: a host calls and hears them on the bus as they are spelled here.
    // NOLINTBEGIN(readability-identifier-naming)
public slots:
    Q_SCRIPTABLE void Activate(int x, int y);
    Q_SCRIPTABLE void SecondaryActivate(int x, int y);
    Q_SCRIPTABLE void ContextMenu(int x, int y);
    Q_SCRIPTABLE void Scroll(int delta, const QString& orientation);

signals:
    Q_SCRIPTABLE void NewTitle();
    Q_SCRIPTABLE void NewIcon();
    Q_SCRIPTABLE void NewToolTip();
    Q_SCRIPTABLE void NewStatus(const QString& status);
    // NOLINTEND(readability-identifier-naming)
    void activated(ostrell::app::TrayEvent event);

private:
    QString iconName_;
    SniImages images_;
    QString toolTip_;
    bool needsAttention_ = false;
};

QDBusArgument& operator<<(QDBusArgument& out, const SniImage& image);
const QDBusArgument& operator>>(const QDBusArgument& in, SniImage& image);
QDBusArgument& operator<<(QDBusArgument& out, const SniToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& in, SniToolTip& tip);

}  // namespace ostrell::app

Q_DECLARE_METATYPE(ostrell::app::SniImage)
Q_DECLARE_METATYPE(ostrell::app::SniToolTip)
