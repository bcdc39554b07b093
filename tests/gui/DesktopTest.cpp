#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>

#include "app/window/MainWindow.h"

using namespace ostrell;

namespace {

bool hasDisplay() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

bool waitFor(const std::function<bool()>& cond) { return QTest::qWaitFor(cond, 10000); }

// The widget Qt embeds in the tray for a tray icon, once a tray host has taken it.
QWidget* trayIconWidget() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (QLatin1String(w->metaObject()->className()) == QLatin1String("QSystemTrayIconSys") && w->isVisible())
            return w;
    return nullptr;
}

}  // namespace

// Where no tray host runs, the status window stands in for the icon; a host that appears takes the icon,
// and its menu's items say what the user chose.
TEST(Desktop, TheIconMovesIntoATrayThatAppearsAndItsMenuSaysWhatTheUserChose) {
    if (!hasDisplay()) GTEST_SKIP() << "no display: run under xvfb-run (tests/gui/run)";
    if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty()) GTEST_SKIP() << "trayer is not installed";
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "a tray host runs already";
    app::MainWindow w(200);
    w.addTrayIcon();
    EXPECT_FALSE(w.isVisible());
    ASSERT_TRUE(waitFor([&] { return w.tray().statusWindow().isVisible(); }));
    QProcess trayer;
    trayer.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                                           QStringLiteral("right"), QStringLiteral("--SetDockType"), QStringLiteral("true")});
    ASSERT_TRUE(trayer.waitForStarted(5000));
    ASSERT_TRUE(waitFor([&] { return w.tray().inTray() && trayIconWidget(); })) << "no tray icon was embedded";
    EXPECT_FALSE(w.tray().statusWindow().isVisible());
    for (const auto& [item, signal] : {std::pair{"mnuMonitor", &app::MainWindow::monitorChosen},
                                       {"mnuExit", &app::MainWindow::exitChosen}}) {
        QSignalSpy chosen(&w, signal);
        QTest::mouseClick(trayIconWidget(), Qt::RightButton);
        ASSERT_TRUE(waitFor([&] { return w.trayMenu().isVisible(); }));
        QAction* action = w.trayMenu().findChild<QAction*>(QString::fromLatin1(item));
        ASSERT_NE(action, nullptr) << item;
        QTest::mouseClick(&w.trayMenu(), Qt::LeftButton, {}, w.trayMenu().actionGeometry(action).center());
        EXPECT_EQ(chosen.count(), 1) << item;
    }
    w.deleteTrayIcon();
    trayer.terminate();
    trayer.waitForFinished(5000);
}

// The controls, found by their names, say what the user does; the window never closes by itself.
TEST(Desktop, TheControlsSayWhatTheUserDoes) {
    if (!hasDisplay()) GTEST_SKIP() << "no display: run under xvfb-run (tests/gui/run)";
    app::MainWindow w(200);
    settings::Parameters p;
    p.timeoutSecs = 15;
    p.appDirPath = "/opt/brannick/";
    w.showParameters(p);
    QSignalSpy shown(&w, &app::MainWindow::countdownShown), closing(&w, &app::MainWindow::closeRequested);
    w.setWindowVisible(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const auto viewport = [&](const char* name) { return w.findChild<QPlainTextEdit*>(QLatin1String(name))->viewport(); };
    for (const auto& [name, signal] : {std::pair{"cmdSave", &app::MainWindow::saveClicked},
                                       {"cmdDir", &app::MainWindow::dataDirectoryClicked},
                                       {"txtAppDir", &app::MainWindow::serverAddressRequested}}) {
        QSignalSpy said(&w, signal);
        if (auto* button = w.findChild<QPushButton*>(QLatin1String(name))) QTest::mouseClick(button, Qt::LeftButton);
        else QTest::mouseDClick(viewport(name), Qt::LeftButton);
        EXPECT_EQ(said.count(), 1) << name;
    }
    QTest::keyClicks(w.findChild<QWidget*>(QStringLiteral("txtTimeout")), QStringLiteral("0"));
    EXPECT_EQ(w.timeoutText(), "150");
    w.close();
    ASSERT_EQ(closing.count(), 1);
    EXPECT_EQ(closing[0][0].value<app::CloseReason>(), app::CloseReason::ControlMenu);
    EXPECT_TRUE(w.isVisible()) << "the agent decides";
    w.setWindowVisible(false);
    EXPECT_EQ(shown.count(), 2);
}
