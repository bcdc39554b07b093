#pragma once
#include <string>

#include "cycle/CycleSteps.h"
#include "platform/DirectoryLock.h"

namespace ostrell::app {

// What changed about this agent's hold on its data directory, to be said once.
struct DirectoryNotice {
    enum class Kind { None, Blocked, Resumed };
    Kind kind = Kind::None;
    std::string text;
};

// The upload and download, kept out of a data directory whose lock this agent does not hold: another
// agent's files are that agent's to send and its incoming files that agent's to write, and a lock that
// cannot be taken (not ours to open, a link planted in its place) would let a second agent in unseen.
class DataDirectoryGuard : public cycle::Uploader, public cycle::Downloader {
public:
    DataDirectoryGuard(cycle::Uploader& uploader, cycle::Downloader& downloader)
        : uploader_(uploader), downloader_(downloader) {}

    bool hasFilesToSend() override { return open() && uploader_.hasFilesToSend(); }
    void sendFiles() override {
        if (open()) uploader_.sendFiles();
    }
    void downloadFiles() override {
        if (open()) downloader_.downloadFiles();
    }
    // "DataDir" names no folder: nothing to send from, nowhere to store.
    void setFolderMissing(bool missing) { folderMissing_ = missing; }

    // Claims dir unless its lock is held already; called at every parameter refresh and every cycle, so a
    // directory is worked in from the first try that gets its lock. Returns what is to be reported, once
    // per directory and cause: held by another agent, not lockable (and why), or locked again at last.
    DirectoryNotice follow(platform::DirectoryLock& lock, const std::string& dir);

    bool blocked() const { return blocked_; }

private:
    bool open() const { return !blocked_ && !folderMissing_; }

    cycle::Uploader& uploader_;
    cycle::Downloader& downloader_;
    bool blocked_ = false;
    bool folderMissing_ = false;
    bool claimedOnce_ = false;
    std::string dir_;
    std::string reportedCause_;  // the cause last reported for dir_; empty while its lock is held
};

}  // namespace ostrell::app
