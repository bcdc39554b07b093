#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include "app/window/MainWindow.h"
#include "unit/Fixture.h"

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

// Where no tray host runs, the status window stands in for the icon, its menu included; a host that
// appears takes the icon, and its menu's items say what the user chose.
TEST(Desktop, TheIconMovesIntoATrayThatAppearsAndItsMenuSaysWhatTheUserChose) {
    if (noDisplay()) GTEST_SKIP() << "no display: run under xvfb-run (tests/gui/run)";
    if (QStandardPaths::findExecutable("trayer").isEmpty()) GTEST_SKIP() << "trayer is not installed";
    MainWindow w(200);
    w.addTrayIcon();
    ASSERT_TRUE(waitFor([&] { return w.tray().statusWindow().isVisible(); }));
    QTest::mouseClick(&w.tray().statusWindow(), Qt::RightButton);  // the stand-in opens the icon's menu
    ASSERT_TRUE(waitFor([&] { return w.trayMenu().isVisible(); }));
    w.trayMenu().hide();
    QProcess trayer;
    trayer.start("trayer", {"--edge", "top", "--align", "right", "--SetDockType", "true"});
    ASSERT_TRUE(waitFor([&] { return w.tray().inTray() && trayIconWidget(); })) << "no tray icon was embedded";
    for (const auto& [item, signal] :
         {std::pair{"mnuMonitor", &MainWindow::monitorChosen}, {"mnuExit", &MainWindow::exitChosen}}) {
        QSignalSpy chosen(&w, signal);
        QTest::mouseClick(trayIconWidget(), Qt::RightButton);
        ASSERT_TRUE(waitFor([&] { return w.trayMenu().isVisible(); }));
        auto* action = w.trayMenu().findChild<QAction*>(item);
        QTest::mouseClick(&w.trayMenu(), Qt::LeftButton, {}, w.trayMenu().actionGeometry(action).center());
        EXPECT_EQ(chosen.count(), 1) << item;
    }
    w.deleteTrayIcon();
    trayer.terminate();
    trayer.waitForFinished(5000);
}

// The agent on the real window: what it shows reaches the controls, its dialogs open and are answered,
// and the controls, found by their names, say what the user does; the window never closes by itself.
TEST(Desktop, TheAgentDrivesTheWindowAndTheControlsSayWhatTheUserDoes) {
    if (noDisplay()) GTEST_SKIP() << "no display: run under xvfb-run (tests/gui/run)";
    MainWindow w(200);
    unittest::AgentFixture f(&w);
    f.store.set("Ostrell", "AlertAfter", "1");
    f.socket.refuseConnections = true;
    f.agent->start();
    f.loop.runFor(70000);                                        // the outage warning
    QTest::keyClicks(w.findChild<QWidget*>("txtTimeout"), "x");  // Save refuses it with a message
    using Step = std::pair<const char*, void (app::Agent::*)()>;
    for (const auto& [answer, handler] :
         {Step{"qoz", &app::Agent::toggleMonitor}, Step{"", &app::Agent::saveSettings},
          Step{"", &app::Agent::showServerAddress}, Step{"", &app::Agent::chooseDataDirectory}}) {
        QTimer::singleShot(100, [answer = answer] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (auto* box = qobject_cast<QInputDialog*>(dialog)) box->setTextValue(answer);
            if (dialog) *answer ? dialog->accept() : dialog->reject();
        });
        (f.agent.get()->*handler)();
    }
    EXPECT_TRUE(w.isVisible());
    f.socket.refuseConnections = false;
    f.loop.runFor(20000);
    EXPECT_TRUE(w.findChild<QPlainTextEdit*>("txtMon")->toPlainText().contains("Logon success"));
    QSignalSpy shown(&w, &MainWindow::countdownShown), closing(&w, &MainWindow::closeRequested);
    for (const auto& [name, signal] : {std::pair{"cmdSave", &MainWindow::saveClicked},
                                       {"cmdDir", &MainWindow::dataDirectoryClicked},
                                       {"txtAppDir", &MainWindow::serverAddressRequested}}) {
        QSignalSpy said(&w, signal);
        if (auto* button = w.findChild<QPushButton*>(name)) QTest::mouseClick(button, Qt::LeftButton);
        else QTest::mouseDClick(w.findChild<QPlainTextEdit*>(name)->viewport(), Qt::LeftButton);
        EXPECT_EQ(said.count(), 1) << name;
    }
    w.close();
    EXPECT_EQ(closing.at(0).at(0).value<app::CloseReason>(), app::CloseReason::ControlMenu);
    f.agent->toggleMonitor();
    EXPECT_EQ(shown.count(), 1) << "hidden by Monitor Off, not by the close";
}

// Without a display the program still starts (offscreen), so that every test can say why it is skipped.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
