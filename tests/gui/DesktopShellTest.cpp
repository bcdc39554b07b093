#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>

#include "GuiSupport.h"
#include "StubActions.h"
#include "app/window/MainWindow.h"

using namespace ostrell;
using guitest::screenshot;
using guitest::waitFor;

namespace {

constexpr int FastHostPoll = 200;

#define NEED_DISPLAY()                                                                                \
    do {                                                                                              \
        if (!guitest::hasDisplay()) GTEST_SKIP() << "no display: run under xvfb-run (tests/gui/run)"; \
    } while (0)

settings::Parameters sampleParameters() {
    settings::Parameters p;
    p.timeoutSecs = 15;
    p.loopCount = 10;
    p.dataDirPath = "/var/lib/brannick/data/";
    p.appDirPath = "/opt/brannick/";
    p.loNumbers[1] = "4711";
    p.hasLoNumber = true;
    return p;
}

// The window as start-up leaves it: parameters and socket ends shown, icon in the tray, window hidden.
void startLikeTheAgent(app::MainWindow& w) {
    w.showParameters(sampleParameters());
    w.showSocketEnds(0, "127.0.0.1", 6667, "127.0.0.1");
    w.showTickCount(3);
    w.showCountdown(0);
    w.addTrayIcon();
    w.setTrayPicture(app::TrayPicture::Neutral);
}

template <class T>
T* child(QWidget& w, const char* name) {
    return w.findChild<T*>(name);
}

// Clicks an item of the open tray menu as a person would.
void clickMenuItem(QMenu& menu, const char* name) {
    QAction* item = menu.findChild<QAction*>(name);
    ASSERT_NE(item, nullptr) << name;
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(item).center());
}

void answerPassword(const QString& typed) {
    guitest::onNextModal([typed](QWidget* modal) {
        auto* box = qobject_cast<QInputDialog*>(modal);
        if (!box) {
            modal->close();
            return;
        }
        auto* edit = box->findChild<QLineEdit*>();
        if (edit) {
            EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
            QTest::keyClicks(edit, typed);
        }
        EXPECT_EQ(box->labelText(), "Password ? ");
        screenshot("password-box");
        box->accept();
    });
}

}  // namespace

TEST(DesktopTray, TheIconSitsInTheTrayAndItsMenuWorks) {
    NEED_DISPLAY();
    if (!guitest::TrayHost::installed()) GTEST_SKIP() << "trayer is not installed";
    guitest::TrayHost host;
    ASSERT_TRUE(host.start()) << "trayer did not come up as the tray";

    guitest::StubActions actions;
    app::MainWindow w(actions, FastHostPoll);
    startLikeTheAgent(w);

    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.tray().inTray());
    EXPECT_FALSE(w.tray().statusWindow().isVisible());
    EXPECT_EQ(w.tray().trayIcon().toolTip(), "Veltrana Interface");
    ASSERT_TRUE(waitFor([] { return guitest::trayIconWidget() && guitest::trayIconWidget()->isVisible(); }))
        << "no tray icon was embedded";
    QWidget* icon = guitest::trayIconWidget();
    // Docked in trayer at the top right of the screen.
    QRect where;
    ASSERT_TRUE(waitFor([&] { return (where = guitest::screenGeometry(icon)).left() > 0; }))
        << "the icon was not docked into the tray";
    EXPECT_LT(where.top(), 40) << where.x() << "," << where.y();
    EXPECT_GT(where.left(), QGuiApplication::primaryScreen()->geometry().width() / 2);
    QCursor::setPos(where.center());
    screenshot("tray-icon");

    // The secondary button opens the menu: Cancel, Monitor, Exit.
    QTest::mouseClick(icon, Qt::RightButton);
    ASSERT_TRUE(waitFor([&] { return w.trayMenu().isVisible(); }));
    QStringList items;
    for (QAction* a : w.trayMenu().actions()) items << a->text();
    EXPECT_EQ(items, (QStringList{"Cancel", "Monitor", "Exit"}));
    screenshot("tray-menu");

    // Cancel only closes the menu.
    clickMenuItem(w.trayMenu(), "mnuCancel");
    ASSERT_TRUE(waitFor([&] { return !w.trayMenu().isVisible(); }));
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(actions.exitCalls, 0);

    // Monitor with the code shows the window (other answers: the unit tests of the switch).
    QTest::mouseClick(icon, Qt::RightButton);
    ASSERT_TRUE(waitFor([&] { return w.trayMenu().isVisible(); }));
    answerPassword("qoz");
    clickMenuItem(w.trayMenu(), "mnuMonitor");
    ASSERT_TRUE(waitFor([&] { return w.isVisible(); }));
    EXPECT_TRUE(actions.monitor);
    EXPECT_EQ(w.trayMenu().findChild<QAction*>("mnuMonitor")->text(), "Monitor Off");
    w.setMonitorText("R [ 10|4711|OK ]\r\nS 10|4711\r\nR [ OK ]\r\nS {logon}");
    EXPECT_EQ(child<QPlainTextEdit>(w, "txtMon")->toPlainText(), "R [ 10|4711|OK ]\nS 10|4711\nR [ OK ]\nS {logon}");
    screenshot("monitor-window");

    // Re-adding the icon while monitoring keeps the window shown.
    w.addTrayIcon();
    EXPECT_TRUE(w.isVisible());

    // Monitor Off hides and empties; Exit goes to the core.
    QTest::mouseClick(icon, Qt::RightButton);
    ASSERT_TRUE(waitFor([&] { return w.trayMenu().isVisible(); }));
    clickMenuItem(w.trayMenu(), "mnuMonitor");
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.monitorText(), "");
    EXPECT_EQ(w.trayMenu().findChild<QAction*>("mnuMonitor")->text(), "Monitor");

    QTest::mouseClick(icon, Qt::RightButton);
    ASSERT_TRUE(waitFor([&] { return w.trayMenu().isVisible(); }));
    clickMenuItem(w.trayMenu(), "mnuExit");
    EXPECT_EQ(actions.exitCalls, 1);
    EXPECT_TRUE(actions.sinks.reports.empty());

    w.deleteTrayIcon();
    EXPECT_FALSE(w.tray().trayIcon().isVisible());
}

TEST(DesktopTray, AnOutageMarksThePictureTellsSinceWhenInTheTipAndNotifiesTheOwnerOnce) {
    NEED_DISPLAY();
    if (!guitest::TrayHost::installed()) GTEST_SKIP() << "trayer is not installed";
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || QStandardPaths::findExecutable("dunst").isEmpty())
        GTEST_SKIP() << "no session bus or no dunst for the notification";
    guitest::TrayHost host;
    ASSERT_TRUE(host.start()) << "trayer did not come up as the tray";
    QProcess dunst;
    dunst.start("dunst", {});
    ASSERT_TRUE(dunst.waitForStarted(5000));
    auto displayed = [] {
        QProcess ctl;
        ctl.start("dunstctl", {"count", "displayed"});
        ctl.waitForFinished(5000);
        return ctl.readAllStandardOutput().trimmed().toInt();
    };
    ASSERT_TRUE(waitFor(
        [] {
            return QDBusConnection::sessionBus()
                .interface()
                ->isServiceRegistered("org.freedesktop.Notifications")
                .value();
        },
        10000))
        << "dunst did not take the notifications' name";

    guitest::StubActions actions;
    app::MainWindow w(actions, FastHostPoll);
    startLikeTheAgent(w);
    w.showLinkState(false, "Last contact 13:35");
    EXPECT_EQ(w.tray().trayIcon().toolTip(), "Veltrana Interface\nLast contact 13:35");
    const QImage plain = w.windowIcon().pixmap(32, 32).toImage();

    w.showLinkState(true, "No contact since 13:35");
    w.notify("No contact with the booking server: bookings have not been received since 13:35", true);
    EXPECT_TRUE(w.linkAlertShown());
    EXPECT_EQ(w.tray().trayIcon().toolTip(), "Veltrana Interface\nNo contact since 13:35");
    const QImage marked = w.windowIcon().pixmap(32, 32).toImage();
    EXPECT_EQ(QColor(marked.pixel(24, 27)).name(), "#f5b400") << "the warning triangle in the lower right corner";
    EXPECT_NE(QColor(plain.pixel(24, 27)).name(), "#f5b400");
    w.setTrayPicture(app::TrayPicture::Frowning);  // a new state keeps the mark
    EXPECT_EQ(QColor(w.windowIcon().pixmap(32, 32).toImage().pixel(24, 27)).name(), "#f5b400");
    EXPECT_TRUE(waitFor([&] { return displayed() == 1; }, 5000)) << "the notification daemon shows nothing";
    waitFor([] { return false; }, 500);
    screenshot("outage-warning");
    // The tray draws the picture small: the same picture at 64 pixels, for a person to look at.
    if (const QString dir = qEnvironmentVariable("OSTRELL_SCREENSHOTS"); !dir.isEmpty())
        w.windowIcon().pixmap(64, 64).save(dir + "/outage-tray-picture.png");

    w.showLinkState(false, "Last contact 14:20");
    w.notify("The booking server is reachable again: bookings are received", false);
    EXPECT_FALSE(w.linkAlertShown());
    EXPECT_NE(QColor(w.windowIcon().pixmap(32, 32).toImage().pixel(24, 27)).name(), "#f5b400");
    EXPECT_TRUE(waitFor([&] { return displayed() == 2; }, 5000));
    waitFor([] { return false; }, 500);
    screenshot("outage-over");
    dunst.terminate();
    dunst.waitForFinished(5000);
}

TEST(DesktopTray, WithoutATrayHostAStatusWindowStandsInUntilATrayAppears) {
    NEED_DISPLAY();
    guitest::TrayHost host;
    ASSERT_TRUE(host.stop()) << "another tray host is running";

    guitest::StubActions actions;
    app::MainWindow w(actions, FastHostPoll);
    startLikeTheAgent(w);
    w.setTrayPicture(app::TrayPicture::Flag);

    app::StatusWindow& status = w.tray().statusWindow();
    ASSERT_TRUE(waitFor([&] { return status.isVisible(); }));
    EXPECT_FALSE(w.tray().inTray());
    EXPECT_FALSE(w.tray().trayIcon().isVisible());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(status.toolTip(), "Veltrana Interface");
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_TRUE(screen.contains(status.frameGeometry()));
    screenshot("status-window");

    // A left click does nothing; the secondary button opens the same menu; a double click keeps the window hidden.
    QTest::mouseClick(&status, Qt::LeftButton);
    QTest::mouseDClick(&status, Qt::LeftButton);
    QTest::qWait(100);
    EXPECT_FALSE(w.trayMenu().isVisible());
    EXPECT_FALSE(w.isVisible());
    QCursor::setPos(status.mapToGlobal(status.rect().center()));
    QTest::mouseClick(&status, Qt::RightButton);
    ASSERT_TRUE(waitFor([&] { return w.trayMenu().isVisible(); }));
    screenshot("status-window-menu");
    answerPassword("qoz");
    clickMenuItem(w.trayMenu(), "mnuMonitor");
    ASSERT_TRUE(waitFor([&] { return w.isVisible(); }));
    w.setMonitorText("I not connected");
    screenshot("status-window-monitor");

    // Closing the status window is not a way out: it stays.
    status.close();
    EXPECT_TRUE(status.isVisible());

    // A tray host appears: the icon moves into it.
    if (!guitest::TrayHost::installed()) GTEST_SKIP() << "trayer is not installed: cannot show the move to a tray";
    ASSERT_TRUE(host.start());
    ASSERT_TRUE(waitFor([&] { return w.tray().inTray(); }, 3000));
    EXPECT_FALSE(status.isVisible());
    EXPECT_TRUE(w.tray().trayIcon().isVisible());
    screenshot("status-window-gave-way");

    // And back when the host goes away.
    ASSERT_TRUE(host.stop());
    ASSERT_TRUE(waitFor([&] { return status.isVisible(); }, 3000));
    w.deleteTrayIcon();
    EXPECT_FALSE(status.isVisible());
}

TEST(DesktopWindow, TheControlsShowWhatStartUpSetAndThePanelButtonsWork) {
    NEED_DISPLAY();
    guitest::StubActions actions;
    actions.monitor = true;
    app::MainWindow w(actions, FastHostPoll);
    startLikeTheAgent(w);
    w.setWindowVisible(true);
    ASSERT_TRUE(waitFor([&] { return w.isVisible(); }));

    EXPECT_EQ(w.objectName(), "frmMain");
    EXPECT_EQ(w.windowTitle(), "Veltrana Interface");
    EXPECT_FALSE(child<QPushButton>(w, "cmdDir")->icon().isNull());
    EXPECT_TRUE(child<QPlainTextEdit>(w, "txtMon")->isReadOnly());
    const QFontMetrics mon(child<QPlainTextEdit>(w, "txtMon")->font());
    EXPECT_EQ(mon.horizontalAdvance("iiiiiiii"), mon.horizontalAdvance("MMMMMMMM")) << "txtMon is not fixed pitch";
    EXPECT_EQ(child<QPlainTextEdit>(w, "txtMon")->font().pointSize(), 9);
    EXPECT_FALSE(child<QLineEdit>(w, "txtTimeout")->isReadOnly());
    EXPECT_FALSE(child<QPlainTextEdit>(w, "txtDataDir")->isReadOnly());

    // What start-up showed.
    EXPECT_EQ(child<QLineEdit>(w, "txtTimeout")->text(), "15");
    EXPECT_EQ(child<QLineEdit>(w, "txtLoop")->text(), "10");
    EXPECT_EQ(child<QLineEdit>(w, "txtBKnum")->text(), "4711");
    EXPECT_EQ(child<QLineEdit>(w, "txtRemote")->text(), "6667");
    EXPECT_EQ(child<QLineEdit>(w, "txtRemIP")->text(), "127.0.0.1");
    EXPECT_EQ(child<QPlainTextEdit>(w, "txtDataDir")->toPlainText(), "/var/lib/brannick/data/");
    w.setMonitorText("S 11|4711\r\nR [ 10|4711|ENDOFDATA ]\r\nS 10|4711\r\nR [ OK ]\r\nS {logon}");
    screenshot("control-panel");

    // Save with a time-out that is not a number: the message, then the focus back on the box.
    child<QLineEdit>(w, "txtTimeout")->setText("abc");
    QString message;
    guitest::onNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        message = box->windowTitle() + "|" + box->text();
        screenshot("invalid-timeout");
        box->accept();
    });
    QTest::mouseClick(child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
    EXPECT_EQ(message, "Ostrell|Invalid timeout");
    EXPECT_EQ(w.focusWidget(), child<QLineEdit>(w, "txtTimeout"));
    EXPECT_TRUE(actions.store.writes.empty());

    child<QLineEdit>(w, "txtTimeout")->setText("20");
    child<QPlainTextEdit>(w, "txtDataDir")->setPlainText("/srv/data/");
    QTest::mouseClick(child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
    EXPECT_EQ(actions.store.writes, (std::vector<std::string>{"Ostrell/DataDir=/srv/data/", "Ostrell/TimeOut=20"}));

    // A double click on the application directory shows the server address.
    guitest::onNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        message = box->text();
        box->accept();
    });
    QTest::mouseDClick(child<QPlainTextEdit>(w, "txtAppDir")->viewport(), Qt::LeftButton);
    EXPECT_EQ(message, "IP: 127.0.0.1\nPort: 6667");

    // The close button asks the core; refused, the window stays.
    w.close();
    EXPECT_TRUE(w.isVisible());
    actions.allowClose = true;
    w.close();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(actions.closeRequests,
              (std::vector<app::CloseReason>{app::CloseReason::ControlMenu, app::CloseReason::ControlMenu}));
    w.deleteTrayIcon();
}
