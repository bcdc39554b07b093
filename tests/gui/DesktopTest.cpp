#include <gtest/gtest.h>

#include <array>
#include <cstddef>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include "app/window/MainWindow.h"
#include "app/window/Translations.h"
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
    f.agent->start();
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

TEST(Desktop, ASessionCheckpointLeavesTheAgentRunningTheEndOfTheSessionClosesIt) {
    MainWindow w(200);
    QSignalSpy closing(&w, &MainWindow::closeRequested);
    // Qt alone makes session managers; nothing that listens may look into this one.
    alignas(QSessionManager) std::array<std::byte, sizeof(QSessionManager)> checkpoint{};
    emit qApp->commitDataRequest(*reinterpret_cast<QSessionManager*>(checkpoint.data()));  // NOLINT
    EXPECT_EQ(closing.count(), 0);
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(qApp, &quit);
    ASSERT_EQ(closing.count(), 1);
    EXPECT_EQ(closing.at(0).at(0).value<app::CloseReason>(), app::CloseReason::SessionEnding);
}

// The window in the owner's language, every control named for a screen reader and every label the buddy
// of its field, usable from the keyboard alone.
TEST(Desktop, TheWindowSpeaksTheOwnersLanguageNamesEveryControlAndWorksFromTheKeyboard) {
    if (noDisplay()) GTEST_SKIP() << "no display: run under xvfb-run (tests/gui/run)";
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    app::installTranslations(QStringLiteral(OSTRELL_BUILD "/src/share/ostrell/translations"));
    MainWindow w(200);
    w.setWindowVisible(true);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(w.findChild<QLabel*>("Label3")->text(), "Datenverzeichnis");
    EXPECT_EQ(w.trayMenu().actions().at(2)->text(), "Beenden");
    EXPECT_TRUE(w.statusView().text().startsWith("Letzter Kontakt: noch keiner"));
    for (QWidget* c : w.findChildren<QWidget*>()) {  // the panel's controls, in frames too; not Qt's insides
        const QString name = c->objectName();
        EXPECT_TRUE(name.startsWith("Label")
                        ? qobject_cast<QLabel*>(c)->buddy() != nullptr
                        : !c->isVisible() || name.isEmpty() || name.startsWith("qt_") || !c->accessibleName().isEmpty())
            << name.toStdString();
    }
    w.findChild<QWidget*>("txtTimeout")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "txtDataDir");
    QSignalSpy asked(&w, &MainWindow::serverAddressRequested);
    QTest::keyClick(w.findChild<QWidget*>("txtAppDir"), Qt::Key_Return);
    EXPECT_EQ(asked.count(), 1);
    EXPECT_TRUE(w.grab().save(OSTRELL_BUILD "/screenshots/window-de.png"));
    qDeleteAll(qApp->findChildren<QTranslator*>());  // English again for the tests after this one
    QLocale::setDefault(QLocale::c());
}

// One notification per outage: the all-clear takes its place.
TEST(Desktop, TheAllClearReplacesTheOutageNotification) {
    if (noDisplay()) GTEST_SKIP() << "no display: run under xvfb-run (tests/gui/run)";
    if (QStandardPaths::findExecutable("dunst").isEmpty()) GTEST_SKIP() << "dunst is not installed";
    QProcess dunstctl;  // the daemon itself is started by the bus when it is first asked
    const auto dunst = [&](const QStringList& args) {
        dunstctl.start("dunstctl", args), dunstctl.waitForFinished(5000);
        return QString::fromUtf8(dunstctl.readAllStandardOutput());
    };
    dunst({"close-all"});
    MainWindow w(200);
    w.notify(true, "14:05");
    w.notify(false, "14:05");
    // Both calls have been answered: what the daemon holds now is what the owner gets.
    EXPECT_EQ(dunst({"count", "waiting"}).toInt() + dunst({"count", "displayed"}).toInt(), 1);
    ASSERT_TRUE(waitFor([&] { return dunst({"count", "displayed"}).trimmed() == "1"; }));
    EXPECT_TRUE(
        QGuiApplication::primaryScreen()->grabWindow(0).save(OSTRELL_BUILD "/screenshots/notification-replaced.png"));
}

namespace {
// The item answers from this very process: the call must let its loop run.
QDBusMessage ask(const QString& service, const QString& path, const QString& interface, const QString& method,
                 const QVariantList& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(args);
    return QDBusConnection::sessionBus().call(call, QDBus::BlockWithGui);
}
QVariant property(const QString& service, const QString& path, const QString& interface, const QString& name) {
    const QDBusMessage r = ask(service, path, "org.freedesktop.DBus.Properties", "Get", {interface, name});
    return r.arguments().value(0).value<QDBusVariant>().variant();
}
// The labels (and ids) of the top level of a DBusMenu layout (ia{sv}av).
QStringList menuLabels(const QDBusArgument& layout, QList<int>& ids) {
    int id = 0;
    QVariantMap properties;
    QVariantList children, below;
    layout.beginStructure(), layout >> id >> properties >> children, layout.endStructure();
    QStringList labels;
    for (const QVariant& child : children) {
        const auto item = child.value<QDBusArgument>();
        item.beginStructure(), item >> id >> properties >> below, item.endStructure();
        labels << properties.value("label").toString(), ids << id;
    }
    return labels;
}
}  // namespace

// Under a StatusNotifierItem host (a watcher on the session bus, tests/gui/run) the item carries the
// icon's menu over DBusMenu, the title, the picture's name in the icon theme, and asks for attention
// during an outage; the published menu's items do what the icon's menu does.
TEST(StatusNotifierHost, GetsTheMenuTitleAndIconNameAndAnOutageAsksForAttention) {
    const QString watcher = "org.kde.StatusNotifierWatcher";
    const auto* bus = QDBusConnection::sessionBus().interface();
    if (noDisplay() || !bus || !bus->isServiceRegistered(watcher).value())
        GTEST_SKIP() << "no StatusNotifierWatcher: run under tests/gui/run";
    QIcon::setThemeSearchPaths(QIcon::themeSearchPaths() << OSTRELL_SOURCE "/data/icons");
    QIcon::setThemeName("hicolor");
    MainWindow w(200);
    w.addTrayIcon();
    ASSERT_TRUE(waitFor([&] { return w.tray().inTray(); }));
    QStringList items;
    ASSERT_TRUE(waitFor([&] {
        items = property(watcher, "/StatusNotifierWatcher", watcher, "RegisteredStatusNotifierItems").toStringList();
        return !items.isEmpty();
    }));
    const auto item = [&](const char* name) {
        return property(items.last(), "/StatusNotifierItem", "org.kde.StatusNotifierItem", name);
    };
    EXPECT_EQ(item("Title").toString(), "Ostrell");
    EXPECT_EQ(item("IconName").toString(), "ostrell-102");
    EXPECT_EQ(item("Status").toString(), "Active");
    const QString menuPath = item("Menu").value<QDBusObjectPath>().path();
    w.showLinkState(true, "14:05");
    EXPECT_EQ(item("Status").toString(), "NeedsAttention");
    EXPECT_EQ(item("IconName").toString(), "ostrell-102-alert");
    const QDBusMessage layout =
        ask(items.last(), menuPath, "com.canonical.dbusmenu", "GetLayout", {0, -1, QStringList()});
    ASSERT_EQ(layout.arguments().size(), 2) << layout.errorMessage().toStdString();
    QList<int> ids;
    const QStringList labels = menuLabels(layout.arguments().at(1).value<QDBusArgument>(), ids);
    EXPECT_EQ(labels, QStringList({"Cancel", "Monitor", "Exit"}));
    QSignalSpy chosen(&w, &MainWindow::monitorChosen);
    ask(items.last(), menuPath, "com.canonical.dbusmenu", "Event",
        {ids.at(1), QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
    EXPECT_TRUE(waitFor([&] { return chosen.count() == 1; })) << "the published Monitor item did nothing";
    w.deleteTrayIcon();
}

// Without a display the program still starts (offscreen), so that every test can say why it is skipped.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QDir().mkpath(OSTRELL_BUILD "/screenshots");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
