#pragma once
#include <QIcon>
#include <QLabel>
#include <QWidget>

#include "app/TrayRules.h"

namespace ostrell::app {

// Stands in for the tray icon on a desktop without a tray host: a small window that is always there,
// with the same picture and tip, the menu on the secondary button and the double-click action.
class StatusWindow : public QWidget {
    Q_OBJECT
public:
    StatusWindow();

    void setPicture(const QIcon& icon);
    void setTip(const QString& tip);
    // Bottom right of the screen's free area, clear of panels.
    void placeOnScreen();

signals:
    void activated(ostrell::app::TrayEvent event);

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    QLabel* picture_;
    QLabel* caption_;
};

}  // namespace ostrell::app
