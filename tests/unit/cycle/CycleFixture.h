#pragma once
#include <string>
#include <vector>

#include "cycle/Importer.h"
#include "cycle/Scheduler.h"
#include "translog/TransferLog.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeProcessLauncher.h"
#include "fakes/FakeSettingsStore.h"
#include "unit/net/NetFixture.h"

namespace ostrell::cycletest {

// Upload and download steps that write what they are asked into one journal.
struct RecordingSteps : cycle::Uploader, cycle::Downloader {
    explicit RecordingSteps(std::vector<std::string>& journal) : journal_(journal) {}
    bool hasFilesToSend() override {
        journal_.push_back("TransFiles");
        return filesWaiting;
    }
    void sendFiles() override { journal_.push_back("SendFiles"); }
    void downloadFiles() override {
        journal_.push_back("GetFiles");
        if (duringGetFiles) duringGetFiles();
    }
    bool filesWaiting = true;
    std::function<void()> duringGetFiles;

private:
    std::vector<std::string>& journal_;
};

// A scheduler with the real connection on the fake socket, the real importer on the fake launcher,
// and recording upload and download steps.
struct CycleFixture : nettest::NetFixture {
    fake::FakeSettingsStore store;
    settings::Settings settings{store};
    settings::Parameters params;
    fake::FakeFileSystem files;
    fake::FakeProcessLauncher launcher;
    translog::TransferLog log{files, loop, reporter, params};
    std::vector<std::string> journal;
    RecordingSteps steps{journal};
    cycle::Importer importer{launcher, settings, log, reporter};
    std::vector<int> ticksShown;
    cycle::Scheduler scheduler{loop, settings, params, reporter,
                               cycle::Scheduler::Steps{connection, steps, steps, importer},
                               [this](int n) { ticksShown.push_back(n); }};

    CycleFixture() {
        files.addDirectory("/data");
        params.dataDirPath = "/data/";
        params.timeoutSecs = 15;
        params.hasLoNumber = true;
        params.loNumbers[1] = "4711";
        store.set("VRX1", "DBase", "C:\\bk\\vrx.mdb");
        socket.onLine = [this](const std::string& line) {
            journal.push_back("> " + line);
            if (line == "tolvane|QHT514" && !logonReply.empty()) socket.peerSend(logonReply, replyDelayMs);
        };
    }
    // As start-up leaves it: the count at 999 and the timer armed for the first tick.
    void start(bool countdownShown = true) {
        scheduler.tickCount = 999;
        scheduler.setCountdownShown(countdownShown);
        scheduler.startCounting();
    }
    int lastTryWrites() const { return count("Ostrell/LastTry="); }
    int lastWrites() const { return count("Ostrell/Last="); }
    int count(const std::string& prefix) const {
        int n = 0;
        for (const auto& w : store.writes) n += w.rfind(prefix, 0) == 0;
        return n;
    }
};

}  // namespace ostrell::cycletest
