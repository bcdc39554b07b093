#pragma once
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "app/TrayRules.h"
#include "app/tray/StatusNotifierItem.h"
#include "app/tray/StatusWindow.h"

namespace ostrell::app {

// The tray module: one icon in the notification area that shows the window's icon with the window's
// caption as its tip. Where no tray host runs, a small status window takes its place, and the icon
// moves to the tray as soon as a host appears (and back if it goes away).
class IconTray : public QObject {
    Q_OBJECT
public:
    static constexpr int HostPollMs = 3000;

    explicit IconTray(int hostPollMs = HostPollMs);
    ~IconTray() override;

    // Adds the icon (tip: the given text, or the window's caption when it is empty) and hides the window
    // unless the monitor is on.
    void addIcon(QWidget& window, const std::string& tip, bool monitorMode);
    // Shows the window's current icon; the tip stays as it was added.
    void updateIcon(QWidget& window);
    void removeIcon(QWidget& window);
    // The tip's second line (the last contact, or since when there has been none); empty: none.
    void setTipDetail(const QString& line);
    // The icon's menu: published to the tray host, opened by the status window.
    void setMenu(QMenu* menu);
    // The item asks the host for attention (an outage).
    void setNeedsAttention(bool needed);
    // The icon's balloon, where no notification daemon runs.
    void showBalloon(const QString& title, const QString& text, bool warning);

    bool isAdded() const { return added_; }
    // Where the icon is shown now: in the tray, or in the status window.
    bool inTray() const;
    QSystemTrayIcon& trayIcon() { return *tray_; }
    StatusWindow& statusWindow() { return *status_; }
    StatusNotifierItem& notifierItem() { return item_; }

signals:
    void activated(ostrell::app::TrayEvent event);
    // The icon moved between the tray and the status window.
    void hostChanged(bool inTray);

private:
    void followHost();
    static TrayEvent eventFor(QSystemTrayIcon::ActivationReason reason);

    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<StatusWindow> status_;
    StatusNotifierItem item_;
    QTimer hostPoll_;
    QIcon icon_;
    QString tip_;
    QString tipDetail_;
    bool added_ = false;
    bool usingTray_ = false;
};

}  // namespace ostrell::app
