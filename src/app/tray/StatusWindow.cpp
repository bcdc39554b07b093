#include "app/tray/StatusWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QScreen>

namespace ostrell::app {

namespace {
constexpr int PictureSize = 32;
}

StatusWindow::StatusWindow()
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      picture_(new QLabel(this)), caption_(new QLabel(this)) {
    setObjectName("statusWindow");
    setWindowTitle(QStringLiteral("Ostrell"));
    picture_->setObjectName("statusPicture");
    picture_->setFixedSize(PictureSize, PictureSize);
    caption_->setObjectName("statusCaption");
    // Mouse events belong to the window as a whole, as they do to a tray icon.
    picture_->setAttribute(Qt::WA_TransparentForMouseEvents);
    caption_->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 10, 4);
    row->setSpacing(6);
    row->addWidget(picture_);
    row->addWidget(caption_);
    setFixedSize(sizeHint());
}

void StatusWindow::setPicture(const QIcon& icon) {
    picture_->setPixmap(icon.pixmap(QSize(PictureSize, PictureSize), devicePixelRatioF()));
    setWindowIcon(icon);
}

void StatusWindow::setTip(const QString& tip) {
    setToolTip(tip);
    caption_->setText(tip);
    setFixedSize(sizeHint());
}

void StatusWindow::placeOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect free = screen->availableGeometry();
    constexpr int Margin = 16;
    move(free.right() - frameGeometry().width() - Margin, free.bottom() - frameGeometry().height() - Margin);
}

void StatusWindow::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton) emit activated(TrayEvent::Context);
    else if (e->button() == Qt::LeftButton) emit activated(TrayEvent::Trigger);
    else if (e->button() == Qt::MiddleButton) emit activated(TrayEvent::MiddleClick);
}

void StatusWindow::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) emit activated(TrayEvent::DoubleClick);
}

void StatusWindow::closeEvent(QCloseEvent* e) {
    // Always present: the program ends through its menu, not by closing this window.
    e->ignore();
}

}  // namespace ostrell::app
