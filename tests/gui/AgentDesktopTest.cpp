#include <gtest/gtest.h>

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "GuiSupport.h"
#include "app/Agent.h"
#include "app/window/MainWindow.h"
#include "platform/qt/QtPlatform.h"

using namespace ostrell;
using guitest::screenshot;
using guitest::waitFor;

namespace {

// The test server on a free loopback port, with two bookings waiting for BK number 4711.
class TestServer {
public:
    bool start(const QString& dir) {
        const QString portFile = QDir(dir).filePath("sim.port");
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(VELTRANA_SIM_EXE, {"--port", "0", "--port-file", portFile, "--bookings", "4711:2", "--ledger",
                                          QDir(dir).filePath("ledger.txt")});
        if (!process_.waitForStarted(5000)) return false;
        return waitFor([&] {
            QFile f(portFile);
            if (!f.open(QIODevice::ReadOnly)) return false;
            port_ = QString::fromLatin1(f.readAll()).trimmed().toInt();
            return port_ > 0;
        });
    }
    ~TestServer() {
        process_.terminate();
        if (!process_.waitForFinished(5000)) process_.kill();
        process_.waitForFinished(5000);
    }
    int port() const { return port_; }

private:
    QProcess process_;
    int port_ = 0;
};

void openTrayMenu(app::MainWindow& w) {
    QWidget* icon = guitest::trayIconWidget();
    ASSERT_NE(icon, nullptr);
    const QRect where = guitest::screenGeometry(icon);
    if (where.isValid()) QCursor::setPos(where.center());
    QTest::mouseClick(icon, Qt::RightButton);
    ASSERT_TRUE(waitFor([&] { return w.trayMenu().isVisible(); }));
}

void clickMenuItem(QMenu& menu, const char* name) {
    QAction* item = menu.findChild<QAction*>(name);
    ASSERT_NE(item, nullptr) << name;
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(item).center());
}

}  // namespace

TEST(AgentOnTheDesktop, TheTrayMonitorShowsARealExchangeAndExitEndsTheProgram) {
    if (!guitest::hasDisplay()) GTEST_SKIP() << "no display: run under xvfb-run (tests/gui/run)";
    if (!guitest::TrayHost::installed()) GTEST_SKIP() << "trayer is not installed";

    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath("config").toLocal8Bit());
    QDir(home.path()).mkpath("data");
    TestServer server;
    ASSERT_TRUE(server.start(home.path())) << "the test server did not start";
    guitest::TrayHost host;
    ASSERT_TRUE(host.start()) << "trayer did not come up as the tray";

    platform::QtPlatform p;
    auto put = [&](const char* section, const char* key, const std::string& value) {
        p.settings.writeValue("BKX", section, key, value);
    };
    put("Ostrell", "IPadd", "127.0.0.1");
    put("Ostrell", "IPport", std::to_string(server.port()));
    put("Ostrell", "DataDir", QDir(home.path()).filePath("data").toStdString() + "/");
    put("Ostrell", "TimeOut", "1");
    put("Ostrell", "LoNumber1", "4711");
    put("Version", "Brannhall", "2.3.119");

    app::MainWindow w(500);
    app::Agent agent({p.loop, p.socket, p.settings, p.files, p.launcher, p.errorSinks, p.terminator}, w);
    w.setActions(agent);
    agent.start();

    // Start-up leaves the window hidden and the idle face in the tray.
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.tray().inTray());
    ASSERT_TRUE(waitFor([] { return guitest::trayIconWidget() && guitest::trayIconWidget()->isVisible(); }));
    EXPECT_EQ(w.trayPicture(), app::TrayPicture::Neutral);
    screenshot("agent-tray");

    // Monitor with the access code shows the window; the next cycles' lines appear in it, newest first.
    openTrayMenu(w);
    screenshot("agent-tray-menu");
    guitest::onNextModal([](QWidget* modal) {
        auto* box = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(box, nullptr);
        QTest::keyClicks(box->findChild<QLineEdit*>(), "qoz");
        box->accept();
    });
    clickMenuItem(w.trayMenu(), "mnuMonitor");
    ASSERT_TRUE(waitFor([&] { return w.isVisible(); }));
    auto* txtMon = w.findChild<QPlainTextEdit*>("txtMon");
    ASSERT_TRUE(waitFor([&] { return txtMon->toPlainText().contains("S 11|4711"); }, 20000))
        << txtMon->toPlainText().toStdString();
    const QString text = txtMon->toPlainText();
    EXPECT_TRUE(text.contains("S {logon}") || text.contains("R [ ")) << text.toStdString();
    EXPECT_TRUE(text.contains("S 10|4711")) << text.toStdString();
    EXPECT_LT(text.indexOf("S 11|4711"), text.indexOf("S 10|4711")) << "the newest line is not first";
    EXPECT_EQ(w.findChild<QLineEdit*>("txtRemote")->text(), QString::number(server.port()));
    EXPECT_EQ(w.findChild<QLineEdit*>("txtBKnum")->text(), "4711");
    screenshot("agent-monitor");

    // Exit from the tray menu ends the main loop; the icon leaves the tray.
    bool ended = false;
    QTimer::singleShot(0, [&] {
        openTrayMenu(w);
        clickMenuItem(w.trayMenu(), "mnuExit");
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] { p.loop.requestEnd(); });
    watchdog.start(15000);
    p.loop.run();
    ended = watchdog.isActive();
    EXPECT_TRUE(ended) << "Exit did not end the program";
    EXPECT_FALSE(w.tray().isAdded());
    EXPECT_FALSE(w.tray().trayIcon().isVisible());
}
