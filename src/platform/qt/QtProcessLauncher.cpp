#include "platform/qt/QtProcessLauncher.h"

#include <poll.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <cerrno>

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

QtProcessLauncher::~QtProcessLauncher() {
    for (const auto& [handle, fd] : processFds_) ::close(fd);
}

ProcessHandle QtProcessLauncher::hold(int64_t pid) {
    const ProcessHandle handle = ++lastHandle_;
    // Taken at once: the pid is the process we started unless it has already ended and been reaped, and
    // then there is nothing to wait for (a kernel without pidfds cannot tell either).
    const long fd = ::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0U);
    if (fd >= 0) processFds_[handle] = static_cast<int>(fd);
    return handle;
}

ProcessHandle QtProcessLauncher::startProgram(const std::string& path) {
    return hold(startDetached(resolveProgram(QString::fromStdString(path)), {}));
}

ProcessHandle QtProcessLauncher::startCommandLine(const std::string& commandLine) {
    const QString line = QString::fromStdString(commandLine);
    QStringList words = QProcess::splitCommand(line);
    if (words.isEmpty()) throw PlatformError(err::InvalidProcedureCall, "Empty command line");
    const QString first = words.takeFirst();
    if (needsShell(line)) {
        if (first.contains(u'/')) resolveProgram(first);  // a missing program file is still our failure
        return hold(startDetached(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line}));
    }
    return hold(startDetached(resolveProgram(first), words));
}

bool QtProcessLauncher::isRunning(ProcessHandle handle) {
    const auto it = processFds_.find(handle);
    if (it == processFds_.end()) return false;
    // A pidfd becomes readable when its process has ended.
    pollfd ended{it->second, POLLIN, 0};
    const int ready = ::poll(&ended, 1, 0);
    if (ready == 0 || (ready < 0 && errno == EINTR)) return true;
    ::close(it->second);
    processFds_.erase(it);
    return false;
}

std::string QtProcessLauncher::programDirectory() const { return QCoreApplication::applicationDirPath().toStdString(); }

std::string QtProcessLauncher::programName() const {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
}

}  // namespace ostrell::platform
