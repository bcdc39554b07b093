#pragma once
#include <string>
#include <vector>

#include "app/Agent.h"
#include "fakes/FakeDirectoryLock.h"
#include "fakes/FakeEventLoop.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeProcessLauncher.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/FakeTcpSocket.h"
#include "fakes/RecordingErrorSink.h"
#include "fakes/MemoryStateFiles.h"
#include "fakes/RecordingSystemLog.h"

namespace ostrell::apptest {

// The desktop side as a journal of what the agent asked of it.
class RecordingShell : public app::Shell {
public:
    bool isWindowVisible() const override { return visible; }
    std::string monitorText() const override { return text; }
    void setMonitorText(const std::string& t) override {
        text = t;
        monitorLines.push_back(t.substr(0, t.find("\r\n")));
    }
    void showCountdown(int) override {}
    void showSocketEnds(int32_t lp, const std::string& lip, int32_t rp, const std::string& rip) override {
        journal.push_back("ends " + std::to_string(lp) + " " + lip + " " + std::to_string(rp) + " " + rip);
    }
    void showMessage(const std::string& title, const std::string& t) override { journal.push_back("message " + title + ": " + t); }
    void showTickCount(int n) override { lastTick = n; }
    void showParameters(const settings::Parameters& p) override { journal.push_back("parameters " + p.dataDirPath); }
    void addTrayIcon() override { journal.push_back("addTrayIcon"); }
    void setTrayPicture(app::TrayPicture p) override { journal.push_back("picture " + std::to_string(static_cast<int>(p))); }
    void deleteTrayIcon() override { journal.push_back("deleteTrayIcon"); }
    void showLinkState(bool alerting, const std::string& tip) override { linkStates.push_back((alerting ? "alert " : "") + tip); }
    void notify(const std::string& message, bool) override { notifications.push_back(message); }

    bool visible = true;
    std::string text;
    std::vector<std::string> monitorLines;
    std::vector<std::string> journal;
    std::vector<std::string> linkStates;
    std::vector<std::string> notifications;
    int lastTick = -1;
};

struct Steps : cycle::Uploader, cycle::Downloader {
    bool hasFilesToSend() override { return filesWaiting; }
    void sendFiles() override { ++sends; }
    void downloadFiles() override { ++downloads; }
    bool filesWaiting = false;
    int sends = 0;
    int downloads = 0;
};

// An agent on the fakes with a host that has set it up for a server that answers the logon.
struct AgentFixture {
    fake::FakeEventLoop loop;
    fake::FakeTcpSocket socket{loop};
    fake::FakeSettingsStore store;
    fake::FakeFileSystem files;
    fake::FakeProcessLauncher launcher;
    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    fake::RecordingSystemLog systemLog;
    fake::MemoryStateFiles stateFiles;
    fake::FakeDirectoryLock dirLock;
    RecordingShell shell;
    Steps steps;
    std::string logonReply = "Logon success\r\n";
    std::unique_ptr<app::Agent> agent;

    AgentFixture() {
        store.set("Version", "Brannhall", "2.3.119");
        store.set("Ostrell", "IPadd", "10.1.2.3");
        store.set("Ostrell", "IPport", "6000");
        store.set("Ostrell", "DataDir", "/data/");
        store.set("Ostrell", "LoNumber1", "4711");
        files.addDirectory("/data");
        socket.onLine = [this](const std::string& line) {
            if (line == "tolvane|QHT514" && !logonReply.empty()) socket.peerSend(logonReply, 10);
        };
        agent = std::make_unique<app::Agent>(
            app::AgentPlatform{loop, socket, store, files, launcher, sinks, terminator, &systemLog, &stateFiles, &dirLock}, shell,
            [this](const app::StepContext&) { return std::unique_ptr<cycle::Uploader>(new Forward(steps)); },
            [this](const app::StepContext&) { return std::unique_ptr<cycle::Downloader>(new Forward(steps)); });
    }

private:
    struct Forward : cycle::Uploader, cycle::Downloader {
        explicit Forward(Steps& s) : s_(s) {}
        bool hasFilesToSend() override { return s_.hasFilesToSend(); }
        void sendFiles() override { s_.sendFiles(); }
        void downloadFiles() override { s_.downloadFiles(); }
        Steps& s_;
    };
};

}  // namespace ostrell::apptest
