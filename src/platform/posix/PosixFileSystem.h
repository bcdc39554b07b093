#pragma once
#include "platform/FileSystem.h"

namespace ostrell::platform {

// Files through plain POSIX calls. Each operation opens and closes what it needs, but for the one file
// appendUnmeasured keeps open; every failed call (open, read, write, fsync, close, rename, unlink) throws
// PlatformError with an errno-derived number.
class PosixFileSystem : public FileSystem {
public:
    PosixFileSystem() = default;
    PosixFileSystem(const PosixFileSystem&) = delete;
    PosixFileSystem& operator=(const PosixFileSystem&) = delete;
    ~PosixFileSystem() override;

    bool isSymlink(const std::string& path) override;
    FileIdentity identity(const std::string& path) override;
    void createLike(const std::string& path, const std::string& bytes, const std::string& modelPath) override;
    void makePrivateDirectory(const std::string& dir) override;
    bool isFile(const std::string& path) override;
    bool isDirectory(const std::string& path) override;
    std::string readAll(const std::string& path) override;
    int64_t append(const std::string& path, const std::string& bytes, bool durable) override;
    int64_t appendIfLength(const std::string& path, const std::string& bytes, bool durable,
                           int64_t expectedLength) override;
    void appendUnmeasured(const std::string& path, const std::string& bytes) override;
    void closeHeldFiles() override;
    void writeDurable(const std::string& path, const std::string& bytes) override;
    int64_t length(const std::string& path) override;
    void remove(const std::string& path) override;
    void rename(const std::string& from, const std::string& to) override;
    void syncDirectory(const std::string& dir) override;
    std::unique_ptr<OpenFile> openForReading(const std::string& path) override;
    std::unique_ptr<OpenFile> openForAppending(const std::string& path) override;

private:
    void holdFile(const std::string& path);
    bool stillNamesHeldFile(const std::string& path);
    int dropHeldFile();  // gives the descriptor to close

    struct HeldFile {
        int fd = -1;
        std::string path;
        uint64_t device = 0;
        uint64_t inode = 0;
        int watch = -1;  // its inotify watch; -1: looked at by path
    };
    HeldFile held_;     // appendUnmeasured's file, open between its calls
    int changes_ = -1;  // the inotify descriptor of held_'s watch
};

}  // namespace ostrell::platform
