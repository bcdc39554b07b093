#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace ostrell::platform {

// Which file a path names: the same device and inode is the same file, whatever its content.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

struct FileStatus {
    FileIdentity identity;
    int64_t size = 0;
    int64_t modifiedMs = 0;  // last change of the content, milliseconds since 1970 (wall clock)
};

// A file held open: it stays the same file whatever happens to its name meanwhile (renamed, replaced,
// deleted), so what another program writes into it after that can still be read.
class OpenFile {
public:
    virtual ~OpenFile() = default;
    virtual FileStatus status() = 0;
    // Everything from offset to the end as it is now.
    virtual std::string readFrom(int64_t offset) = 0;
    // One write at the end, not synced (for a file opened to append). Unlike FileSystem::append it does not
    // take back what a failed write left: its reader must tell a torn end.
    virtual void append(const std::string& bytes) = 0;
};

// The file operations of the agent. Every failure throws PlatformError; nothing fails silently.
// Each operation opens and closes the file itself; only appendUnmeasured may keep its file open until
// the next call or closeHeldFiles, and an OpenFile keeps its file open for as long as it lives.
// Files the agent creates are never open to other accounts (created 0660, the umask decides the group
// bits), and no operation follows a symbolic link in the last part of a path: the data directory may be
// a link, a file in it may not.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True when path is a symbolic link, whatever it points at (or whether it points anywhere).
    virtual bool isSymlink(const std::string& path) = 0;
    virtual FileIdentity identity(const std::string& path) = 0;
    // Creates path, which must not exist, with bytes, fsynced; it takes the permission bits (and, where
    // allowed, the group) of the file modelPath.
    virtual void createLike(const std::string& path, const std::string& bytes, const std::string& modelPath) = 0;
    // Creates the directory and any missing parents with mode 0700; an existing one is left as it is.
    virtual void makePrivateDirectory(const std::string& dir) = 0;

    // True when path names an ordinary file (not a directory, not hidden by a dot name rule).
    virtual bool isFile(const std::string& path) = 0;
    virtual bool isDirectory(const std::string& path) = 0;
    // Whole content, as bytes.
    virtual std::string readAll(const std::string& path) = 0;
    // Appends bytes in one write (created when missing); with durable, fsyncs the file before returning
    // (and the directory when the file was created). Gives the file's length as the write left it.
    virtual int64_t append(const std::string& path, const std::string& bytes, bool durable) = 0;
    // The same append, made only when the file (a missing one counts as empty) is expectedLength bytes
    // long as it is opened; otherwise nothing is written and the answer is -1. A caller that knows what
    // the file held needs no look at it before each append to see whether another writer changed it.
    virtual int64_t appendIfLength(const std::string& path, const std::string& bytes, bool durable,
                                   int64_t expectedLength) {
        if ((isFile(path) ? length(path) : 0) != expectedLength) return -1;
        return append(path, bytes, durable);
    }
    // Appends bytes in one write (created when missing), not synced, without looking at the file's
    // length: for a writer that keeps the length itself. A failed write is taken back as append's is.
    // The file may stay open for the next call, but each call writes to the file path names at that
    // moment: another program may move, delete or replace it between calls.
    virtual void appendUnmeasured(const std::string& path, const std::string& bytes) { append(path, bytes, false); }
    // Closes what appendUnmeasured kept open.
    virtual void closeHeldFiles() {}
    // Creates or empties path and writes bytes in one go, then fsyncs the file.
    virtual void writeDurable(const std::string& path, const std::string& bytes) = 0;
    virtual int64_t length(const std::string& path) = 0;
    virtual void remove(const std::string& path) = 0;
    // Atomic within one directory; replaces an existing target.
    virtual void rename(const std::string& from, const std::string& to) = 0;
    // Makes entries (create, rename, delete) of a directory durable.
    virtual void syncDirectory(const std::string& dir) = 0;
    // Opens an existing file for reading (never through a link).
    virtual std::unique_ptr<OpenFile> openForReading(const std::string& path) = 0;
    // Opens path to append to it, created when missing (never through a link).
    virtual std::unique_ptr<OpenFile> openForAppending(const std::string& path) = 0;
};

// The directory part of a path (everything before the last '/'), "." when there is none.
std::string parentDirectory(const std::string& path);

}  // namespace ostrell::platform
