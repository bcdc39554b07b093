#include "GuiSupport.h"

#include <QApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <cstdlib>

namespace ostrell::guitest {

bool hasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && QString(platform).startsWith("offscreen")) return false;
    return QGuiApplication::platformName() != "offscreen" && QGuiApplication::platformName() != "minimal";
}

bool waitFor(const std::function<bool()>& cond, int timeoutMs) { return QTest::qWaitFor(cond, timeoutMs); }

QString screenshot(const QString& name) {
    QCoreApplication::processEvents();
    QTest::qWait(150);  // let the X server paint what was just shown
    const char* dir = std::getenv("OSTRELL_SCREENSHOTS");
    const QString folder = dir ? QString(dir) : QDir::current().filePath("screenshots");
    QDir().mkpath(folder);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    const QString path = QDir(folder).filePath(name + ".png");
    return screen->grabWindow(0).save(path) ? path : QString();
}

bool TrayHost::installed() { return !QStandardPaths::findExecutable("trayer").isEmpty(); }

bool TrayHost::start() {
    if (process_) return QSystemTrayIcon::isSystemTrayAvailable();
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->start("trayer",
                    {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "32", "--SetDockType",
                     "true", "--transparent", "false", "--tint", "0x303a48", "--iconspacing", "4", "--padding", "4"});
    if (!process_->waitForStarted(5000)) return false;
    return waitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000);
}

bool TrayHost::stop() {
    if (process_) {
        process_->terminate();
        if (!process_->waitForFinished(5000)) {
            process_->kill();
            process_->waitForFinished(5000);
        }
        process_.reset();
    }
    return waitFor([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }, 10000);
}

void onNextModal(std::function<void(QWidget*)> handle, int timeoutMs) {
    auto* timer = new QTimer(qApp);
    const QDeadlineTimer deadline(timeoutMs);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, deadline, handle] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            handle(modal);
        } else if (deadline.hasExpired()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

QRect screenGeometry(QWidget* w) {
    QProcess info;
    info.start("xwininfo", {"-id", QString::number(w->winId())});
    if (!info.waitForFinished(5000)) return {};
    int x = -1, y = -1, width = 0, height = 0;
    for (const QString& line : QString::fromLocal8Bit(info.readAllStandardOutput()).split('\n')) {
        const QString value = line.section(':', 1).trimmed();
        if (line.contains("Absolute upper-left X")) x = value.toInt();
        else if (line.contains("Absolute upper-left Y")) y = value.toInt();
        else if (line.trimmed().startsWith("Width:")) width = value.toInt();
        else if (line.trimmed().startsWith("Height:")) height = value.toInt();
    }
    return x < 0 ? QRect() : QRect(x, y, width, height);
}

QWidget* trayIconWidget() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (QString(w->metaObject()->className()) == "QSystemTrayIconSys") return w;
    }
    return nullptr;
}

}  // namespace ostrell::guitest
