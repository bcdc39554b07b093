#include "platform/posix/PosixSettingsStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <utility>

#include "platform/IniDocument.h"
#include "platform/PlatformError.h"

namespace ostrell::platform {

namespace {

// How often a write starts again on a file that changed under it, and how long it waits for the lock.
constexpr int EditAttempts = 50;
constexpr int LockWaitMs = 5000;
constexpr int LockPollMs = 5;

[[noreturn]] void fail(const std::string& what, const std::string& path, int error = errno) {
    throw PlatformError(
        error == EACCES || error == EPERM || error == EROFS ? err::PermissionDenied : err::PathFileAccessError,
        "Settings file " + path + ": " + what + ": " + std::strerror(error));
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = other.release();
        }
        return *this;
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// The file as read: its bytes and what identifies this version of it.
struct Snapshot {
    bool exists = false;
    std::string bytes;
    struct stat info {};

    bool sameAs(const Snapshot& o) const {
        if (exists != o.exists) return false;
        if (!exists) return true;
        return info.st_ino == o.info.st_ino && info.st_dev == o.info.st_dev && info.st_size == o.info.st_size &&
               info.st_mtim.tv_sec == o.info.st_mtim.tv_sec && info.st_mtim.tv_nsec == o.info.st_mtim.tv_nsec &&
               bytes == o.bytes;
    }
};

// What a settings file that is not a regular file is, for the report.
const char* kindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// A FIFO or device in the file's place would block the agent (and --status) on open or read for ever.
void refuseIrregular(const struct stat& info, const std::string& path) {
    if (!S_ISREG(info.st_mode))
        throw PlatformError(err::BadFileMode, "Settings file " + path + " is " + kindOf(info.st_mode) +
                                                  ", not a regular file: neither read nor written");
}

// Nothing when the file cannot be opened for reading (missing, not ours to read).
std::optional<Snapshot> readFile(const std::string& path) {
    Snapshot s;
    if (::stat(path.c_str(), &s.info) != 0) return std::nullopt;
    refuseIrregular(s.info, path);
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) return std::nullopt;
    if (::fstat(fd.get(), &s.info) != 0) return std::nullopt;
    refuseIrregular(s.info, path);  // replaced between the look and the open
    std::array<char, 65536> buffer;
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        s.bytes.append(buffer.data(), static_cast<size_t>(n));
    }
    // Taken after the read: a host that wrote meanwhile shows in the time.
    if (::fstat(fd.get(), &s.info) != 0) return std::nullopt;
    s.exists = true;
    return s;
}

Snapshot currentFile(const std::string& path) {
    if (auto s = readFile(path)) return *s;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 || errno != ENOENT) fail("cannot be read", path);
    return {};
}

// How long ago the file was last changed; negative for a time stamp ahead of our clock.
long long ageMs(const Snapshot& s) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return (now.tv_sec - s.info.st_mtim.tv_sec) * 1000LL + (now.tv_nsec - s.info.st_mtim.tv_nsec) / 1000000;
}

bool changedLately(const Snapshot& s) {
    const long long age = ageMs(s);
    return age <= HostRewriteWindowMs && age > -HostRewriteWindowMs;
}

bool caughtMidRewrite(const Snapshot& s) {
    if (!s.exists) return false;
    if (!s.bytes.empty() && s.bytes.back() == '\n') return false;
    return changedLately(s);
}

void refuseMidRewrite(const Snapshot& s, const std::string& path) {
    if (caughtMidRewrite(s))
        throw PlatformError(err::PathFileAccessError,
                            "Settings file " + path + " is being rewritten by the host; try again");
}

void makeDirectories(const std::string& dir) {
    for (size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        const std::string part = dir.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) fail("its directory cannot be made", dir);
        if (slash == std::string::npos) return;
    }
}

// The exclusive lock on "<file>.lock", held until the returned descriptor is closed. A host holding
// it for long is waited for a few seconds, then the write fails and is reported.
Fd lockBeside(const std::string& path) {
    const std::string lockPath = path + ".lock";
    constexpr int LockFlags = O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    Fd fd(::open(lockPath.c_str(), LockFlags, 0660));
    if (fd.get() < 0 && errno == ENOENT) {
        // The first save of this user: the directory is made only when it is missing.
        makeDirectories(path.substr(0, path.rfind('/')));
        fd = Fd(::open(lockPath.c_str(), LockFlags, 0660));
    }
    if (fd.get() < 0) fail("its lock file cannot be opened", lockPath);
    for (int waited = 0;; waited += LockPollMs) {
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) return fd;
        if (errno != EWOULDBLOCK && errno != EINTR) fail("cannot be locked", lockPath);
        if (waited >= LockWaitMs) fail("is locked by another program", lockPath);
        ::usleep(LockPollMs * 1000);
    }
}

void writeAll(int fd, const std::string& bytes, const std::string& path) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail("cannot be written", path);
        done += static_cast<size_t>(n);
    }
}

// The new content in a temporary file beside the file, with the file's mode and owner, on the disk.
void writeTemporary(const std::string& tempPath, const std::string& bytes, const Snapshot& original) {
    ::unlink(tempPath.c_str());  // left over from a write that was cut short
    const mode_t mode = original.exists ? (original.info.st_mode & 07777) : 0600;
    Fd fd(::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (fd.get() < 0) fail("its temporary file cannot be made", tempPath);
    try {
        if (original.exists) {
            // The umask may have taken bits away; a host running as another user keeps its file.
            if (::fchmod(fd.get(), mode) != 0) fail("its mode cannot be kept", tempPath);
            if (::fchown(fd.get(), original.info.st_uid, original.info.st_gid) != 0 && errno != EPERM)
                fail("its owner cannot be kept", tempPath);
        }
        writeAll(fd.get(), bytes, tempPath);
        if (::fsync(fd.get()) != 0) fail("cannot be synced", tempPath);
        if (::close(fd.release()) != 0) fail("cannot be closed", tempPath);
    } catch (...) {
        ::unlink(tempPath.c_str());
        throw;
    }
}

void syncDirectory(const std::string& dir) {
    Fd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0 || ::fsync(fd.get()) != 0) fail("its directory cannot be synced", dir);
}

// The file a write replaces: a BKX.ini that is a link is written through, so the link stays.
std::string replacedFile(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) fail("its link cannot be followed", path);
    std::string target = resolved;
    std::free(resolved);
    return target;
}

}  // namespace

std::string PosixSettingsStore::configDirectory() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "") + "/.config";
}

std::string PosixSettingsStore::filePath(const std::string& app) const {
    return (directory_.empty() ? configDirectory() : directory_) + "/" + app + ".ini";
}

std::string PosixSettingsStore::readValue(const std::string& app, const std::string& section, const std::string& key,
                                          const std::string& defaultValue) {
    const std::string path = filePath(app);
    const std::optional<Snapshot> file = readFile(path);
    if (!file) return defaultValue;
    refuseMidRewrite(*file, path);
    return IniDocument(file->bytes).value(section, key).value_or(defaultValue);
}

void PosixSettingsStore::writeValue(const std::string& app, const std::string& section, const std::string& key,
                                    const std::string& value) {
    const std::string named = filePath(app);
    const Fd lock = lockBeside(named);
    const std::string path = replacedFile(named);
    const std::string dir = path.substr(0, path.rfind('/'));
    const std::string tempPath = path + ".tmp";
    for (int attempt = 0; attempt < EditAttempts; ++attempt) {
        const Snapshot before = currentFile(path);
        // Read while the host may still be writing it (in place, in pieces, at a line end): what we
        // would rename over it could be half its file. Our own last write is no reason to wait.
        if (before.exists && changedLately(before) && !lastWritten_.sameVersion(before.info))
            throw HostRewriting(err::PathFileAccessError,
                                "Settings file " + path + " was changed by the host just now; the write waits");
        IniDocument document(before.bytes);
        try {
            document.set(section, key, value);
        } catch (const std::invalid_argument& e) {
            throw PlatformError(
                err::InvalidProcedureCall,
                std::string("Settings key ").append(section).append("/").append(key).append(": ").append(e.what()));
        }
        if (before.exists && document.text() == before.bytes) return;
        writeTemporary(tempPath, document.text(), before);
        // A host that does not take the lock may have written since we read: its write must not be
        // lost under ours, so the edit is made again on what it wrote.
        if (!currentFile(path).sameAs(before)) {
            ::unlink(tempPath.c_str());
            continue;
        }
        if (::rename(tempPath.c_str(), path.c_str()) != 0) {
            const int error = errno;
            ::unlink(tempPath.c_str());
            fail("cannot be replaced", path, error);
        }
        // The directory is synced only when the file is new. A replaced file needs no sync for safety:
        // the old version is complete on the disk until the file system commits the rename (seconds
        // later), and the new one was synced before it took the name, so a crash finds one or the other
        // whole. Waiting for that commit cost three disk waits per save, and the cycle saves twice.
        if (!before.exists) syncDirectory(dir);
        struct stat written {};
        if (::stat(path.c_str(), &written) == 0) lastWritten_ = FileVersion::of(written);
        return;
    }
    throw PlatformError(err::PathFileAccessError, "Settings file " + path + " kept changing while it was written");
}

}  // namespace ostrell::platform
