#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include "app/window/MainWindow.h"

using namespace ostrell;
using app::MainWindow;

namespace {
bool noDisplay() { return QGuiApplication::platformName() == "offscreen"; }
bool waitFor(const std::function<bool()>& cond) { return QTest::qWaitFor(cond, 10000); }
// The widget Qt embeds in the tray for a tray icon, once a tray host has taken it.
QWidget* trayIconWidget() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (QString(w->metaObject()->className()) == "QSystemTrayIconSys" && w->isVisible()) return w;
    return nullptr;
}
}  // namespace

// Where no tray host runs, the status window stands in for the icon; a host that appears takes the icon,
// and its menu's items say what the user chose.
TEST(Desktop, TheIconMovesIntoATrayThatAppearsAndItsMenuSaysWhatTheUserChose) {
    if (noDisplay()) GTEST_SKIP() << "no display: run under xvfb-run (tests/gui/run)";
    if (QStandardPaths::findExecutable("trayer").isEmpty()) GTEST_SKIP() << "trayer is not installed";
    MainWindow w(200);
    w.addTrayIcon();
    ASSERT_TRUE(waitFor([&] { return w.tray().statusWindow().isVisible(); }));
    QProcess trayer;
    trayer.start("trayer", {"--edge", "top", "--align", "right", "--SetDockType", "true"});
    ASSERT_TRUE(waitFor([&] { return w.tray().inTray() && trayIconWidget(); })) << "no tray icon was embedded";
    EXPECT_FALSE(w.tray().statusWindow().isVisible());
    for (const auto& [item, signal] :
         {std::pair{"mnuMonitor", &MainWindow::monitorChosen}, {"mnuExit", &MainWindow::exitChosen}}) {
        QSignalSpy chosen(&w, signal);
        QTest::mouseClick(trayIconWidget(), Qt::RightButton);
        ASSERT_TRUE(waitFor([&] { return w.trayMenu().isVisible(); }));
        QAction* action = w.trayMenu().findChild<QAction*>(item);
        QTest::mouseClick(&w.trayMenu(), Qt::LeftButton, {}, w.trayMenu().actionGeometry(action).center());
        EXPECT_EQ(chosen.count(), 1) << item;
    }
    w.deleteTrayIcon();
    trayer.terminate();
    trayer.waitForFinished(5000);
}

// The controls, found by their names, say what the user does; the window never closes by itself.
TEST(Desktop, TheControlsSayWhatTheUserDoes) {
    if (noDisplay()) GTEST_SKIP() << "no display: run under xvfb-run (tests/gui/run)";
    MainWindow w(200);
    QSignalSpy shown(&w, &MainWindow::countdownShown), closing(&w, &MainWindow::closeRequested);
    w.setWindowVisible(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (const auto& [name, signal] : {std::pair{"cmdSave", &MainWindow::saveClicked},
                                       {"cmdDir", &MainWindow::dataDirectoryClicked},
                                       {"txtAppDir", &MainWindow::serverAddressRequested}}) {
        QSignalSpy said(&w, signal);
        if (auto* button = w.findChild<QPushButton*>(name)) QTest::mouseClick(button, Qt::LeftButton);
        else QTest::mouseDClick(w.findChild<QPlainTextEdit*>(name)->viewport(), Qt::LeftButton);
        EXPECT_EQ(said.count(), 1) << name;
    }
    QTest::keyClicks(w.findChild<QWidget*>("txtTimeout"), "30");
    EXPECT_EQ(w.timeoutText(), "30");
    w.close();
    EXPECT_EQ(closing.at(0).at(0).value<app::CloseReason>(), app::CloseReason::ControlMenu);
    EXPECT_TRUE(w.isVisible()) << "the agent decides";
    w.setWindowVisible(false);
    EXPECT_EQ(shown.count(), 2);
}

// Without a display the program still starts (offscreen), so that every test can say why it is skipped.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
