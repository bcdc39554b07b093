// The data-safety check of the reliability suite. U: every line of an outgoing file was accepted by the
// server or is still in its file, no cut-down work file is left, and no line was accepted more often than
// the host wrote it beyond the records in flight. D: every record the server saw acknowledged is in its
// incoming file once and whole; the incoming files hold only what it sent, and no record twice.
//   rel_check [--in-flight N|any] RUNDIR   (veltrana-sim's ledger.txt, data/, and before/ with the outgoing
//   files as the host left them) prints "checked acknowledged A accepted U lines L extra E" and each
//   violation; exit 1 on any, 2 when something cannot be read or nothing was checked.
//   rel_check --sweep powerloss|kill RUNDIR [veltrana-sim options]: a cycle of the agent on the fakes with
//   the server's protocol core behind the fake socket; then for each file operation and request line of
//   it a fresh world dies there (a power loss drops what was not synced), lives again, loses power and is
//   checked. Prints "... points hit H".
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "app/Agent.h"
#include "app/HeadlessShell.h"
#include "download/ReplyClassification.h"
#include "fakes/FakeEventLoop.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeProcessLauncher.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/FakeTcpSocket.h"
#include "fakes/RecordingErrorSink.h"
#include "net/ReplyCleanup.h"
#include "upload/OutFileLines.h"
#include "upload/OutFileNames.h"
#include "upload/RecordConversion.h"
#include "veltrana-sim/LedgerFormat.h"
#include "veltrana-sim/ProtocolCore.h"
#include "veltrana-sim/SimOptions.h"

using namespace ostrell;

namespace {

using Reader = std::function<std::optional<std::string>(const std::string& name)>;  // nothing: absent
using Ledger = std::vector<sim::LedgerEntry>;

// Acceptances beyond one per line that a check lets pass: those of the records in flight; any number after
// a power loss, which forgets what was noted of a file but not synced.
using InFlight = size_t;
constexpr InFlight AnyInFlight = std::numeric_limits<size_t>::max();

struct Tally {
    size_t acknowledged = 0, accepted = 0, lines = 0, extra = 0;
    std::vector<std::string> violations;

    template <class... Parts>
    void violation(const Parts&... parts) {
        std::string text;
        ((text += parts), ...);
        violations.push_back(std::move(text));
    }
};

[[noreturn]] void fail(const std::string& why) {
    std::cerr << "rel_check: " << why << '\n';
    std::exit(2);
}

Tally check(const Ledger& ledger, const Reader& before, const Reader& after, InFlight inFlight) {
    Tally t;
    std::map<std::string, size_t> accepted;
    for (const auto& e : ledger)
        if (e.event == "ACCEPT" && e.fields.size() >= 3) ++accepted[e.fields[2]], ++t.accepted;
    for (const upload::OutKind kind : upload::OutKinds) {
        const std::string name = upload::outFilePath("", kind);
        if (after(upload::outTempPath(name))) t.violation("U: work file left: ", upload::outTempPath(name));
        std::map<std::string, size_t> left;
        for (const auto& line : upload::readOutLines(after(name).value_or(""))) ++left[line], ++t.lines;
        for (const auto& line : upload::readOutLines(before(name).value_or(""))) {
            ++t.lines;
            size_t* vouch = &left[line];
            // The batch marker alternates per file sent in full; an acceptance vouches for one copy only.
            for (const int16_t marker : {int16_t{0}, int16_t{1}})
                if (*vouch == 0) vouch = &accepted[upload::convertRecord(kind, line, marker).text];
            if (*vouch == 0) t.violation("U: ", name, " line neither accepted nor kept: ", line);
            if (*vouch > 0) --*vouch;
        }
    }
    // What is left of the acceptances vouched for no line the host wrote: a line sent again.
    std::vector<std::string> twice;
    for (const auto& [line, n] : accepted)
        if (n > 0) t.extra += n, twice.push_back(std::to_string(n) + " more: " + line);
    if (t.extra > inFlight)
        for (const auto& line : twice)
            t.violation("U: accepted more often than written (", std::to_string(inFlight), " in flight): ", line);
    for (const auto& [send, ack, file] : {std::array<std::string, 3>{"10", "12", "InBookings.csv"},
                                          std::array<std::string, 3>{"11", "13", "Payment.csv"}}) {
        std::map<std::string, size_t> stored;  // lines split on LF, a CR before it dropped; a torn tail kept
        std::istringstream in(after(file).value_or(""));
        for (std::string line; std::getline(in, line); ++t.lines)
            ++stored[!in.eof() && !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line];
        std::set<std::string> sent, acknowledged;
        for (const auto& e : ledger)
            if (e.fields.size() >= 4 && (e.event == "SEND" + send || e.event == "ACK" + ack))
                // What the agent keeps of a record reply: trimmed, from its first double quote on.
                (e.event == "ACK" + ack ? acknowledged : sent)
                    .insert(download::recordLine(net::trimBlanks(send + "|" + e.fields[3])));
        t.acknowledged += acknowledged.size();
        for (const auto& r : acknowledged)
            if (stored[r] != 1) t.violation("D: acknowledged, ", std::to_string(stored[r]), " in ", file, ": ", r);
        for (const auto& [line, n] : stored) {
            if (n > 0 && !sent.count(line)) t.violation("D: never sent, in ", file, ": ", line);
            if (n > 1 && !line.empty() && !acknowledged.count(line))
                t.violation("D: stored ", std::to_string(n), " times in ", file, ": ", line);
        }
    }
    return t;
}

Reader directory(const std::string& dir) {
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) fail("not a directory: " + dir);
    return [dir](const std::string& name) -> std::optional<std::string> {
        struct stat file {};
        if (::stat((dir + name).c_str(), &file) != 0) return std::nullopt;
        std::ifstream in(dir + name, std::ios::binary);
        if (!S_ISREG(file.st_mode) || !in) fail("cannot read " + dir + name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
}

Ledger readLedger(const std::string& dir) {
    const std::string text = directory(dir + "/")("ledger.txt").value_or("");
    Ledger ledger;
    for (size_t at = 0, lf = 0; (lf = text.find('\n', at)) != std::string::npos; at = lf + 1) {
        auto entry = sim::parseLedgerLine(std::string_view(text).substr(at, lf - at));
        if (!entry) fail("unreadable ledger line: " + text.substr(at, lf - at));
        ledger.push_back(std::move(*entry));
    }
    if (ledger.empty()) fail("no ledger in " + dir);
    return ledger;
}

size_t count(const Ledger& ledger, const std::string& event) {
    return std::count_if(ledger.begin(), ledger.end(), [&](const auto& e) { return e.event == event; });
}

// What outlives the agent: the disk, the host's settings, the server with its store and ledger.
struct World {
    fake::FakeFileSystem fs;
    fake::FakeSettingsStore store;
    sim::DataStore data;
    sim::UploadRules rules;
    sim::Ledger ledger;
    sim::ProtocolCore core{data, rules, ledger};
    uint64_t connections = 0;

    World(const std::string& dir, const std::vector<std::string>& simArgs) {
        sim::SimOptions options;
        sim::FaultSwitches faults;
        std::string error;
        bool ok = sim::parseOptions(simArgs, options, error);
        for (const auto& [name, value] : options.live)
            ok = ok && sim::applyLive(name, value, data, rules, faults, error);
        ::unlink((dir + "/ledger.txt").c_str());
        if (!ok || !ledger.open(dir + "/ledger.txt", false, error)) fail(error);
        // TimeOut 900 s: a life of 300 s holds one cycle and its slowest waits.
        store.set("Ostrell", {"IPadd=127.0.0.1", "IPport=6667", "DataDir=/data/", "TimeOut=900", "LoNumber1=4711",
                              "LoNumber3=4712"});
        store.set("Version", "Brannhall", "2.3.119");
        fs.addDirectory("/data");
        for (const upload::OutKind kind : upload::OutKinds)
            if (auto text = directory(dir + "/before/")(upload::outFilePath("", kind)))
                fs.putFile(upload::outFilePath("/data/", kind), *text);
    }
};

// One life of the agent on a fresh event loop and socket with the server's protocol core as the peer.
// beforeLine sees each line the agent sends before the server does and may throw: the line is lost.
struct AgentLife {
    fake::FakeEventLoop loop;
    fake::FakeTcpSocket socket{loop};
    fake::FakeProcessLauncher launcher;
    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    std::ostringstream nobodyReads;
    app::HeadlessShell shell{loop, nobodyReads, nobodyReads};
    sim::Session session;

    AgentLife(World& w, const std::function<void(const std::string&)>& beforeLine) {
        socket.onAccepted = [this, &w] {
            session = sim::Session{};
            session.id = ++w.connections;
            w.core.opened(session);
        };
        socket.onLine = [this, &w, beforeLine](const std::string& line) {
            beforeLine(line);
            w.core.received(session, line);
            const sim::Outcome out = w.core.handle(session, line);
            if (out.reply) socket.peerSend(*out.reply + "\r\n", 5);
            if (out.close) w.core.closed(session, "quit"), socket.peerClose(5);
        };
        app::Agent agent(app::AgentPlatform{loop, socket, w.store, w.fs, launcher, sinks, terminator}, shell);
        agent.start();
        loop.runFor(300000);
    }
};

// A fresh world whose agent dies just before operation crashAt (0: never), then lives again; `reached`
// lists the operations of the first life. Its violations; none when crashAt was not reached.
std::vector<std::string> runWorld(const std::string& dir, const std::vector<std::string>& simArgs, size_t crashAt,
                                  bool powerLoss, std::vector<std::string>& reached) {
    static constexpr auto OpNames = std::to_array<const char*>(
        {"read", "append", "write", "rename", "delete", "sync dir", "length", "create", "make dir", "open"});
    World w(dir, simArgs);
    const auto reach = [&](const std::string& what) {
        reached.push_back(what);
        if (reached.size() != crashAt) return;
        if (powerLoss) w.fs.powerLoss();
        throw fake::SimulatedCrash{};
    };
    w.fs.beforeOp = [&](fake::FakeFileSystem::Op op, const std::string& path) {
        using Op = fake::FakeFileSystem::Op;
        if (op != Op::Read && op != Op::Length) reach(OpNames.at(static_cast<size_t>(op)) + (" " + path));
    };
    try {
        AgentLife first(w, [&](const std::string& line) { reach("send " + line.substr(0, 40)); });
    } catch (const fake::SimulatedCrash&) {
    }
    w.fs.beforeOp = nullptr;
    if (reached.size() < crashAt) return {};
    std::vector<std::string> found;
    const size_t quitsBefore = crashAt > 0 ? count(readLedger(dir), "QUIT") : 0;
    if (crashAt > 0) AgentLife second(w, [](const std::string&) {});
    if (count(readLedger(dir), "QUIT") <= quitsBefore) found.emplace_back("no cycle finished");
    w.fs.powerLoss();
    // A kill may resend the one record in flight; a power loss also what was noted of the file but not synced.
    const InFlight inFlight = powerLoss ? AnyInFlight : crashAt > 0 ? 1 : 0;
    const Reader disk = [&w](const std::string& name) {
        return w.fs.has("/data/" + name) ? std::optional(w.fs.content("/data/" + name)) : std::nullopt;
    };
    const Tally t = check(readLedger(dir), directory(dir + "/before/"), disk, inFlight);
    // The world proves little unless its clean cycle stored every record the server had.
    if (crashAt == 0 && w.data.pending(sim::RecordKind::Booking) + w.data.pending(sim::RecordKind::Payment) > 0)
        found.push_back("records left on the server after " + std::to_string(t.acknowledged) + " acknowledged");
    found.insert(found.end(), t.violations.begin(), t.violations.end());
    return found;
}

int sweep(const std::string& mode, const std::string& dir, const std::vector<std::string>& simArgs) {
    std::vector<std::string> points;
    auto found = runWorld(dir, simArgs, 0, true, points);
    if (points.size() < 40) found.push_back(std::to_string(points.size()) + " points in the cycle");
    // A cycle that sends no outgoing record leaves the upload's points out of the sweep.
    if (std::none_of(points.begin(), points.end(), [](const std::string& p) {
            return p.size() > 6 && p.rfind("send ", 0) == 0 && p[5] >= '1' && p[5] <= '7' && p[6] == '|';
        }))
        found.emplace_back("no outgoing record sent in the cycle");
    size_t hit = 0, violations = found.size();
    for (const auto& v : found) std::cout << mode << " clean cycle: " << v << '\n';
    for (size_t n = 1; n <= points.size() && found.empty(); ++n) {
        std::vector<std::string> reached;
        const auto here = runWorld(dir, simArgs, n, mode == "powerloss", reached);
        hit += reached.size() >= n;
        if (reached.size() < n) std::cout << mode << " before " << n << " (" << points[n - 1] << "): not hit\n";
        for (const auto& v : here) std::cout << mode << " before " << n << " (" << points[n - 1] << "): " << v << '\n';
        violations += here.size();
    }
    std::cout << mode << " points hit " << hit << " not hit " << points.size() - hit << " violations " << violations
              << '\n';
    return violations == 0 && hit >= 40 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 3 && args[0] == "--sweep" && (args[1] == "powerloss" || args[1] == "kill"))
        return sweep(args[1], args[2], {args.begin() + 3, args.end()});
    size_t inFlight = 0;
    if (args.size() == 3 && args[0] == "--in-flight") inFlight = args[1] == "any" ? AnyInFlight : std::stoul(args[1]);
    if (args.size() != 1 && !(args.size() == 3 && args[0] == "--in-flight"))
        fail("usage: rel_check [--in-flight N] RUNDIR | rel_check --sweep powerloss|kill RUNDIR [sim options]");
    const std::string& dir = args.back();
    const Ledger ledger = readLedger(dir);
    const Tally t = check(ledger, directory(dir + "/before/"), directory(dir + "/data/"), inFlight);
    std::cout << "checked acknowledged " << t.acknowledged << " accepted " << t.accepted << " lines " << t.lines
              << " extra " << t.extra << '\n';
    if (count(ledger, "OPEN") == 0) fail("nothing checked: the server saw no connection");
    if (t.acknowledged + t.accepted + t.lines == 0) fail("nothing checked: no records, no lines");
    for (const auto& v : t.violations) std::cout << v << '\n';
    return t.violations.empty() ? 0 : 1;
} catch (const std::exception& e) {
    fail(e.what());  // a directory or ledger that cannot be read: nothing was checked
} catch (...) {
    fail("a simulated crash escaped its world");
}
