#pragma once
#include <string>

#include "platform/DirectoryLock.h"
#include "steps/CycleSteps.h"

namespace ostrell::app {

// The upload and download, kept out of a data directory that another agent holds (its files are that
// agent's to send, and its incoming files that agent's to write), and idle while there is no folder.
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

    // Claims dir when it is not the one claimed last, or was held elsewhere then. Returns what is to be
    // reported, once per directory: held by another agent, or not lockable. Empty otherwise.
    std::string follow(platform::DirectoryLock& lock, const std::string& dir);

    bool heldElsewhere() const { return heldElsewhere_; }

private:
    bool open() const { return !heldElsewhere_ && !folderMissing_; }

    cycle::Uploader& uploader_;
    cycle::Downloader& downloader_;
    bool heldElsewhere_ = false;
    bool folderMissing_ = false;
    bool claimedOnce_ = false;
    std::string dir_;
};

}  // namespace ostrell::app
