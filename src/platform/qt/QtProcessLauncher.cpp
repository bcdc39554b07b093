#include "platform/qt/QtProcessLauncher.h"

#include <sys/types.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <cerrno>
#include <csignal>

#include "platform/PlatformError.h"

namespace ostrell::platform {

namespace {

// The program file a path or bare name stands for; throws when there is no program to start there.
QString resolveProgram(const QString& program) {
    QString path = program;
    if (!program.contains(u'/')) {
        path = QStandardPaths::findExecutable(program);
        if (path.isEmpty()) throw PlatformError(err::FileNotFound, "File not found: " + program.toStdString());
    }
    const QFileInfo info(path);
    if (!info.exists()) throw PlatformError(err::FileNotFound, "File not found: " + path.toStdString());
    if (info.isDir() || !info.isExecutable())
        throw PlatformError(err::PermissionDenied, "Permission denied: " + path.toStdString() + " is not a program");
    return path;
}

int64_t startDetached(const QString& program, const QStringList& arguments) {
    qint64 pid = 0;
    if (!QProcess::startDetached(program, arguments, QString(), &pid) || pid <= 0)
        throw PlatformError(err::InvalidProcedureCall, "Cannot start " + program.toStdString());
    return pid;
}

// Characters that only a shell gives meaning to: such a command line is handed to /bin/sh whole.
bool needsShell(const QString& commandLine) {
    for (const QChar c : commandLine)
        if (QStringLiteral("|&;<>$`*?(){}").contains(c)) return true;
    return false;
}

}  // namespace

int64_t QtProcessLauncher::startProgram(const std::string& path) {
    return startDetached(resolveProgram(QString::fromStdString(path)), {});
}

int64_t QtProcessLauncher::startCommandLine(const std::string& commandLine) {
    const QString line = QString::fromStdString(commandLine);
    QStringList words = QProcess::splitCommand(line);
    if (words.isEmpty()) throw PlatformError(err::InvalidProcedureCall, "Empty command line");
    const QString first = words.takeFirst();
    if (needsShell(line)) {
        if (first.contains(u'/')) resolveProgram(first);  // a missing program file is still our failure
        return startDetached(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line});
    }
    return startDetached(resolveProgram(first), words);
}

bool QtProcessLauncher::isRunning(int64_t pid) {
    if (pid <= 0) return false;
    const auto id = static_cast<pid_t>(pid);
    // Our own child (rare: startDetached double-forks) is reaped here, so it never lingers as a zombie.
    int status = 0;
    const pid_t waited = ::waitpid(id, &status, WNOHANG);
    if (waited == id) return false;
    if (waited == 0) return true;
    if (::kill(id, 0) != 0 && errno == ESRCH) return false;
    // An exited process that nobody has reaped yet still answers kill(); its state tells.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;  // no /proc to ask: kill() has the last word
    const QByteArray line = stat.readAll();
    const qsizetype paren = line.lastIndexOf(')');  // the name in brackets may hold blanks and brackets
    if (paren < 0 || paren + 2 >= line.size()) return true;
    return line.at(paren + 2) != 'Z' && line.at(paren + 2) != 'X';
}

std::string QtProcessLauncher::programDirectory() const { return QCoreApplication::applicationDirPath().toStdString(); }

std::string QtProcessLauncher::programName() const {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
}

}  // namespace ostrell::platform
