// A whole sync cycle (start-up, logon, upload with refusals, download, quit) of the real agent on the
// fake platform, with the test server's protocol core behind the fake socket. The reference run counts
// the cycle's writes, fsyncs, renames and deletes and the request lines it sends; then, for every one of
// them, a fresh world is run up to it, the power fails there (everything not fsynced is dropped and the
// agent dies; a line is lost on its way, so the server never carries it out), the
// agent starts again and finishes a cycle, the power fails once more, and the two invariants are
// checked against the server's ledger:
//   U: every outgoing line was accepted by the server or is still in its file;
//   D: every record the server saw acknowledged is in its incoming file, once, whole.
// With --kill the agent only dies at the operation (nothing is dropped), as after a kill.
// Prints "power-loss points hit H of N violations V"; exit status 1 when there is any violation, a point
// the cycle never reached, or a reference cycle that did not finish.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/Agent.h"
#include "fakes/FakeEventLoop.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeProcessLauncher.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/FakeTcpSocket.h"
#include "fakes/RecordingErrorSink.h"
#include "reliability/Invariants.h"
#include "reliability/SimBehindFakeSocket.h"
#include "upload/OutFileNames.h"

using namespace ostrell;
using Op = fake::FakeFileSystem::Op;

namespace {

const std::string DataDir = "/data/";
// Long enough for the cycle and its slowest waits, short of a second cycle (TimeOut 900 s).
constexpr int64_t LifeMs = 300000;
// The reference cycle stores six bookings and three payments; fewer means the world is not set up.
constexpr size_t MinAcknowledged = 9;
// Sends, writes, fsyncs, renames and deletes of that cycle: far more than this.
constexpr size_t MinPoints = 40;

bool mutating(Op op) {
    return op == Op::Append || op == Op::Write || op == Op::Create || op == Op::MakeDir || op == Op::Rename ||
           op == Op::Remove || op == Op::SyncDir;
}

const char* opName(Op op) {
    switch (op) {
        case Op::Append: return "append";
        case Op::Write: return "write";
        case Op::Create: return "create";
        case Op::MakeDir: return "make dir";
        case Op::Rename: return "rename";
        case Op::Remove: return "delete";
        case Op::SyncDir: return "sync dir";
        default: return "other";
    }
}

// The desktop nobody looks at.
class QuietShell : public app::Shell {
public:
    bool isWindowVisible() const override { return false; }
    std::string monitorText() const override { return {}; }
    void setMonitorText(const std::string&) override {}
    void showCountdown(int) override {}
    void showSocketEnds(int32_t, const std::string&, int32_t, const std::string&) override {}
    void showMessage(const std::string&, const std::string&) override {}
    void showTickCount(int) override {}
    void showParameters(const settings::Parameters&) override {}
    void addTrayIcon() override {}
    void setTrayPicture(app::TrayPicture) override {}
    void deleteTrayIcon() override {}
};

// What outlives the agent: the disk, the host's settings and the server with its ledger.
struct World {
    fake::FakeFileSystem fs;
    fake::FakeSettingsStore store;
    sim::DataStore data;
    sim::UploadRules rules;
    sim::Ledger ledger;
    sim::ProtocolCore core{data, rules, ledger};
    uint64_t connections = 0;
    std::string ledgerPath;
    reliability::OutgoingFiles before;

    explicit World(const std::string& path) : ledgerPath(path) {
        ::unlink(path.c_str());
        std::string error;
        if (!ledger.open(path, false, error)) {
            std::cerr << error << '\n';
            std::exit(2);
        }
        store.set("Version", "Brannhall", "2.3.119");
        store.set("Ostrell", "IPadd", "127.0.0.1");
        store.set("Ostrell", "IPport", "6667");
        store.set("Ostrell", "DataDir", DataDir);
        store.set("Ostrell", "TimeOut", "900");
        store.set("Ostrell", "LoNumber1", "4711");
        store.set("Ostrell", "LoNumber3", "4712");
        fs.addDirectory("/data");

        // Bookings and payments for two BK numbers; the last payment of 4712 is one the agent rejects.
        data.generate(sim::RecordKind::Booking, "4711", 4, true);
        data.generate(sim::RecordKind::Booking, "4712", 2, true);
        data.generate(sim::RecordKind::Payment, "4711", 2, true);
        data.generate(sim::RecordKind::Payment, "4712", 1, true);
        data.generate(sim::RecordKind::Payment, "4712", 1, false);

        // Outgoing files: one accepted in full, one cut down after a refused record, one given up at a
        // "BAD" after its first record, one refused throughout.
        put(6,
            "\"1001\",\"2027-01-02\",\"2027-01-05\",\"Meyer, "
            "Anna\",\"\"\r\n\"1002\",\"2027-02-01\",\"2027-02-03\",\"Okafor\",\"x\"\r\n");
        put(4,
            "PRC017,\"Room 1, sea view\",350,\r\nPRC018,\"Room 2\",300,\r\nPRC019,\"Room "
            "3\",280,\r\nPRC020,\"Suite\",900,\r\n");
        put(7, "\"R1\",\"Double room, sea view\",\"2\"\r\n\"R2\",\"Single\",\"1\"\r\n\"R3\",\"Family\",\"4\"\r\n");
        put(5, "\"B77\",0,\"2027-03-01\"\r\n");
        std::string ruleError;
        rules.add(sim::UploadVerdict::Refuse, "4:3-7", ruleError);  // the third price: refused five times
        rules.add(sim::UploadVerdict::Bad, "7:2", ruleError);       // the second room type: "BAD"
        rules.add(sim::UploadVerdict::Refuse, "5:all", ruleError);
    }

    void put(int kind, const std::string& content) {
        fs.putFile(upload::outFilePath(DataDir, kind), content);
        before[kind] = content;
    }

    reliability::DataDirState state() const {
        reliability::DataDirState s;
        for (int kind = upload::FirstOutKind; kind <= upload::LastOutKind; ++kind) {
            const std::string path = upload::outFilePath(DataDir, kind);
            if (fs.has(path)) s.outgoing[kind] = fs.content(path);
            if (fs.has(upload::outTempPath(path))) s.leftoverTempFiles.push_back(upload::outTempPath(path));
        }
        s.bookings = fs.content(DataDir + "InBookings.csv");
        s.payments = fs.content(DataDir + "Payment.csv");
        return s;
    }

    int quits() const {
        int n = 0;
        for (const auto& e : sim::readLedgerFile(ledgerPath)) n += e.event == "QUIT";
        return n;
    }
};

// One life of the agent: start-up and a cycle, on a fresh event loop and socket.
struct AgentLife {
    fake::FakeEventLoop loop;
    fake::FakeTcpSocket socket{loop};
    fake::FakeProcessLauncher launcher;
    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    QuietShell shell;
    reliability::SimBehindFakeSocket wire;
    std::unique_ptr<app::Agent> agent;

    explicit AgentLife(World& w) : wire(socket, w.core, w.connections) {
        agent = std::make_unique<app::Agent>(
            app::AgentPlatform{loop, socket, w.store, w.fs, launcher, sinks, terminator}, shell);
    }
    ~AgentLife() { agent.reset(); }

    void live() {
        agent->start();
        loop.runFor(LifeMs);
    }
};

// One place the agent can die at: before a file operation, or before a request line reaches the server
// (so also between a record made durable and its acknowledgement).
struct Point {
    int number;
    std::string what;
};

std::vector<std::string> runPoint(const std::string& ledgerPath, const Point* crashAt, bool dropUnsynced,
                                  std::vector<Point>* trace, size_t* hits = nullptr) {
    World w(ledgerPath);
    int seen = 0;
    bool crashed = false;
    const auto reach = [&](const std::string& what) {
        ++seen;
        if (trace) trace->push_back({seen, what});
        if (crashAt && seen == crashAt->number) {
            crashed = true;
            if (dropUnsynced) w.fs.powerLoss();
            throw fake::SimulatedCrash{};
        }
    };
    w.fs.beforeOp = [&](Op op, const std::string& path) {
        if (mutating(op)) reach(std::string(opName(op)) + " " + path);
    };
    {
        AgentLife first(w);
        first.wire.beforeLine = [&](const std::string& line) { reach("send " + line.substr(0, 40)); };
        try {
            first.live();
        } catch (const fake::SimulatedCrash&) {
        }
    }
    w.fs.beforeOp = nullptr;
    std::vector<std::string> violations;
    if (crashAt && !crashed) violations.push_back("the cycle never reached this point");
    if (!crashAt) {
        // The sweep proves nothing unless the cycle it is built on ran to its quit and stored records.
        size_t acks = 0;
        for (const auto& e : sim::readLedgerFile(w.ledgerPath)) acks += e.event == "ACK12" || e.event == "ACK13";
        if (w.quits() < 1) violations.push_back("the cycle did not reach its quit");
        if (acks < MinAcknowledged) violations.push_back("only " + std::to_string(acks) + " records acknowledged");
    }
    if (hits && crashed) ++*hits;
    if (crashAt) {
        const int quitsBefore = w.quits();
        AgentLife second(w);
        second.live();
        if (w.quits() <= quitsBefore) violations.push_back("the restarted agent did not finish a cycle");
    }
    w.fs.powerLoss();
    for (auto& v : reliability::checkInvariants(sim::readLedgerFile(w.ledgerPath), w.before, w.state()))
        violations.push_back(std::move(v));
    ::unlink(w.ledgerPath.c_str());
    return violations;
}

}  // namespace

int main(int argc, char** argv) {
    bool kill = false;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--kill") kill = true;
        else if (a == "--verbose") verbose = true;
    }
    const char* tmp = std::getenv("TMPDIR");
    const std::string ledgerPath =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/rel-powerloss-" + std::to_string(::getpid()) + ".ledger";

    const char* what = kill ? "kill" : "power-loss";
    std::vector<Point> points;
    auto reference = runPoint(ledgerPath, nullptr, true, &points);
    if (points.size() < MinPoints)
        reference.push_back("only " + std::to_string(points.size()) + " points in the cycle");
    for (const auto& v : reference) std::cout << "reference run: " << v << '\n';
    if (!reference.empty()) {
        std::cout << what << " points hit 0 of 0 violations " << reference.size() << '\n';
        return 1;
    }

    size_t violations = 0, hits = 0;
    for (const Point& p : points) {
        const auto found = runPoint(ledgerPath, &p, !kill, nullptr, &hits);
        if (verbose || !found.empty())
            std::cout << what << " before " << p.number << " (" << p.what
                      << "): " << (found.empty() ? "ok" : std::to_string(found.size()) + " violation(s)") << '\n';
        for (const auto& v : found) std::cout << "  " << v << '\n';
        violations += found.size();
    }
    std::cout << what << " points hit " << hits << " of " << points.size() << " violations " << violations << '\n';
    return violations == 0 && hits == points.size() ? 0 : 1;
}
