#pragma once
// The one fixture of the unit tests: the fakes wired as the program wires the real adapters, and the
// recording views and scripted servers the areas check against. A fixture is instantiated only by the
// area whose libraries it needs.
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/Agent.h"
#include "cycle/Importer.h"
#include "cycle/Scheduler.h"
#include "download/Downloader.h"
#include "download/ReplyClassification.h"
#include "errors/ErrorReporter.h"
#include "fakes/FakeDirectoryLock.h"
#include "fakes/FakeEventLoop.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeProcessLauncher.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/FakeTcpSocket.h"
#include "fakes/MemoryStateFiles.h"
#include "fakes/RecordingErrorSink.h"
#include "fakes/RecordingSystemLog.h"
#include "net/Connection.h"
#include "net/LineExchange.h"
#include "net/Monitor.h"
#include "net/Views.h"
#include "settings/Settings.h"
#include "translog/TransferLog.h"
#include "upload/FileUploader.h"

namespace ostrell::unittest {

using Lines = std::vector<std::string>;

// The lines of a file ended by CR LF; a last line without its end is marked.
inline Lines fileLines(const std::string& content) {
    Lines out;
    for (size_t start = 0; start < content.size();) {
        const size_t end = content.find("\r\n", start);
        if (end == std::string::npos) {
            out.push_back(content.substr(start) + "<no line end>");
            break;
        }
        out.push_back(content.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

// The virtual clock and an error reporter that records instead of showing a box.
struct Base {
    fake::FakeEventLoop loop;
    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    errors::ErrorReporter reporter{sinks, terminator};
};

// The host's side: the data directory /data with the transfer log, and the settings store.
template <class B>
struct WithFiles : B {
    fake::FakeFileSystem fs;
    fake::FakeSettingsStore store;
    settings::Settings settings{store};
    settings::Parameters params;
    translog::TransferLog log{fs, this->loop, this->reporter, params};

    WithFiles() {
        fs.addDirectory("/data");
        params.dataDirPath = "/data/";
    }
    // The transfer log's texts, without their date and time.
    Lines logTexts() const {
        Lines out;
        for (const auto& line : fileLines(fs.content("/data/VRXlogOUT.txt")))
            out.push_back(line.size() >= 20 ? line.substr(20) : line);
        return out;
    }
    // Files in the data directory other than the transfer log.
    Lines dataFiles() const {
        Lines out;
        for (const auto& name : fs.list("/data"))
            if (name.rfind("VRXlogOUT.txt", 0) != 0) out.push_back(name);
        return out;
    }
};
using Fixture = WithFiles<Base>;

// --- the line exchange ---------------------------------------------------------------------------------

// A reply of the scripted server, and whether the server takes the record into its ledger with it.
struct Reply {
    std::string text;
    bool accepted = false;
};
inline Reply accept(const std::string& request) { return {request.substr(0, 1) + "|SUCCESS", true}; }
inline Reply say(const std::string& text) { return {text, false}; }

// Thrown when a loop keeps asking past the test's bound. Not a std::exception, so no trap hides it.
struct RunawayExchange {};

// The server side of the line exchange: answers from the script first, then by the rule (default:
// accept). Every request is recorded, the download's quit as "quit"; the ledger holds what was accepted.
class ScriptedExchange : public net::LineExchange {
public:
    std::deque<Reply> script;
    std::function<Reply(const std::string&)> rule;
    std::function<void(const std::string&)> onRequest;  // runs while the request waits: host actions, crashes
    Lines sent;
    Lines ledger;
    bool connected = true;
    bool quitSent = false;
    size_t maxRequests = 200000;

    std::string requestReply(const std::string& request) override {
        sent.push_back(request);
        if (sent.size() > maxRequests) throw RunawayExchange{};
        if (onRequest) onRequest(request);
        Reply r;
        if (!script.empty()) {
            r = script.front();
            script.pop_front();
        } else {
            r = rule ? rule(request) : accept(request);
        }
        if (r.accepted) ledger.push_back(request);
        return r.text;
    }
    void endExchange() override {
        if (!connected) return;
        sent.push_back("quit");
        quitSent = true;
        connected = false;
    }
    // The acknowledgements sent, in order ("12|5", "13|7").
    Lines acks() const {
        Lines out;
        for (const auto& s : sent)
            if (s.rfind("12|", 0) == 0 || s.rfind("13|", 0) == 0) out.push_back(s);
        return out;
    }
};

// --- download and upload -------------------------------------------------------------------------------

inline const std::string BookingsPath = "/data/InBookings.csv";
inline const std::string PaymentsPath = "/data/Payment.csv";

// A booking line of 20 quoted fields whose sixth holds number, one field holding a comma.
inline std::string bookingLine(const std::string& number, const std::string& guest = "Smith, Ann") {
    std::string line = "\"BK1\",\"" + guest + "\",\"2026-12-06\",\"2026-12-09\",\"2\",\"" + number + "\"";
    for (int i = 7; i <= 20; ++i) line += ",\"f" + std::to_string(i) + "\"";
    return line;
}
inline std::string paymentLine(const std::string& number, const std::string& amount = "120.50") {
    return "\"BK1\",\"" + number + "\",\"" + amount + "\",\"2026-12-06\"";
}

// The booking server's queues per request ("10|BK1", "11|BK1"); an empty queue answers "10|NONE" /
// "11|NONE". A reply given with a record number stays at the front of its queue until that number is
// acknowledged, as the real server keeps a record it has not heard back about; any other reply goes once.
class QueueServer {
public:
    struct Entry {
        std::string reply;
        std::optional<int64_t> number;
    };
    std::map<std::string, std::deque<Entry>> queues;
    int acksToLose = 0;                         // the next n acknowledgements never reach the server
    Lines acksTaken;                            // acknowledgements the server took
    std::map<std::string, Lines> repliesByAck;  // "12|5" -> record replies sent for it

    void record(const std::string& request, int64_t number, const std::string& reply) {
        queues[request].push_back({reply, number});
    }
    void reply(const std::string& request, const std::string& text) { queues[request].push_back({text, {}}); }

    std::string operator()(const std::string& request) {
        if (request.rfind("12|", 0) == 0 || request.rfind("13|", 0) == 0) {
            if (acksToLose > 0) {
                --acksToLose;
                return "BAD - timed out";
            }
            acksTaken.push_back(request);
            const std::string prefix = request[1] == '2' ? "10|" : "11|";
            for (auto& [key, q] : queues)
                if (key.rfind(prefix, 0) == 0 && !q.empty() && q.front().number &&
                    ackFor(key, *q.front().number) == request)
                    q.pop_front();
            return "OK";
        }
        auto it = queues.find(request);
        if (it == queues.end() || it->second.empty()) return request.substr(0, 2) + "|NONE";
        const Entry e = it->second.front();
        if (e.number) repliesByAck[ackFor(request, *e.number)].push_back(e.reply);
        else it->second.pop_front();
        return e.reply;
    }
    static std::string ackFor(const std::string& request, int64_t number) {
        return (request.rfind("10|", 0) == 0 ? "12|" : "13|") + std::to_string(number);
    }
};

struct DownloadFixture : Fixture {
    ScriptedExchange exchange;
    QueueServer server;
    fake::FakeProcessLauncher launcher;
    download::Downloader downloader{exchange, fs, launcher, reporter, params, log};

    DownloadFixture() {
        params.loNumbers[1] = "BK1";
        params.hasLoNumber = true;
        params.uploadCommand = "/opt/brannick/upload --now";
        exchange.rule = [this](const std::string& r) { return say(server(r)); };
    }
    void downloadFiles() { downloader.downloadFiles(); }

    // Every acknowledgement that went out names a record whose line is durably in its incoming file.
    // Call after fs.powerLoss(). Gives the number of acknowledgements checked.
    size_t expectEveryAckDurable() {
        size_t checked = 0;
        for (const auto& ack : exchange.acks()) {
            const std::string content = fs.content(ack.rfind("12|", 0) == 0 ? BookingsPath : PaymentsPath);
            bool found = false;
            for (const auto& reply : server.repliesByAck[ack])
                found = found || content.find(download::recordLine(reply) + "\r\n") != std::string::npos;
            EXPECT_TRUE(found) << ack << " was acknowledged but its record is not on disk";
            ++checked;
        }
        return checked;
    }
};

struct UploadFixture : Fixture {
    ScriptedExchange server;
    upload::FileUploader up{fs, server, log, settings, reporter, params, "/state/ostrell"};

    static std::string path(const std::string& base) { return "/data/" + base + ".csv"; }
};

// --- the connection ------------------------------------------------------------------------------------

// The window's boxes as the connection fills them, with the virtual time of each change.
class RecordingView : public net::ConnectionView, public net::MonitorView {
public:
    explicit RecordingView(const fake::FakeEventLoop& loop) : loop_(loop) {}

    void showCountdown(int value) override { countdowns.emplace_back(loop_.nowMs(), value); }
    void showSocketEnds(int32_t localPort, const std::string& localIP, int32_t remotePort,
                        const std::string& remoteIP) override {
        socketEnds.push_back(std::to_string(localPort) + " " + localIP + " " + std::to_string(remotePort) + " " +
                             remoteIP);
    }
    bool isWindowVisible() const override { return visible; }
    std::string monitorText() const override { return text; }
    void setMonitorText(const std::string& t) override {
        text = t;
        lines.push_back(t.substr(0, t.find("\r\n")));
    }
    std::vector<int> countdownValues() const {
        std::vector<int> v;
        for (const auto& c : countdowns) v.push_back(c.second);
        return v;
    }

    bool visible = true;
    std::string text;
    Lines lines;  // monitor lines in the order they were written
    std::vector<std::pair<int64_t, int>> countdowns;
    Lines socketEnds;

private:
    const fake::FakeEventLoop& loop_;
};

// A connection on the fake socket, with a server that accepts and answers the logon unless told otherwise.
struct NetFixture : Base {
    fake::FakeTcpSocket socket{loop};
    RecordingView view{loop};
    net::Monitor monitor{view, reporter};
    settings::ConnectionSettings server{"10.1.2.3", 6000, 0, "127.0.0.1"};
    net::Connection connection{socket, loop, reporter, monitor, view, server};

    std::string logonReply = "Logon success\r\n";
    int64_t replyDelayMs = 10;
    // Requests other than the logon: the server's answer (empty: silence).
    std::function<std::string(const std::string&)> answer = [](const std::string&) { return std::string(); };
    int logons = 0;
    Lines journal;  // every line the server received, "> line"

    NetFixture() {
        socket.onLine = [this](const std::string& line) {
            journal.push_back("> " + line);
            if (line == "tolvane|QHT514") {
                ++logons;
                if (!logonReply.empty()) socket.peerSend(logonReply, replyDelayMs);
                return;
            }
            const std::string a = answer(line);
            if (!a.empty()) socket.peerSend(a, replyDelayMs);
        };
    }
    void logOn() {
        connection.connectToServer();
        view.lines.clear();
        view.countdowns.clear();
    }
};

// --- the cycle -----------------------------------------------------------------------------------------

// Upload and download steps that write what they are asked into the fixture's journal.
struct RecordingSteps : cycle::Uploader, cycle::Downloader {
    explicit RecordingSteps(Lines& journal) : journal_(journal) {}
    bool hasFilesToSend() override {
        journal_.push_back("TransFiles");
        return filesWaiting;
    }
    void sendFiles() override {
        journal_.push_back("SendFiles");
        ++sends;
    }
    void downloadFiles() override {
        journal_.push_back("GetFiles");
        ++downloads;
        if (duringGetFiles) duringGetFiles();
    }
    bool filesWaiting = true;
    int sends = 0, downloads = 0;
    std::function<void()> duringGetFiles;

private:
    Lines& journal_;
};

// A scheduler with the real connection on the fake socket, the real importer on the fake launcher,
// and recording upload and download steps.
struct CycleFixture : WithFiles<NetFixture> {
    fake::FakeProcessLauncher launcher;
    RecordingSteps steps{journal};
    cycle::Importer importer{launcher, settings, log, reporter};
    std::vector<int> ticksShown;
    cycle::Scheduler scheduler{
        loop, settings, params, reporter, cycle::Scheduler::Steps{connection, steps, steps, importer}, [this](int n) {
            ticksShown.push_back(n);
        }};

    CycleFixture() {
        params.timeoutSecs = 15;
        params.hasLoNumber = true;
        params.loNumbers[1] = "4711";
        store.set("VRX1", "DBase", "C:\\bk\\vrx.mdb");
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

// --- the agent -----------------------------------------------------------------------------------------

// The desktop side as a journal of what the agent asked of it, with the operator's answers ready.
class RecordingShell : public app::Shell {
public:
    bool isWindowVisible() const override { return visible; }
    std::string monitorText() const override { return text; }
    void setMonitorText(const std::string& t) override { text = t; }
    void showCountdown(int) override {}
    void showSocketEnds(int32_t lp, const std::string& lip, int32_t rp, const std::string& rip) override {
        journal.push_back("ends " + std::to_string(lp) + " " + lip + " " + std::to_string(rp) + " " + rip);
    }
    void showMessage(const std::string& title, const std::string& t) override {
        journal.push_back("message " + title + ": " + t);
    }
    void showTickCount(int) override {}
    void showParameters(const settings::Parameters& p) override { journal.push_back("parameters " + p.dataDirPath); }
    void addTrayIcon() override { journal.push_back("addTrayIcon"); }
    void setTrayPicture(app::TrayPicture p) override {
        journal.push_back("picture " + std::to_string(static_cast<int>(p)));
    }
    void deleteTrayIcon() override { journal.push_back("deleteTrayIcon"); }
    void showLinkState(bool alerting, const std::string& tip) override {
        linkStates.push_back((alerting ? "alert " : "") + tip);
    }
    void notify(const std::string& message, bool) override { notifications.push_back(message); }
    std::string timeoutText() const override { return timeoutBox; }
    std::string dataDirText() const override { return dataDirBox; }
    void setDataDirText(const std::string& t) override { dataDirBox = t; }
    void focusTimeout() override { journal.push_back("focusTimeout"); }
    std::optional<std::string> chooseFile(const std::string&, const std::string&) override { return answer; }
    std::optional<std::string> askPassword(const std::string&) override { return answer; }
    void setWindowVisible(bool on) override { visible = on; }
    void showMonitorMode(bool on) override { journal.push_back(on ? "monitor on" : "monitor off"); }

    bool visible = false;
    std::string text, timeoutBox = "15", dataDirBox = "/data/";
    std::optional<std::string> answer;  // the file chosen or the password typed; none: cancelled
    Lines journal, linkStates, notifications;
};

// An agent on the fakes (and the recording shell, or the desktop given) set up for a server that answers.
struct AgentFixture : Fixture {
    fake::FakeTcpSocket socket{loop};
    Lines journal;
    fake::FakeProcessLauncher launcher;
    fake::RecordingSystemLog systemLog;
    fake::MemoryStateFiles stateFiles;
    fake::FakeDirectoryLock dirLock;
    RecordingShell shell;
    RecordingSteps steps{journal};
    std::unique_ptr<app::Agent> agent;

    explicit AgentFixture(app::Shell* desktop = nullptr) {
        store.set("Version", "Brannhall", "2.3.119");
        store.set("Ostrell", "IPadd", "10.1.2.3");
        store.set("Ostrell", "IPport", "6000");
        store.set("Ostrell", "DataDir", "/data/");
        store.set("Ostrell", "LoNumber1", "4711");
        steps.filesWaiting = false;
        socket.onLine = [this](const std::string& line) {
            if (line == "tolvane|QHT514") socket.peerSend("Logon success\r\n", 10);
        };
        agent = std::make_unique<app::Agent>(
            app::AgentPlatform{loop, socket, store, fs, launcher, sinks, terminator, &systemLog, &stateFiles, &dirLock},
            desktop ? *desktop : shell,
            [this](const app::StepContext&) { return std::unique_ptr<cycle::Uploader>(new Forward(steps)); },
            [this](const app::StepContext&) { return std::unique_ptr<cycle::Downloader>(new Forward(steps)); });
    }

private:
    struct Forward : cycle::Uploader, cycle::Downloader {
        explicit Forward(RecordingSteps& s) : s_(s) {}
        bool hasFilesToSend() override { return s_.hasFilesToSend(); }
        void sendFiles() override { s_.sendFiles(); }
        void downloadFiles() override { s_.downloadFiles(); }
        RecordingSteps& s_;
    };
};

}  // namespace ostrell::unittest
