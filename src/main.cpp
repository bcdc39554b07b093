// The agent program: chooses its shell, builds the agent on the real platform, runs the event loop.
#include <QCoreApplication>
#include <iostream>

#include "app/Agent.h"
#include "app/HeadlessShell.h"
#include "platform/qt/QtPlatform.h"

using namespace ostrell;

int main(int argc, char** argv) {
    QCoreApplication qt(argc, argv);
    platform::QtPlatform p;
    app::HeadlessShell shell(p.loop, std::cout, std::cerr);
    app::Agent agent({p.loop, p.socket, p.settings, p.files, p.launcher, p.errorSinks, p.terminator}, shell);
    agent.Form_Load();
    return p.loop.run();
}
