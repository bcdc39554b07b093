#pragma once
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/PlatformError.h"

namespace ostrell::adaptertest {

// The one application object of the test process (Qt allows one; it lives until the process ends).
inline QCoreApplication& testApp() {
    static int argc = 1;
    static char name[] = "adapter_tests";
    static char* argv[] = {name, nullptr};
    static auto* app = new QCoreApplication(argc, argv);
    return *app;
}

// Run as root, this thread's file access switches to "nobody" so that permissions bite.
class UnprivilegedFiles {
public:
    UnprivilegedFiles() {
        if (::geteuid() != 0) return;
        ::setfsgid(65534);
        ::setfsuid(65534);
        switched_ = ::setfsuid(static_cast<uid_t>(-1)) == 65534;
        active_ = switched_;
    }
    ~UnprivilegedFiles() {
        if (switched_) ::setfsuid(0), ::setfsgid(0);
    }
    UnprivilegedFiles(const UnprivilegedFiles&) = delete;
    UnprivilegedFiles& operator=(const UnprivilegedFiles&) = delete;
    bool active() const { return active_; }  // false: root without the right to switch

private:
    bool switched_ = false;
    bool active_ = true;
};

// A temporary directory that the unprivileged user may enter.
class OpenTempDir {
public:
    OpenTempDir() { ::chmod(path().c_str(), 0755); }
    std::string path() const { return dir_.path().toStdString(); }
    std::string file(const std::string& name) const { return path() + "/" + name; }

private:
    QTemporaryDir dir_;
};

inline std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 07777;
}

// The error number an operation fails with, or 0 when it did not fail.
template <class F>
int failureNumber(F&& operation) {
    try {
        operation();
    } catch (const platform::PlatformError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace ostrell::adaptertest
