#include "app/tray/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QtEndian>

namespace ostrell::app {

namespace {
const QString ItemPath = QStringLiteral("/StatusNotifierItem");
// Qt names the connection of each tray icon it makes after the process and a running count, which
// also counts the icons it makes only to ask whether a tray exists. Ours is made at start-up.
constexpr int QtItemsLookedAt = 4096;
constexpr auto Exported = QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals |
                          QDBusConnection::ExportAllProperties;

SniImages imagesOf(const QIcon& icon) {
    SniImages images;
    for (const int size : {16, 22, 32, 48}) {
        const QImage image = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
        SniImage sni{image.width(), image.height(), {}};
        sni.argb.resize(static_cast<qsizetype>(image.width()) * image.height() * 4);
        auto* out = reinterpret_cast<quint32*>(sni.argb.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) *out++ = qToBigEndian(line[x]);
        }
        images.append(sni);
    }
    return images;
}
}  // namespace

QDBusArgument& operator<<(QDBusArgument& out, const SniImage& image) {
    out.beginStructure();
    out << image.width << image.height << image.argb;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, SniImage& image) {
    in.beginStructure();
    in >> image.width >> image.height >> image.argb;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const SniToolTip& tip) {
    out.beginStructure();
    out << tip.iconName << tip.images << tip.title << tip.text;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, SniToolTip& tip) {
    in.beginStructure();
    in >> tip.iconName >> tip.images >> tip.title >> tip.text;
    in.endStructure();
    return in;
}

StatusNotifierItem::StatusNotifierItem(QObject* parent) : QObject(parent) {
    qDBusRegisterMetaType<SniImage>();
    qDBusRegisterMetaType<SniImages>();
    qDBusRegisterMetaType<SniToolTip>();
}

bool StatusNotifierItem::takeOver() {
    const QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (!bus || !bus->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value()) return false;
    const QString prefix = QStringLiteral("org.kde.StatusNotifierItem-%1-").arg(QCoreApplication::applicationPid());
    for (int n = 1; n <= QtItemsLookedAt; ++n) {
        QDBusConnection connection(prefix + QString::number(n));
        if (!connection.isConnected()) continue;
        QObject* published = connection.objectRegisteredAt(ItemPath);
        if (!published || published == this) continue;
        connection.unregisterObject(ItemPath);
        if (!connection.registerObject(ItemPath, this, Exported)) return false;
        // A host that read Qt's item meanwhile reads ours again.
        emit NewTitle();
        emit NewIcon();
        emit NewToolTip();
        emit NewStatus(status());
        return true;
    }
    return false;
}

QString StatusNotifierItem::iconThemePath() const {
    // Installed under a prefix the desktop does not search (/opt, a home directory), the pictures are found
    // by their names only when the host is told where they are.
    const QString icons = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/icons"));
    return QFileInfo::exists(icons + QStringLiteral("/hicolor/scalable/apps/ostrell-102.svg")) ? icons : QString();
}

void StatusNotifierItem::setIcon(const QIcon& icon) {
    iconName_ = icon.name();
    images_ = imagesOf(icon);
    emit NewIcon();
}

void StatusNotifierItem::setToolTip(const QString& text) {
    toolTip_ = text;
    emit NewToolTip();
}

void StatusNotifierItem::setNeedsAttention(bool needed) {
    if (needed == needsAttention_) return;
    needsAttention_ = needed;
    emit NewStatus(status());
}

void StatusNotifierItem::Activate(int /*x*/, int /*y*/) { emit activated(TrayEvent::Trigger); }
void StatusNotifierItem::SecondaryActivate(int /*x*/, int /*y*/) { emit activated(TrayEvent::MiddleClick); }
void StatusNotifierItem::ContextMenu(int /*x*/, int /*y*/) { emit activated(TrayEvent::Context); }
void StatusNotifierItem::Scroll(int /*delta*/, const QString& /*orientation*/) {}

}  // namespace ostrell::app
