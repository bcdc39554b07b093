#include "app/tray/IconTray.h"

namespace ostrell::app {

IconTray::IconTray(int hostPollMs)
    : tray_(std::make_unique<QSystemTrayIcon>()), status_(std::make_unique<StatusWindow>()) {
    connect(tray_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { emit activated(eventFor(reason)); });
    connect(status_.get(), &StatusWindow::activated, this, &IconTray::activated);
    connect(&item_, &StatusNotifierItem::activated, this, &IconTray::activated);
    hostPoll_.setInterval(hostPollMs);
    connect(&hostPoll_, &QTimer::timeout, this, &IconTray::followHost);
}

IconTray::~IconTray() {
    hostPoll_.stop();
    tray_->hide();
    status_->hide();
}

void IconTray::addIcon(QWidget& window, const std::string& tip, bool monitorMode) {
    tip_ = QString::fromStdString(trayTipText(tip, window.windowTitle().toStdString()));
    icon_ = window.windowIcon();
    tray_->setIcon(icon_);
    const QString shown = tipDetail_.isEmpty() ? tip_ : tip_ + QLatin1Char('\n') + tipDetail_;
    tray_->setToolTip(shown);
    item_.setIcon(icon_);
    item_.setToolTip(shown);
    status_->setPicture(icon_);
    status_->setTip(shown);
    added_ = true;
    usingTray_ = !QSystemTrayIcon::isSystemTrayAvailable();  // so that followHost acts the first time
    followHost();
    hostPoll_.start();
    if (!monitorMode) window.hide();
}

void IconTray::updateIcon(QWidget& window) {
    icon_ = window.windowIcon();
    tray_->setIcon(icon_);
    item_.setIcon(icon_);
    status_->setPicture(icon_);
}

void IconTray::setMenu(QMenu* menu) { tray_->setContextMenu(menu); }

void IconTray::setNeedsAttention(bool needed) { item_.setNeedsAttention(needed); }

void IconTray::setTipDetail(const QString& line) {
    tipDetail_ = line;
    if (tip_.isEmpty()) return;  // shown from AddTrayIcon on
    const QString tip = tipDetail_.isEmpty() ? tip_ : tip_ + QLatin1Char('\n') + tipDetail_;
    tray_->setToolTip(tip);
    item_.setToolTip(tip);
    status_->setTip(tip);
}

void IconTray::showBalloon(const QString& title, const QString& text, bool warning) {
    if (inTray()) tray_->showMessage(title, text, warning ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information, 0);
}

void IconTray::removeIcon(QWidget&) {
    added_ = false;
    hostPoll_.stop();
    tray_->hide();
    status_->hide();
}

bool IconTray::inTray() const { return added_ && usingTray_; }

void IconTray::followHost() {
    if (!added_) return;
    const bool host = QSystemTrayIcon::isSystemTrayAvailable();
    if (host == usingTray_) return;
    usingTray_ = host;
    if (host) {
        tray_->show();
        item_.takeOver();  // where a StatusNotifierItem host runs; an XEmbed tray has no item to take
        status_->hide();
    } else {
        tray_->hide();
        status_->placeOnScreen();
        status_->show();
    }
    emit hostChanged(host);
}

TrayEvent IconTray::eventFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Context: return TrayEvent::Context;
        case QSystemTrayIcon::DoubleClick: return TrayEvent::DoubleClick;
        case QSystemTrayIcon::Trigger: return TrayEvent::Trigger;
        case QSystemTrayIcon::MiddleClick: return TrayEvent::MiddleClick;
        case QSystemTrayIcon::Unknown: break;
    }
    return TrayEvent::Unknown;
}

}  // namespace ostrell::app
