// The agent program: reads its command line, chooses its shell, builds the agent on the real platform,
// runs the event loop.
#include <stdio_ext.h>
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <optional>

#include "app/Agent.h"
#include "app/DisplayChoice.h"
#include "app/HeadlessShell.h"
#include "app/SingleInstance.h"
#include "app/StartChecks.h"
#include "app/StatusReport.h"
#include "app/window/MainWindow.h"
#include "app/window/Translations.h"
#include "errors/ErrorReporter.h"
#include "platform/StateWriter.h"
#include "platform/posix/DisplayProbe.h"
#include "platform/posix/PosixStateWriter.h"
#include "platform/posix/SyslogSystemLog.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtStopSignals.h"
#include "settings/KeyTable.h"
#include "settings/Settings.h"

using namespace ostrell;

namespace {

constexpr qint64 TraceFlushMs = 250;

struct Options {
    bool help = false, version = false, headless = false, monitor = false, status = false, autostart = false;
    std::string error;  // a usage error, with the reason
};

// Parsing only: nothing is written, locked or connected before the options are known to be good.
Options parseOptions(int argc, char** argv) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto option = [](std::initializer_list<const char*> names) {
        QStringList list;
        for (const char* n : names) list << QString::fromLatin1(n);
        return QCommandLineOption(list, QString());
    };
    const QCommandLineOption help = option({"h", "help"}), version = option({"v", "version"}),
                             headless = option({"headless"}), monitor = option({"monitor"}),
                             status = option({"status"}), autostart = option({"autostart"});
    parser.addOptions({help, version, headless, monitor, status, autostart});
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    Options o;
    if (!parser.parse(args)) {
        o.error = parser.errorText().toStdString();
        return o;
    }
    if (!parser.positionalArguments().isEmpty()) {
        o.error = "unexpected argument '" + parser.positionalArguments().first().toStdString() + "'";
        return o;
    }
    o.help = parser.isSet(help);
    o.version = parser.isSet(version);
    o.headless = parser.isSet(headless);
    o.monitor = parser.isSet(monitor);
    o.status = parser.isSet(status);
    o.autostart = parser.isSet(autostart);
    return o;
}

const char* const HelpText =
    "Usage: ostrell [--headless] [--monitor] [--autostart]\n"
    "       ostrell --status | --help | --version\n"
    "\n"
    "Links Brannick with the Veltrana booking server: on a fixed cycle it sends the outgoing files of the\n"
    "data directory and stores the bookings and payments it receives. With a display it lives in the\n"
    "notification area; without one it runs headless.\n"
    "\n"
    "  --headless   run without the window and tray, even with a display\n"
    "  --monitor    headless: print every monitor line (records included) instead of one line per cycle\n"
    "  --status     report on the agent of this user and exit: 0 running and in contact, 3 running without\n"
    "               contact, 4 not running\n"
    "  --autostart  as started at login: end quietly when this user has no BKX.ini\n"
    "  -h, --help   show this help and exit\n"
    "  -v, --version  show the version and exit\n"
    "\n"
    "Exit status: 0 ended normally, 1 refused to run, 2 usage error; --status: 3 no contact, 4 not running.\n"
    "Settings: $XDG_CONFIG_HOME/BKX.ini. State: $XDG_STATE_HOME/ostrell/status. See ostrell(1).\n";

int runStatus() {
    app::StatusFindings f;
    platform::PosixStateWriter state(platform::stateDirectory());
    const std::string text = state.readState(platform::StatusFileName);
    if (!text.empty()) f.status = app::parseStatusFile(text);
    // The lock, not the pid in the status file: an agent that died leaves its file but not its lock.
    const std::optional<long> holder =
        platform::InstanceLock::userLockHolder(platform::InstanceLock::userLockDirectory());
    f.agentRunning = holder.has_value();
    f.runningPid = holder.value_or(0);
    std::string dataDir;
    try {
        platform::PosixSettingsStore store;
        dataDir = settings::Settings(store).text(settings::keys::dataDir());
    } catch (const std::exception& e) {
        std::cerr << "ostrell: cannot read the settings: " << e.what() << '\n';
    }
    platform::PosixFileSystem fs;
    app::findDataFolder(fs, dataDir, f);
    const auto now = static_cast<int64_t>(std::time(nullptr));
    std::cout << app::statusReportText(f, now);
    return app::statusExitCode(f, now);
}

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// The desktop was asked for, but a DISPLAY with no server behind it would make the toolkit abort.
bool displayAnswers() {
    if (!env("WAYLAND_DISPLAY").empty() &&
        platform::waylandDisplayReachable(env("WAYLAND_DISPLAY"), env("XDG_RUNTIME_DIR")))
        return true;
    return !env("DISPLAY").empty() && platform::xDisplayReachable(env("DISPLAY"));
}

// What the user does on the window goes to the agent, once for the program's life.
void connectWindow(app::MainWindow& window, app::Agent& agent) {
    using app::MainWindow;
    QObject::connect(&window, &MainWindow::saveClicked, [&agent] { agent.saveSettings(); });
    QObject::connect(&window, &MainWindow::dataDirectoryClicked, [&agent] { agent.chooseDataDirectory(); });
    QObject::connect(&window, &MainWindow::serverAddressRequested, [&agent] { agent.showServerAddress(); });
    QObject::connect(&window, &MainWindow::monitorChosen, [&agent] { agent.toggleMonitor(); });
    QObject::connect(&window, &MainWindow::exitChosen, [&agent] { agent.exitProgram(); });
    QObject::connect(&window, &MainWindow::closeRequested,
                     [&agent](app::CloseReason reason) { agent.requestClose(reason); });
    QObject::connect(&window, &MainWindow::countdownShown, [&agent](bool shown) { agent.setCountdownShown(shown); });
}

// A stop signal ends the agent as the Exit item does, and says so in the system log.
void stopOnSignal(app::Agent& agent, int signal) {
    const char* name = sigabbrev_np(signal);
    agent.exitProgram("SIG" + (name ? std::string(name) : std::to_string(signal)));
}

// With a display: the window, hidden in the tray (or behind its status window where no tray runs).
int runDesktop(int argc, char** argv) {
    QApplication qt(argc, argv);
    app::installTranslations();  // the owner's language, by the locale
    // The window is hidden most of the time; closing a message box must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::QtPlatform p;
    platform::InstanceLock instance;  // held until the program ends
    if (const auto start = app::claimSingleInstance(instance, p.settings, std::cerr); start.refusal) {
        QMessageBox::warning(nullptr, QStringLiteral("Ostrell"),
                             app::alreadyRunningMessage(start.holderPid, start.heldDirectory));
        return app::ExitRefused;
    }
    platform::PosixStateWriter state(platform::stateDirectory());
    app::MainWindow window;
    app::Agent agent({p.loop, p.socket, p.settings, p.files, p.launcher, p.errorSinks, p.terminator,
                      &platform::processSystemLog(), &state, &instance, &p.tlsSockets},
                     window);
    connectWindow(window, agent);
    const platform::QtStopSignals stopSignals([&agent](int signal) { stopOnSignal(agent, signal); });
    agent.start();
    return p.loop.run();
}

int runHeadless(int argc, char** argv, bool monitorLines) {
    // Without a desktop there is no toolkit to share the loop with: Qt's own Unix event dispatcher is
    // leaner than glib's, which writes a wake-up to itself whenever a socket notifier is switched on or
    // off (several times per request). The programs we start must not inherit the choice.
    const bool chooseDispatcher = !qEnvironmentVariableIsSet("QT_NO_GLIB");
    if (chooseDispatcher) qputenv("QT_NO_GLIB", "1");
    QCoreApplication qt(argc, argv);
    if (chooseDispatcher) qunsetenv("QT_NO_GLIB");
    // The trace goes out when the loop is about to wait rather than line by line, and during a busy
    // exchange (a wait per reply) at most every TraceFlushMs: then the lines of many records leave in one
    // write, and a timer sees that nothing stays in the buffer while the agent sleeps.
    QElapsedTimer sinceFlush;  // not started: the first lines (start-up's) go out at once
    QTimer lateFlush;
    lateFlush.setSingleShot(true);
    const auto flushTrace = [&] {
        lateFlush.stop();
        std::cout.flush();
        sinceFlush.start();
    };
    QObject::connect(&lateFlush, &QTimer::timeout, flushTrace);
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, [&] {
        // The trace shares stdio's buffer (cout is synchronised with it): nothing pending, nothing to do,
        // and no timer that would wake the loop for nothing.
        if (__fpending(stdout) == 0) return;
        if (!sinceFlush.isValid() || sinceFlush.elapsed() >= TraceFlushMs) flushTrace();
        else if (!lateFlush.isActive()) lateFlush.start(static_cast<int>(TraceFlushMs - sinceFlush.elapsed()));
    });
    platform::QtPlatform p;
    platform::InstanceLock instance;  // held until the program ends
    if (app::claimSingleInstance(instance, p.settings, std::cerr).refusal) return app::ExitRefused;
    platform::PosixStateWriter state(platform::stateDirectory());
    app::HeadlessShell shell(p.loop, std::cout, std::cerr, {monitorLines, platform::isJournalStream(1)});
    app::Agent agent({p.loop, p.socket, p.settings, p.files, p.launcher, p.errorSinks, p.terminator,
                      &platform::processSystemLog(), &state, &instance, &p.tlsSockets},
                     shell);
    const platform::QtStopSignals stopSignals([&agent](int signal) { stopOnSignal(agent, signal); });
    agent.start();
    return p.loop.run();
}

// Only an account the host has set up runs an agent. Nothing is written before this (no settings file,
// no lock), so that a start from the menu on another account leaves no trace that would start it later.
std::optional<int> endOnFirstRun(int argc, char** argv, bool autostart, bool desktop) {
    platform::PosixSettingsStore store;
    const std::string settingsFile = store.filePath(settings::App);
    const bool exists = QFile::exists(QString::fromStdString(settingsFile));
    bool hostVersionStored = false;
    try {
        const settings::Key host = settings::keys::hostVersion();
        hostVersionStored = exists && !store.readValue(settings::App, host.section, host.name, "").empty();
    } catch (const std::exception&) {
        hostVersionStored = true;  // unreadable now: the start-up reads it again and reports
    }
    switch (app::firstRunChoice(exists, hostVersionStored, autostart)) {
        case app::FirstRun::Start: return std::nullopt;
        case app::FirstRun::QuietEnd:
            platform::processSystemLog().write(platform::LogLevel::Info,
                                               "Brannick is not set up for this account: not started");
            return app::ExitNormal;
        case app::FirstRun::NotSetUp: break;
    }
    const std::string text = app::notSetUpText(settingsFile);
    platform::processSystemLog().write(platform::LogLevel::Error, "stopping on refusal: " + text);
    std::cerr << "ostrell: " << text << '\n';
    if (desktop) {
        QApplication qt(argc, argv);
        app::installTranslations();
        QMessageBox::warning(nullptr, QStringLiteral("Ostrell"), app::notSetUpMessage(settingsFile));
    }
    return app::ExitRefused;
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = parseOptions(argc, argv);
    if (!o.error.empty()) {
        std::cerr << "ostrell: " << o.error << "\nTry 'ostrell --help' for more information.\n";
        return app::ExitUsage;
    }
    if (o.help) {
        std::cout << HelpText;
        return app::ExitNormal;
    }
    if (o.version) {
        std::cout << "ostrell " << errors::programVersionText() << '\n';
        return app::ExitNormal;
    }
    if (o.status) return runStatus();

    bool desktop = app::desktopWanted(argc, argv);
    if (desktop && !displayAnswers()) {
        const std::string line =
            "display '" + env("DISPLAY") + env("WAYLAND_DISPLAY") + "' does not answer: running headless";
        platform::processSystemLog().write(platform::LogLevel::Info, line);
        if (!platform::isJournalStream(2)) std::cerr << "ostrell: " << line << '\n';
        desktop = false;
    }
    if (const auto end = endOnFirstRun(argc, argv, o.autostart, desktop)) return *end;
    return desktop ? runDesktop(argc, argv) : runHeadless(argc, argv, o.monitor);
}
