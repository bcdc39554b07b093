#include "fakes/FakeFileSystem.h"

#include <cerrno>

#include "platform/PlatformError.h"

namespace ostrell::fake {

using platform::errnoError;
using platform::parentDirectory;

namespace {
std::string withoutTrailingSlash(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}
}  // namespace

FakeFileSystem::FakeFileSystem() { dirs_.insert("/"); }

void FakeFileSystem::addDirectory(const std::string& dir) { dirs_.insert(withoutTrailingSlash(dir)); }

std::shared_ptr<FakeFileSystem::Inode> FakeFileSystem::newInode(const std::string& bytes, const std::string& synced) {
    return std::make_shared<Inode>(Inode{bytes, synced, ++lastInode_, clock()});
}

class FakeFileSystem::Handle : public platform::OpenFile {
public:
    Handle(FakeFileSystem& fs, std::shared_ptr<Inode> node, std::string path)
        : fs_(fs), node_(std::move(node)), path_(std::move(path)) {}
    platform::FileStatus status() override {
        return {{1, node_->number}, static_cast<int64_t>(node_->data.size()), node_->modifiedMs};
    }
    std::string readFrom(int64_t offset) override {
        fs_.enter(Op::Read, path_);
        return offset < static_cast<int64_t>(node_->data.size()) ? node_->data.substr(static_cast<size_t>(offset)) : "";
    }
    void append(const std::string& bytes) override {
        fs_.enter(Op::Append, path_);
        fs_.checkSpace(static_cast<int64_t>(bytes.size()));
        node_->data += bytes;
        node_->modifiedMs = fs_.clock();
    }

private:
    FakeFileSystem& fs_;
    std::shared_ptr<Inode> node_;
    std::string path_;
};

std::unique_ptr<platform::OpenFile> FakeFileSystem::openForReading(const std::string& path) {
    enter(Op::Open, path);
    refuseDirectoryOrLink(path);
    auto it = entries_.find(path);
    if (it == entries_.end()) throw errnoError(ENOENT, path);
    return std::make_unique<Handle>(*this, it->second, path);
}

std::unique_ptr<platform::OpenFile> FakeFileSystem::openForAppending(const std::string& path) {
    if (!entries_.count(path)) append(path, "", false);  // created as an append creates it
    return openForReading(path);
}

std::function<void(const std::string&)> FakeFileSystem::openedElsewhere(const std::string& path) {
    auto& entry = entries_[path];
    if (!entry) entry = newInode("", "");
    return [this, node = entry](const std::string& bytes) {
        node->data += bytes;
        node->modifiedMs = clock();
    };
}

void FakeFileSystem::refuseDirectoryOrLink(const std::string& path) {
    if (isDirectory(path)) throw errnoError(EISDIR, path);
    if (symlinks_.count(path)) throw errnoError(ELOOP, path);
}

void FakeFileSystem::putSymlink(const std::string& path, const std::string& target) {
    addDirectory(parentDirectory(path));
    symlinks_[path] = target;
}

void FakeFileSystem::putFile(const std::string& path, const std::string& bytes) {
    addDirectory(parentDirectory(path));
    entries_[path] = durableEntries_[path] = newInode(bytes, bytes);
}

std::string FakeFileSystem::content(const std::string& path) const {
    auto it = entries_.find(path);
    return it == entries_.end() ? std::string() : it->second->data;
}

std::vector<std::string> FakeFileSystem::list(const std::string& dir) const {
    std::vector<std::string> names;
    for (const auto& [path, node] : entries_)
        if (parentDirectory(path) == dir) names.push_back(path.substr(path.find_last_of('/') + 1));
    return names;
}

void FakeFileSystem::failOn(Op op, int errnum, int nth, const std::string& path) {
    injections_.push_back({op, errnum, nth, path});
}

void FakeFileSystem::powerLoss() {
    entries_ = durableEntries_;
    for (auto& [path, node] : entries_) node->data = node->synced;
}

void FakeFileSystem::enter(Op op, const std::string& path) {
    if (beforeOp) beforeOp(op, path);
    for (auto it = injections_.begin(); it != injections_.end(); ++it) {
        if (it->op != op || (!it->path.empty() && it->path != path)) continue;
        if (--it->countdown == 0) {
            const int e = it->errnum;
            injections_.erase(it);
            throw errnoError(e, path);
        }
        break;
    }
}

void FakeFileSystem::checkParentWritable(const std::string& path) const {
    const std::string dir = parentDirectory(path);
    if (!dirs_.count(dir)) throw errnoError(ENOENT, path);
    if (readOnly_.count(dir)) throw errnoError(EACCES, path);
}

int64_t FakeFileSystem::usedBytes() const {
    int64_t used = 0;
    std::set<const Inode*> seen;
    for (const auto& [path, node] : entries_)
        if (seen.insert(node.get()).second) used += static_cast<int64_t>(node->data.size());
    return used;
}

void FakeFileSystem::checkSpace(int64_t extra) const {
    if (capacity_ >= 0 && usedBytes() + extra > capacity_) throw errnoError(ENOSPC, "write");
}

bool FakeFileSystem::isFile(const std::string& path) {
    // As stat does, a link counts as the file it points at.
    auto link = symlinks_.find(path);
    return entries_.count(link == symlinks_.end() ? path : link->second) != 0;
}

platform::FileIdentity FakeFileSystem::identity(const std::string& path) {
    auto it = entries_.find(path);
    if (it == entries_.end()) throw errnoError(ENOENT, path);
    return {1, it->second->number};
}

void FakeFileSystem::createLike(const std::string& path, const std::string& bytes, const std::string& modelPath) {
    enter(Op::Create, path);
    if (!entries_.count(modelPath)) throw errnoError(ENOENT, modelPath);
    if (entries_.count(path) || symlinks_.count(path) || isDirectory(path)) throw errnoError(EEXIST, path);
    checkParentWritable(path);
    checkSpace(static_cast<int64_t>(bytes.size()));
    entries_[path] = newInode(bytes, bytes);
}

void FakeFileSystem::makePrivateDirectory(const std::string& dir) {
    enter(Op::MakeDir, dir);
    if (isDirectory(dir)) return;
    if (entries_.count(dir)) throw errnoError(EEXIST, dir);
    for (std::string d = dir; d != "/" && d != "." && !isDirectory(d); d = parentDirectory(d)) addDirectory(d);
}

bool FakeFileSystem::isDirectory(const std::string& path) { return dirs_.count(withoutTrailingSlash(path)) != 0; }

std::string FakeFileSystem::readAll(const std::string& path) {
    enter(Op::Read, path);
    refuseDirectoryOrLink(path);
    auto it = entries_.find(path);
    if (it == entries_.end()) throw errnoError(ENOENT, path);
    return it->second->data;
}

int64_t FakeFileSystem::append(const std::string& path, const std::string& bytes, bool durable) {
    enter(Op::Append, path);
    refuseDirectoryOrLink(path);
    auto it = entries_.find(path);
    if (it == entries_.end()) {
        checkParentWritable(path);
        checkSpace(static_cast<int64_t>(bytes.size()));
        entries_[path] = newInode(bytes, durable ? bytes : "");
        if (durable) durableEntries_[path] = entries_[path];
        return static_cast<int64_t>(bytes.size());
    }
    if (readOnly_.count(parentDirectory(path))) throw errnoError(EACCES, path);
    checkSpace(static_cast<int64_t>(bytes.size()));
    it->second->data += bytes;
    it->second->modifiedMs = clock();
    if (durable) it->second->synced = it->second->data;
    return static_cast<int64_t>(it->second->data.size());
}

void FakeFileSystem::writeDurable(const std::string& path, const std::string& bytes) {
    enter(Op::Write, path);
    refuseDirectoryOrLink(path);
    checkParentWritable(path);
    auto it = entries_.find(path);
    const int64_t old = it == entries_.end() ? 0 : static_cast<int64_t>(it->second->data.size());
    checkSpace(static_cast<int64_t>(bytes.size()) - old);
    if (it == entries_.end()) it = entries_.emplace(path, newInode("", "")).first;
    it->second->data = bytes;
    it->second->synced = bytes;
    it->second->modifiedMs = clock();
}

int64_t FakeFileSystem::length(const std::string& path) {
    enter(Op::Length, path);
    auto it = entries_.find(path);
    if (it == entries_.end()) throw errnoError(ENOENT, path);
    return static_cast<int64_t>(it->second->data.size());
}

void FakeFileSystem::remove(const std::string& path) {
    enter(Op::Remove, path);
    checkParentWritable(path);
    if (symlinks_.erase(path)) return;
    if (!entries_.erase(path)) throw errnoError(ENOENT, path);
}

void FakeFileSystem::rename(const std::string& from, const std::string& to) {
    enter(Op::Rename, from);
    checkParentWritable(to);
    if (readOnly_.count(parentDirectory(from))) throw errnoError(EACCES, from);
    auto it = entries_.find(from);
    if (it == entries_.end()) throw errnoError(ENOENT, from);
    auto node = it->second;
    entries_.erase(it);
    entries_[to] = node;
}

void FakeFileSystem::syncDirectory(const std::string& dir) {
    enter(Op::SyncDir, dir);
    for (auto it = durableEntries_.begin(); it != durableEntries_.end();)
        it = parentDirectory(it->first) == dir ? durableEntries_.erase(it) : std::next(it);
    for (const auto& [path, node] : entries_)
        if (parentDirectory(path) == dir) durableEntries_[path] = node;
}

}  // namespace ostrell::fake
