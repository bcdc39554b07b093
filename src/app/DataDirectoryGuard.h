#pragma once
#include <string>

#include "platform/DirectoryLock.h"
#include "steps/CycleSteps.h"

namespace ostrell::app {

// The upload and download, kept out of a data directory that another agent holds: its files are that
// agent's to send, and its incoming files that agent's to write.
class DataDirectoryGuard : public cycle::Uploader, public cycle::Downloader {
public:
    DataDirectoryGuard(cycle::Uploader& uploader, cycle::Downloader& downloader)
        : uploader_(uploader), downloader_(downloader) {}

    bool hasFilesToSend() override { return !heldElsewhere_ && uploader_.hasFilesToSend(); }
    void sendFiles() override {
        if (!heldElsewhere_) uploader_.sendFiles();
    }
    void downloadFiles() override {
        if (!heldElsewhere_) downloader_.downloadFiles();
    }

    // Claims dir when it is not the one claimed last, or was held elsewhere then. Returns what is to be
    // reported, once per directory: held by another agent, or not lockable. Empty otherwise.
    std::string follow(platform::DirectoryLock& lock, const std::string& dir);

    bool heldElsewhere() const { return heldElsewhere_; }

private:
    cycle::Uploader& uploader_;
    cycle::Downloader& downloader_;
    bool heldElsewhere_ = false;
    bool claimedOnce_ = false;
    std::string dir_;
};

}  // namespace ostrell::app
