#pragma once
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <array>
#include <fstream>
#include <functional>
#include <string>

#include "platform/PlatformError.h"

namespace ostrell::adaptertest {

// The one application object of the test process (Qt allows one; it lives until the process ends).
inline QCoreApplication& testApp() {
    static int argc = 1;
    static std::string name = "adapter_tests";
    static std::array<char*, 2> argv{name.data(), nullptr};
    static auto* app = new QCoreApplication(argc, argv.data());
    return *app;
}

// Run as root, this thread's file access becomes the user "nobody" so that permissions bite.
class UnprivilegedFiles {
public:
    explicit UnprivilegedFiles(bool on) : on_(on && !::geteuid()) { switchTo(on_ ? 65534 : -1); }
    ~UnprivilegedFiles() { switchTo(on_ ? 0 : -1); }
    bool active() const { return ::geteuid() != 0 || ::setfsuid(static_cast<uid_t>(-1)) == 65534; }

private:
    static void switchTo(int id) { ::setfsgid(id), ::setfsuid(id); }  // -1 changes nothing
    const bool on_;
};

// A temporary directory that the unprivileged user may enter.
struct OpenTempDir {
    OpenTempDir() { ::chmod(path().c_str(), 0755); }
    std::string path() const { return dir.path().toStdString(); }
    std::string file(const std::string& name) const { return path() + "/" + name; }
    QTemporaryDir dir;
};

inline std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
inline void writeFile(const std::string& path, const std::string& bytes) { std::ofstream(path) << bytes; }
inline mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 07777;
}

// The error number an operation fails with, or 0 when it did not fail.
inline int failureNumber(const auto& operation) try {
    operation();
    return 0;
} catch (const platform::PlatformError& e) {
    return e.number();
}

}  // namespace ostrell::adaptertest
