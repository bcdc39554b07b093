// The agent program: chooses its shell, builds the agent on the real platform, runs the event loop.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <iostream>

#include "app/Agent.h"
#include "app/DisplayChoice.h"
#include "app/HeadlessShell.h"
#include "app/SingleInstance.h"
#include "app/window/MainWindow.h"
#include "platform/qt/QtPlatform.h"

using namespace ostrell;

namespace {

// With a display: the window, hidden in the tray (or behind its status window where no tray runs).
int runDesktop(int argc, char** argv) {
    QApplication qt(argc, argv);
    // The window is hidden most of the time; closing a message box must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::QtPlatform p;
    platform::InstanceLock instance;  // held until the program ends
    if (const auto refusal = app::claimSingleInstance(instance, p.settings, std::cerr)) {
        QMessageBox::warning(nullptr, QStringLiteral("Ostrell"), QString::fromStdString(*refusal));
        return 1;
    }
    app::MainWindow window;
    app::Agent agent({p.loop, p.socket, p.settings, p.files, p.launcher, p.errorSinks, p.terminator, &instance},
                     window);
    window.setActions(agent);
    agent.Form_Load();
    return p.loop.run();
}

}  // namespace

int main(int argc, char** argv) {
    if (app::desktopWanted(argc, argv)) return runDesktop(argc, argv);
    // Without a desktop there is no toolkit to share the loop with: Qt's own Unix event dispatcher is
    // leaner than glib's, which writes a wake-up to itself whenever a socket notifier is switched on or
    // off (several times per request). The programs we start must not inherit the choice.
    const bool chooseDispatcher = !qEnvironmentVariableIsSet("QT_NO_GLIB");
    if (chooseDispatcher) qputenv("QT_NO_GLIB", "1");
    QCoreApplication qt(argc, argv);
    if (chooseDispatcher) qunsetenv("QT_NO_GLIB");
    // The trace goes out when the loop is about to wait rather than line by line: the lines of one
    // exchange leave in one write, and nothing stays in the buffer while the agent sleeps.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     [] { std::cout.flush(); });
    platform::QtPlatform p;
    platform::InstanceLock instance;  // held until the program ends
    if (app::claimSingleInstance(instance, p.settings, std::cerr)) return 1;
    app::HeadlessShell shell(p.loop, std::cout, std::cerr);
    app::Agent agent({p.loop, p.socket, p.settings, p.files, p.launcher, p.errorSinks, p.terminator, &instance},
                     shell);
    agent.Form_Load();
    return p.loop.run();
}
