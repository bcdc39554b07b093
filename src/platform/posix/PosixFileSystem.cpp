#include "platform/posix/PosixFileSystem.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>

#include "platform/PlatformError.h"

namespace ostrell::platform {

namespace {

constexpr int64_t AnyLength = -1;  // append's own call: whatever the file holds

bool isDirectoryPath(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// ENOENT for a path whose directory is missing is a missing path, not a missing file.
PlatformError fileError(int errnum, const std::string& what, const std::string& path) {
    if (errnum == ENOENT && !isDirectoryPath(parentDirectory(path)))
        return PlatformError(err::PathNotFound, what + " " + path + ": directory not found")
            .withDetail(what + " " + path + ": errno " + std::to_string(errnum) + " ENOENT (no directory " +
                        parentDirectory(path) + ")");
    return errnoError(errnum, what + " " + path);
}

// Owns one descriptor; closing is checked by the operation, the destructor only cleans up after a throw.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void close(const std::string& path) {
        const int fd = fd_;
        fd_ = -1;
        // Linux frees the descriptor even when close fails, so no retry on EINTR.
        if (::close(fd) != 0 && errno != EINTR) throw fileError(errno, "close", path);
    }

private:
    int fd_;
};

// Only group bits survive beyond the owner's, and the umask may clear those too.
constexpr mode_t NewFileMode = 0660;

int openRetrying(const std::string& path, int flags, mode_t mode = 0) {
    for (;;) {
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EINTR) return fd;
    }
}

void writeFully(int fd, const std::string& bytes, const std::string& path) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw fileError(errno, "write", path);
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
}

void syncFd(int fd, const std::string& path) {
    while (::fsync(fd) != 0) {
        if (errno != EINTR) throw fileError(errno, "fsync", path);
    }
}

// Writes all of bytes at the end of a file that was `size` bytes long. When the write fails part-way
// (a full disk cuts it short), the part that went in is taken back: a reader must never find the
// front of a line.
void writeWholeOrNothing(int fd, off_t size, const std::string& bytes, const std::string& path) {
    try {
        writeFully(fd, bytes, path);
    } catch (const PlatformError&) {
        while (::ftruncate(fd, size) != 0 && errno == EINTR) {
        }
        throw;
    }
}

off_t sizeOf(int fd, const std::string& path) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) throw fileError(errno, "stat", path);
    return st.st_size;
}

// Opens path for writing with extra flags; tells whether this call created the file.
Fd openForWriting(const std::string& path, int flags, bool& created) {
    for (;;) {
        int fd = openRetrying(path, O_WRONLY | O_NOFOLLOW | flags);
        if (fd >= 0) {
            created = false;
            return Fd(fd);
        }
        if (errno != ENOENT) throw fileError(errno, "open", path);
        fd = openRetrying(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | flags, NewFileMode);
        if (fd >= 0) {
            created = true;
            return Fd(fd);
        }
        if (errno != EEXIST) throw fileError(errno, "create", path);
        // Someone else created it in between: open the existing file.
    }
}

class PosixOpenFile : public OpenFile {
public:
    PosixOpenFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

    FileStatus status() override {
        struct stat st {};
        if (::fstat(fd_.get(), &st) != 0) throw fileError(errno, "stat", path_);
        constexpr int64_t NsPerMs = 1000000;
        return {{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)},
                static_cast<int64_t>(st.st_size),
                static_cast<int64_t>(st.st_mtim.tv_sec) * 1000 + static_cast<int64_t>(st.st_mtim.tv_nsec) / NsPerMs};
    }

    std::string readFrom(int64_t offset) override {
        std::string content;
        std::array<char, 65536> buffer;
        for (auto at = static_cast<off_t>(offset);;) {
            const ssize_t n = ::pread(fd_.get(), buffer.data(), buffer.size(), at);
            if (n < 0) {
                if (errno == EINTR) continue;
                throw fileError(errno, "read", path_);
            }
            if (n == 0) return content;
            content.append(buffer.data(), static_cast<size_t>(n));
            at += n;
        }
    }

    void append(const std::string& bytes) override { writeFully(fd_.get(), bytes, path_); }

private:
    Fd fd_;
    std::string path_;
};

}  // namespace

bool PosixFileSystem::isSymlink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return false;
        throw fileError(errno, "stat", path);
    }
    return S_ISLNK(st.st_mode);
}

FileIdentity PosixFileSystem::identity(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) throw fileError(errno, "stat", path);
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

void PosixFileSystem::createLike(const std::string& path, const std::string& bytes, const std::string& modelPath) {
    struct stat model {};
    if (::lstat(modelPath.c_str(), &model) != 0) throw fileError(errno, "stat", modelPath);
    // Created owner-only, and opened up to the model's bits only once its group is right.
    Fd fd(openRetrying(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600));
    if (fd.get() < 0) throw fileError(errno, "create", path);
    try {
        // Another group than ours is allowed only to a member of it; otherwise the file keeps ours.
        if (::fchown(fd.get(), static_cast<uid_t>(-1), model.st_gid) != 0 && errno != EPERM)
            throw fileError(errno, "set the group of", path);
        if (::fchmod(fd.get(), model.st_mode & 07777) != 0) throw fileError(errno, "set the mode of", path);
        writeFully(fd.get(), bytes, path);
        syncFd(fd.get(), path);
        fd.close(path);
    } catch (const PlatformError&) {
        ::unlink(path.c_str());
        throw;
    }
}

void PosixFileSystem::makePrivateDirectory(const std::string& dir) {
    if (dir.empty() || isDirectoryPath(dir)) return;
    const std::string parent = parentDirectory(dir);
    if (parent != dir && parent != ".") makePrivateDirectory(parent);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) throw fileError(errno, "create directory", dir);
    if (!isDirectoryPath(dir)) throw fileError(ENOTDIR, "create directory", dir);
}

bool PosixFileSystem::isFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return false;
        throw fileError(errno, "stat", path);
    }
    if (!S_ISREG(st.st_mode)) return false;
    // A dot name is a hidden file, and hidden files do not count.
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.empty() || name[0] != '.';
}

bool PosixFileSystem::isDirectory(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return false;
        throw fileError(errno, "stat", path);
    }
    return S_ISDIR(st.st_mode);
}

std::string PosixFileSystem::readAll(const std::string& path) {
    Fd fd(openRetrying(path, O_RDONLY | O_NOFOLLOW));
    if (fd.get() < 0) throw fileError(errno, "open", path);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) throw fileError(errno, "stat", path);
    if (S_ISDIR(st.st_mode)) throw fileError(EISDIR, "read", path);
    std::string content;
    if (S_ISREG(st.st_mode)) content.reserve(static_cast<size_t>(st.st_size));
    std::array<char, 65536> buffer;
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            throw fileError(errno, "read", path);
        }
        if (n == 0) break;
        content.append(buffer.data(), static_cast<size_t>(n));
    }
    fd.close(path);
    return content;
}

int64_t PosixFileSystem::append(const std::string& path, const std::string& bytes, bool durable) {
    return appendIfLength(path, bytes, durable, AnyLength);
}

int64_t PosixFileSystem::appendIfLength(const std::string& path, const std::string& bytes, bool durable,
                                        int64_t expectedLength) {
    bool created = false;
    Fd fd = openForWriting(path, O_APPEND, created);
    const off_t size = sizeOf(fd.get(), path);
    if (expectedLength != AnyLength && size != expectedLength) {
        fd.close(path);
        if (created) syncDirectory(parentDirectory(path));
        return -1;
    }
    writeWholeOrNothing(fd.get(), size, bytes, path);
    if (durable) syncFd(fd.get(), path);
    fd.close(path);
    if (created) syncDirectory(parentDirectory(path));
    return static_cast<int64_t>(size) + static_cast<int64_t>(bytes.size());
}

void PosixFileSystem::appendUnmeasured(const std::string& path, const std::string& bytes) {
    // The transfer log gets a line per record, so its descriptor stays open between lines for as long as
    // the path names that file. Another program may move, delete or replace the log between two lines;
    // the next line then goes to the file the path names now.
    if (held_.fd >= 0 && (path != held_.path || !stillNamesHeldFile(path))) closeHeldFiles();
    if (held_.fd < 0) holdFile(path);
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(held_.fd, p, left);
        if (n >= 0) {
            p += n;
            left -= static_cast<size_t>(n);
            continue;
        }
        if (errno == EINTR) continue;
        const int errnum = errno;
        // Only now is the length looked at: what went in of this line is taken back.
        const auto written = static_cast<off_t>(bytes.size() - left);
        if (written > 0) {
            struct stat st {};
            if (::fstat(held_.fd, &st) == 0)
                while (::ftruncate(held_.fd, st.st_size - written) != 0 && errno == EINTR) {
                }
        }
        ::close(dropHeldFile());  // the next line starts afresh
        throw fileError(errnum, "write", path);
    }
}

void PosixFileSystem::holdFile(const std::string& path) {
    bool created = false;
    Fd fd = openForWriting(path, O_APPEND, created);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) throw fileError(errno, "stat", path);
    if (created) syncDirectory(parentDirectory(path));
    held_ = {fd.release(), path, st.st_dev, st.st_ino, -1};
    // The kernel tells of a move, an unlink or a replacement of the file through an inotify watch as the
    // other program's call happens, so a line looks only at an (empty) event queue instead of walking the
    // path. The watch is set by path: it counts only when the path still names our file after it is set.
    // Without inotify every line looks at the path itself.
    if (changes_ < 0) changes_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (changes_ < 0) return;
    const int watch =
        ::inotify_add_watch(changes_, path.c_str(), IN_MOVE_SELF | IN_DELETE_SELF | IN_ATTRIB | IN_DONT_FOLLOW);
    if (watch < 0) return;
    struct stat named {};
    if (::lstat(path.c_str(), &named) == 0 && named.st_dev == st.st_dev && named.st_ino == st.st_ino)
        held_.watch = watch;
    else ::inotify_rm_watch(changes_, watch);
}

bool PosixFileSystem::stillNamesHeldFile(const std::string& path) {
    if (held_.watch < 0) {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 && st.st_dev == held_.device && st.st_ino == held_.inode;
    }
    // Any event of this watch means the file changed its names (or its attributes: a harmless reopen).
    // Events of earlier watches are read and dropped.
    bool changed = false;
    alignas(inotify_event) std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = ::read(changes_, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return !changed;
        if (n <= 0) return false;  // the queue cannot be read: look again by opening
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            if (event->wd == held_.watch || (event->mask & IN_Q_OVERFLOW) != 0) changed = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

int PosixFileSystem::dropHeldFile() {
    if (held_.watch >= 0) ::inotify_rm_watch(changes_, held_.watch);
    held_.watch = -1;
    return std::exchange(held_.fd, -1);
}

void PosixFileSystem::closeHeldFiles() {
    if (held_.fd < 0) return;
    Fd fd(dropHeldFile());
    fd.close(held_.path);
}

std::unique_ptr<OpenFile> PosixFileSystem::openForReading(const std::string& path) {
    Fd fd(openRetrying(path, O_RDONLY | O_NOFOLLOW));
    if (fd.get() < 0) throw fileError(errno, "open", path);
    return std::make_unique<PosixOpenFile>(fd.release(), path);
}

std::unique_ptr<OpenFile> PosixFileSystem::openForAppending(const std::string& path) {
    bool created = false;
    Fd fd = openForWriting(path, O_APPEND, created);
    if (created) syncDirectory(parentDirectory(path));
    return std::make_unique<PosixOpenFile>(fd.release(), path);
}

PosixFileSystem::~PosixFileSystem() {
    if (held_.fd >= 0) ::close(dropHeldFile());
    if (changes_ >= 0) ::close(changes_);
}

void PosixFileSystem::writeDurable(const std::string& path, const std::string& bytes) {
    bool created = false;
    Fd fd = openForWriting(path, O_TRUNC, created);
    writeWholeOrNothing(fd.get(), 0, bytes, path);
    syncFd(fd.get(), path);
    fd.close(path);
    if (created) syncDirectory(parentDirectory(path));
}

int64_t PosixFileSystem::length(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw fileError(errno, "stat", path);
    if (S_ISDIR(st.st_mode)) throw fileError(EISDIR, "length of", path);
    return static_cast<int64_t>(st.st_size);
}

void PosixFileSystem::remove(const std::string& path) {
    if (::unlink(path.c_str()) != 0) throw fileError(errno, "delete", path);
}

void PosixFileSystem::rename(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) == 0) return;
    const int errnum = errno;
    // ENOENT names either a missing source or a missing target directory.
    if (errnum == ENOENT && ::access(from.c_str(), F_OK) != 0) throw fileError(errnum, "rename", from);
    throw fileError(errnum, "rename " + from + " to", to);
}

void PosixFileSystem::syncDirectory(const std::string& dir) {
    Fd fd(openRetrying(dir, O_RDONLY | O_DIRECTORY));
    if (fd.get() < 0) throw fileError(errno, "open directory", dir);
    syncFd(fd.get(), dir);
    fd.close(dir);
}

}  // namespace ostrell::platform
