#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace ostrell::fake {

// Thrown by a test's beforeOp hook to stop the program at an operation, as a kill would.
// Not a std::exception, so error traps let it pass.
struct SimulatedCrash {};

// An in-memory file system that knows what is durable. File data becomes durable at fsync; directory
// entries (create, rename, delete) become durable at syncDirectory (or, for a new file, at a durable
// append, which syncs its directory). powerLoss() throws away everything that was not durable.
// Any operation can be made to fail with an errno value.
class FakeFileSystem : public platform::FileSystem {
public:
    enum class Op { Read, Append, Write, Rename, Remove, SyncDir, Length, Create, MakeDir, Open };

    FakeFileSystem();

    // --- set-up and inspection, for tests ---
    void addDirectory(const std::string& dir);
    void setReadOnly(const std::string& dir) { readOnly_.insert(dir); }
    void putFile(const std::string& path, const std::string& bytes);  // durable at once
    // A symbolic link at path to target; opening it fails with ELOOP, as with O_NOFOLLOW.
    void putSymlink(const std::string& path, const std::string& target);
    bool has(const std::string& path) const { return entries_.count(path) != 0; }
    std::string content(const std::string& path) const;           // "" when absent
    std::vector<std::string> list(const std::string& dir) const;  // names of files in dir
    // The nth (1-based) coming operation of kind op (on path, when one is given) fails with errnum.
    void failOn(Op op, int errnum, int nth = 1, const std::string& path = "");
    // Limit on the total bytes of all files; a write past it fails with ENOSPC.
    void setCapacity(int64_t bytes) { capacity_ = bytes; }
    // Called before every operation with its kind and path; may throw SimulatedCrash.
    std::function<void(Op, const std::string&)> beforeOp;
    // Drops everything not durable, as a power cut would.
    void powerLoss();
    // Wall-clock milliseconds for modification times; a fixture ties it to its virtual clock.
    std::function<int64_t()> clock = [] { return int64_t{0}; };
    // The file path names now, as another program opened it: what goes through the answer lands in that
    // file even after it was renamed or deleted.
    std::function<void(const std::string&)> openedElsewhere(const std::string& path);
    std::string heldOpen;  // what appendUnmeasured keeps open, as the real one does, until closeHeldFiles

    // --- FileSystem ---
    bool isSymlink(const std::string& path) override { return symlinks_.count(path) != 0; }
    platform::FileIdentity identity(const std::string& path) override;
    void createLike(const std::string& path, const std::string& bytes, const std::string& modelPath) override;
    void makePrivateDirectory(const std::string& dir) override;
    bool isFile(const std::string& path) override;
    bool isDirectory(const std::string& path) override;
    std::string readAll(const std::string& path) override;
    int64_t append(const std::string& path, const std::string& bytes, bool durable) override;
    void appendUnmeasured(const std::string& path, const std::string& bytes) override {
        append(path, bytes, false);
        heldOpen = path;
    }
    void closeHeldFiles() override { heldOpen.clear(); }
    void writeDurable(const std::string& path, const std::string& bytes) override;
    int64_t length(const std::string& path) override;
    void remove(const std::string& path) override;
    void rename(const std::string& from, const std::string& to) override;
    void syncDirectory(const std::string& dir) override;
    std::unique_ptr<platform::OpenFile> openForReading(const std::string& path) override;
    std::unique_ptr<platform::OpenFile> openForAppending(const std::string& path) override;

private:
    struct Inode {
        std::string data;
        std::string synced;
        uint64_t number = 0;
        int64_t modifiedMs = 0;
    };
    class Handle;
    std::shared_ptr<Inode> newInode(const std::string& bytes, const std::string& synced);
    void refuseDirectoryOrLink(const std::string& path);
    struct Injection {
        Op op;
        int errnum;
        int countdown;
        std::string path;
    };
    void enter(Op op, const std::string& path);
    void checkParentWritable(const std::string& path) const;
    void checkSpace(int64_t extra) const;
    int64_t usedBytes() const;

    std::map<std::string, std::shared_ptr<Inode>> entries_;
    std::map<std::string, std::shared_ptr<Inode>> durableEntries_;
    std::set<std::string> dirs_;
    std::map<std::string, std::string> symlinks_;
    uint64_t lastInode_ = 0;
    std::set<std::string> readOnly_;
    std::vector<Injection> injections_;
    int64_t capacity_ = -1;
};

}  // namespace ostrell::fake
