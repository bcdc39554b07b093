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
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/Agent.h"
#include "app/TrayRules.h"
#include "cycle/Importer.h"
#include "cycle/Scheduler.h"
#include "download/Downloader.h"
#include "errors/ErrorReporter.h"
#include "fakes/AgentServiceFakes.h"
#include "fakes/FakeEventLoop.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeProcessLauncher.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/FakeTcpSocket.h"
#include "fakes/RecordingErrorSink.h"
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
    size_t start = 0;
    for (size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2)
        out.push_back(content.substr(start, end - start));
    if (start < content.size()) out.push_back(content.substr(start) + "<no line end>");
    return out;
}

// The procedures named by the reports, in order (which statement failed is not pinned down here).
inline Lines reportedProcedures(const fake::RecordingErrorSinks& sinks) {
    Lines out;
    for (const auto& r : sinks.reports) out.push_back(r.procedureName);
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
        fs.clock = [this] { return this->loop.wallClockMs(); };
        fs.addDirectory("/data");
        params.dataDirPath = "/data/";
    }
    // The transfer log's texts, without their date and time.
    Lines logTexts() const {
        Lines out;
        for (const auto& line : fileLines(fs.content("/data/VRXlogOUT.txt"))) out.push_back(line.substr(20));
        return out;
    }
};
using Fixture = WithFiles<Base>;

// --- download and upload -------------------------------------------------------------------------------

// Thrown when a loop keeps asking past the test's bound. Not a std::exception, so no trap hides it.
struct RunawayExchange {};

// The booking server behind the line exchange. Scripted replies go first; then record requests ("10|BK1")
// are answered from their queue ("10|NONE" when empty), where a record stays at the front until its
// number is acknowledged, as the real server keeps a record it has not heard back about; any other
// request is accepted ("4|SUCCESS"). Every request is recorded, the download's quit as "quit".
class ScriptedServer : public net::LineExchange {
public:
    std::deque<std::string> script;
    std::function<std::string(const std::string&)> rule;  // replaces the script's end when set
    std::function<void(const std::string&)> onRequest;    // runs while the request waits: host actions
    int acksToLose = 0;                                   // the next n acknowledgements never arrive
    std::set<std::string> cutAtPause;                     // replies more of whose line came after them
    bool connected = true;
    Lines sent, acksTaken, ledger;  // ledger: the upload requests accepted
    std::map<std::string, Lines> repliesByAck;

    void record(const std::string& request, int number, const std::string& reply) {
        queues_[request].push_back({reply, ack(request, number)});
    }
    void reply(const std::string& request, const std::string& text) { queues_[request].push_back({text, ""}); }

    std::string requestReply(const std::string& request) override {
        sent.push_back(request);
        if (sent.size() > 5000) throw RunawayExchange{};
        if (onRequest) onRequest(request);
        std::string r = script.empty() ? (rule ? rule(request) : answer(request)) : script.front();
        if (!script.empty()) script.pop_front();
        if (r.find("|SUCCESS") != std::string::npos) ledger.push_back(request);
        return last_ = r;
    }
    bool replyArrivedWhole() override { return cutAtPause.count(last_) == 0; }
    void showNote(const std::string& text) override { sent.push_back("I {" + text + "}"); }
    void endExchange() override {
        if (!connected) return;
        sent.push_back("quit");
        connected = false;
    }

private:
    struct Entry {
        std::string reply, ack;  // ack: what takes it off the queue; empty: it goes once
    };
    static std::string ack(const std::string& request, int number) {
        return (request[1] == '0' ? "12|" : "13|") + std::to_string(number);
    }
    std::string answer(const std::string& request) {
        const std::string type = request.substr(0, 2);
        if (type == "12" || type == "13") {
            if (acksToLose > 0 && acksToLose--) return "BAD - timed out";
            acksTaken.push_back(request);
            for (auto& [key, q] : queues_)
                if (!q.empty() && q.front().ack == request) q.pop_front();
            return "OK";
        }
        if (type != "10" && type != "11") return request.substr(0, 1) + "|SUCCESS";
        auto& q = queues_[request];
        if (q.empty()) return type + "|NONE";
        const Entry e = q.front();
        if (e.ack.empty()) q.pop_front();
        else repliesByAck[e.ack].push_back(e.reply);
        return e.reply;
    }
    std::map<std::string, std::deque<Entry>> queues_;
    std::string last_;
};

inline const std::string BookingsPath = "/data/InBookings.csv";
inline const std::string PaymentsPath = "/data/Payment.csv";

// The fields in double quotes, separated by commas.
inline std::string quotedFields(const Lines& fields) {
    std::string line;
    for (const auto& field : fields) line += (line.empty() ? "" : ",") + ('"' + field + '"');
    return line;
}
// A booking line of 20 quoted fields whose sixth holds number, one field holding a comma.
inline std::string bookingLine(const std::string& number, const std::string& guest = "Smith, Ann") {
    Lines fields{"BK1", guest, "2026-12-06", "2026-12-09", "2", number};
    for (int i = 7; i <= 20; ++i) fields.push_back("f" + std::to_string(i));
    return quotedFields(fields);
}
inline std::string paymentLine(const std::string& number, const std::string& amount = "120.50") {
    return quotedFields({"BK1", number, amount, "2026-12-06"});
}

// What the steps said they sent and stored: "Prices.csv", "BK1 booking".
struct RecordedEvents : cycle::StepEvents {
    Lines said;
    void lineAccepted(const std::string& fileName) override { said.push_back(fileName); }
    void recordStored(const std::string& bk, cycle::RecordKind kind) override {
        said.push_back(bk + (kind == cycle::RecordKind::Booking ? " booking" : " payment"));
    }
};

struct TransferFixture : Fixture {
    ScriptedServer server;
    fake::FakeProcessLauncher launcher;
    RecordedEvents events;
    download::Downloader downloader{server, fs, launcher, reporter, params, log, events};
    upload::FileUploader uploader{fs, server, log, settings, reporter, params, loop, events, "/state/ostrell"};

    TransferFixture() {
        params.bkNumbers[0] = "BK1";
        params.hasBkNumber = true;
        params.uploadCommand = "/opt/brannick/upload --now";
    }
    static std::string path(const std::string& base) { return "/data/" + base + ".csv"; }
    // Files in the data directory other than the transfer log.
    Lines dataFiles() const {
        Lines out;
        for (const auto& name : fs.list("/data"))
            if (name.rfind("VRXlogOUT.txt", 0) != 0) out.push_back(name);
        return out;
    }
};

// --- the connection ------------------------------------------------------------------------------------

// The window's boxes as the connection fills them.
template <class... Views>
class RecordingViews : public Views... {
public:
    void showCountdown(int value) override { countdowns.push_back(value); }
    void showSocketEnds(int32_t localPort, const std::string& localIP, int32_t remotePort,
                        const std::string& remoteIP) override {
        socketEnds = std::to_string(localPort) + " " + localIP + " " + std::to_string(remotePort) + " " + remoteIP;
    }
    bool isWindowVisible() const override { return visible; }
    std::string monitorText() const override { return text; }
    void setMonitorText(const std::string& t) override {
        text = t;
        lines.push_back(t.substr(0, t.find("\r\n")));
    }

    bool visible = true;
    std::string text, socketEnds;
    Lines lines;  // monitor lines in the order they were written
    std::vector<int> countdowns;
};
using RecordingView = RecordingViews<net::ConnectionView, net::MonitorView>;

// A connection on the fake socket, with a server that accepts and answers the logon unless told otherwise.
struct NetFixture : Base {
    fake::FakeTcpSocket socket{loop};
    RecordingView view;
    net::Monitor monitor{view, reporter};
    settings::ConnectionSettings server{"10.1.2.3", 6000, 0, "127.0.0.1"};
    net::Connection connection{socket, loop, reporter, monitor, view, server};

    std::string logonReply = "Logon success\r\n";
    // Requests other than the logon: the server's answer (empty: silence).
    std::function<std::string(const std::string&)> answer = [](const std::string&) { return std::string(); };
    Lines journal;  // every line the server received, "> line"

    NetFixture() {
        socket.onLine = [this](const std::string& line) {
            journal.push_back("> " + line);
            const std::string a = line == "tolvane|QHT514" ? logonReply : answer(line);
            if (!a.empty()) socket.peerSend(a, 10);
        };
    }
};

// --- the cycle -----------------------------------------------------------------------------------------

// What the upload and download steps answer, and the journal they write what they are asked into.
struct StepScript {
    Lines& journal;
    bool filesWaiting = true;
    int downloads = 0;
    std::function<void()> duringGetFiles;
};
struct RecordingSteps : cycle::Uploader, cycle::Downloader {
    explicit RecordingSteps(StepScript& script) : s_(script) {}
    bool hasFilesToSend() override {
        s_.journal.push_back("TransFiles");
        return s_.filesWaiting;
    }
    void sendFiles() override { s_.journal.push_back("SendFiles"); }
    void downloadFiles() override {
        s_.journal.push_back("GetFiles");
        ++s_.downloads;
        if (s_.duringGetFiles) s_.duringGetFiles();
    }

private:
    StepScript& s_;
};

// A scheduler with the real connection on the fake socket, the real importer on the fake launcher,
// and recording upload and download steps.
struct CycleFixture : WithFiles<NetFixture> {
    fake::FakeProcessLauncher launcher;
    StepScript steps{journal, true, 0, {}};
    RecordingSteps recorder{steps};
    cycle::Importer importer{launcher, settings, log, reporter};
    std::vector<int> ticksShown;
    cycle::Scheduler scheduler{loop,
                               settings,
                               params,
                               reporter,
                               cycle::Scheduler::Steps{connection, recorder, recorder, importer},
                               [this](int n) { ticksShown.push_back(n); }};

    CycleFixture() {
        params.timeoutSecs = 15;
        params.hasBkNumber = true;
        store.set("VRX1", "DBase", "C:\\bk\\vrx.mdb");
    }
    // The clock times written to one key ("LastTry"), in order; the virtual clock starts at midnight.
    Lines written(const std::string& key) const {
        Lines out;
        const std::string prefix = "Ostrell/" + key + "=";
        for (const auto& w : store.writes)
            if (w.rfind(prefix, 0) == 0) out.push_back(w.substr(w.find(' ') + 1));
        return out;
    }
};

// --- the agent -----------------------------------------------------------------------------------------

// The desktop side as a journal of what the agent asked of it, with the operator's answers ready.
class RecordingShell : public RecordingViews<app::Shell> {
public:
    RecordingShell() { visible = false; }
    void showMessage(const std::string& title, const std::string& t) override {
        journal.push_back("message " + title + ": " + t);
    }
    void showTickCount(int) override {}
    void showParameters(const settings::Parameters& p) override {
        journal.push_back("parameters " + p.dataDirSetting);
        shown = p;
    }
    void addTrayIcon() override { journal.push_back("addTrayIcon"); }
    void setTrayPicture(app::TrayPicture p) override {
        journal.push_back("picture " + std::to_string(static_cast<int>(p)));
    }
    void deleteTrayIcon() override { journal.push_back("deleteTrayIcon"); }
    void showLinkState(bool alerting, const std::string& last) override {
        linkStates.push_back((alerting ? "alert " : "") + app::lastContactTip(last, alerting));
    }
    void notify(bool alert, const std::string& at) override {
        notifications.push_back(alert ? app::linkAlertText(at) : app::linkRestoredText());
    }
    void showTrayStatus(const app::TrayStatus& s) override { trayStatus = s; }
    std::string timeoutText() const override { return timeoutBox; }
    std::string dataDirText() const override { return dataDirBox; }
    void setDataDirText(const std::string& t) override { dataDirBox = t; }
    void focusTimeout() override { journal.push_back("focusTimeout"); }
    std::optional<std::string> chooseFile(const std::string&, const std::string&) override { return answer; }
    std::optional<std::string> askPassword(const std::string&) override { return answer; }
    void setWindowVisible(bool on) override { visible = on; }
    void showMonitorMode(bool on) override { journal.push_back(on ? "monitor on" : "monitor off"); }

    std::string timeoutBox = "15", dataDirBox = "/data/";
    std::optional<std::string> answer;  // the file chosen or the password typed; none: cancelled
    Lines journal, linkStates, notifications;
    settings::Parameters shown;
    app::TrayStatus trayStatus;
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
    StepScript steps{journal, false, 0, {}};
    bool answerLogon = true;
    std::unique_ptr<app::Agent> agent;

    explicit AgentFixture(app::Shell* desktop = nullptr) {
        store.set("Version", "Brannhall", "2.3.119");
        store.set("Ostrell", {"IPadd=10.1.2.3", "IPport=6000", "DataDir=/data/", "LoNumber1=4711"});
        socket.onLine = [this](const std::string& line) {
            if (line == "tolvane|QHT514" && answerLogon) socket.peerSend("Logon success\r\n", 10);
        };
        agent = std::make_unique<app::Agent>(
            app::AgentPlatform{loop, socket, store, fs, launcher, sinks, terminator, &systemLog, &stateFiles, &dirLock},
            desktop ? *desktop : shell,
            [this](const app::StepContext&) { return std::make_unique<RecordingSteps>(steps); },
            [this](const app::StepContext&) { return std::make_unique<RecordingSteps>(steps); });
    }
};

}  // namespace ostrell::unittest
