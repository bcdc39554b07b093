#include "platform/posix/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/posix/PosixSettingsStore.h"

namespace ostrell::platform {

namespace {

constexpr const char* UserLockName = "ostrell.lock";
constexpr const char* DirectoryLockName = "Ostrell.lock";

long readPid(int fd) {
    std::array<char, 32> text{};
    const ssize_t n = ::pread(fd, text.data(), text.size() - 1, 0);
    long pid = 0;
    if (n > 0) std::from_chars(text.data(), text.data() + n, pid);
    return pid;
}

bool alive(long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

// The holder writes its pid just after it takes the lock: a copy started at the same moment may find the
// file still empty, or still naming an earlier run. It looks again for up to half a second.
long holderPid(int fd) {
    constexpr int Looks = 100;
    constexpr useconds_t LookPauseUs = 5000;
    long pid = readPid(fd);
    for (int i = 1; i < Looks && !alive(pid); ++i) {
        ::usleep(LookPauseUs);
        pid = readPid(fd);
    }
    return pid;
}

void release(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Every account that shares the data directory opens the lock file, whatever the umask of the first.
constexpr mode_t LockFileMode = 0660;
// Never through a link, never blocking on a FIFO planted under the name, never a terminal of ours.
constexpr int LockOpenFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;

LockOutcome unavailable(const std::string& path, const std::string& why) {
    return {LockOutcome::State::Unavailable, 0, path + ": " + why};
}

// Takes the lock of path into fd (closed again when it is not ours). The file is truncated only once the
// lock is ours: a copy that finds it held leaves the holder's pid as it is.
LockOutcome lockFile(const std::string& path, int& fd) {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | LockOpenFlags, LockFileMode);
    const bool writable = fd >= 0;
    // A read-only directory may still hold the lock file of an earlier run: it locks all the same.
    if (fd < 0 && errno != ELOOP) fd = ::open(path.c_str(), O_RDONLY | LockOpenFlags);
    if (fd < 0) return unavailable(path, errno == ELOOP ? "it is a symbolic link" : std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) {
        release(fd);
        return unavailable(path, "it is not a plain file of its own (a hard link or a special file)");
    }
    // Ours, made under a umask that took the group's bits (or by an earlier version): opened up again.
    if (writable && info.st_uid == ::geteuid() && (info.st_mode & 0777) != LockFileMode &&
        ::fchmod(fd, LockFileMode) != 0) {
        // The lock still holds; another account may find it unavailable and say so.
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        LockOutcome outcome = unavailable(path, std::strerror(error));
        if (error == EWOULDBLOCK) outcome = {LockOutcome::State::Busy, holderPid(fd), {}};
        release(fd);
        return outcome;
    }
    if (writable) {
        const std::string pid = std::to_string(::getpid()) + "\n";
        // Written over the old pid, then cut to length: a copy looking meanwhile never finds it empty.
        if (::pwrite(fd, pid.data(), pid.size(), 0) < 0 || ::ftruncate(fd, static_cast<off_t>(pid.size())) != 0) {
            // The lock holds without the pid: a second copy says pid 0.
        }
    }
    return {};
}

std::string alreadyRunning(long pid) { return "Ostrell is already running (pid " + std::to_string(pid) + ")"; }

}  // namespace

InstanceLock::~InstanceLock() {
    release(dirFd_);
    release(userFd_);
}

std::string InstanceLock::userLockDirectory() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') return runtime;
    return PosixSettingsStore::configDirectory();
}

std::optional<long> InstanceLock::userLockHolder(const std::string& userDir) {
    // Read from the kernel's table rather than by trying the lock: an agent starting in the same instant
    // must not find it taken by a monitoring script.
    struct stat st {};
    if (::stat((userDir + "/" + UserLockName).c_str(), &st) != 0) return std::nullopt;
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, device;
        fields >> number >> kind >> mode >> access >> pid >> device;  // a waiter's line ("->") holds nothing
        unsigned int major = 0, minor = 0;
        unsigned long long inode = 0;
        if (kind != "FLOCK" || std::sscanf(device.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
        if (major == ::major(st.st_dev) && minor == ::minor(st.st_dev) && inode == st.st_ino)
            return std::strtol(pid.c_str(), nullptr, 10);
    }
    return std::nullopt;
}

InstanceLock::Start InstanceLock::acquire(const std::string& userDir, const std::string& dataDir) {
    Start start;
    const LockOutcome user = lockFile(userDir + "/" + UserLockName, userFd_);
    if (user.state == LockOutcome::State::Busy) {
        start.refusal = alreadyRunning(user.holderPid);
        start.holderPid = user.holderPid;
        return start;
    }
    if (user.state == LockOutcome::State::Unavailable)
        start.warnings += "Ostrell cannot lock " + user.detail + "; a second copy would not be noticed\n";
    const LockOutcome dir = claimDirectory(dataDir);
    if (dir.state == LockOutcome::State::Busy) {
        start.refusal = alreadyRunning(dir.holderPid) + " on the data directory " + dataDir;
        start.holderPid = dir.holderPid;
        start.heldDirectory = dataDir;
        release(userFd_);
    }
    // A data directory that cannot be locked is reported by the agent's parameter refresh.
    return start;
}

LockOutcome InstanceLock::claimDirectory(const std::string& dir) {
    if (dir == dir_ && (dirFd_ >= 0 || dir.empty())) return {};
    release(dirFd_);
    dir_ = dir;
    // With no data directory the agent has no files to guard.
    if (dir.empty()) return {};
    // File names are appended to the data directory as it is written ("/srv/data/" + name).
    LockOutcome outcome = lockFile(dir + DirectoryLockName, dirFd_);
    if (outcome.state != LockOutcome::State::Held) dir_.clear();
    return outcome;
}

}  // namespace ostrell::platform
