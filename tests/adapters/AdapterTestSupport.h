#pragma once
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>

namespace ostrell::adaptertest {

// The one application object of the test process (Qt allows one; it lives until the process ends).
inline QCoreApplication& testApp() {
    static int argc = 1;
    static char name[] = "adapter_tests";
    static char* argv[] = {name, nullptr};
    static auto* app = new QCoreApplication(argc, argv);
    return *app;
}

// Makes file permission checks apply while the tests run as root (who passes them all otherwise):
// file access of this thread switches to the user "nobody". Without root it changes nothing.
class UnprivilegedFiles {
public:
    UnprivilegedFiles() {
        if (::geteuid() != 0) {
            active_ = true;
            return;
        }
        ::setfsgid(65534);
        ::setfsuid(65534);
        switched_ = ::setfsuid(static_cast<uid_t>(-1)) == 65534;
        active_ = switched_;
    }
    ~UnprivilegedFiles() {
        if (switched_) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
    }
    UnprivilegedFiles(const UnprivilegedFiles&) = delete;
    UnprivilegedFiles& operator=(const UnprivilegedFiles&) = delete;
    // False when permissions cannot be made to bite here (root without the right to switch).
    bool active() const { return active_; }

private:
    bool switched_ = false;
    bool active_ = false;
};

// A temporary directory that the unprivileged user may enter.
class OpenTempDir {
public:
    OpenTempDir() { ::chmod(QFile::encodeName(dir_.path()).constData(), 0755); }
    bool isValid() const { return dir_.isValid(); }
    std::string path() const { return dir_.path().toStdString(); }
    std::string file(const std::string& name) const { return path() + "/" + name; }
    QString qpath() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

}  // namespace ostrell::adaptertest
