// The agent program: chooses its shell, builds the agent on the real platform, runs the event loop.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <stdio_ext.h>

#include <cstdio>
#include <iostream>

#include "app/Agent.h"
#include "app/DisplayChoice.h"
#include "app/HeadlessShell.h"
#include "app/window/MainWindow.h"
#include "platform/qt/QtPlatform.h"

using namespace ostrell;

namespace {

constexpr qint64 TraceFlushMs = 250;

// With a display: the window, hidden in the tray (or behind its status window where no tray runs).
int runDesktop(int argc, char** argv) {
    QApplication qt(argc, argv);
    // The window is hidden most of the time; closing a message box must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::QtPlatform p;
    app::MainWindow window;
    app::Agent agent({p.loop, p.socket, p.settings, p.files, p.launcher, p.errorSinks, p.terminator}, window);
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
    app::HeadlessShell shell(p.loop, std::cout, std::cerr);
    app::Agent agent({p.loop, p.socket, p.settings, p.files, p.launcher, p.errorSinks, p.terminator}, shell);
    agent.Form_Load();
    return p.loop.run();
}
