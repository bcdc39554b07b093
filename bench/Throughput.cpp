#include "Throughput.h"

#include <stdexcept>

#include "ProcFacts.h"

namespace ostrell::bench {

namespace {

constexpr const char* Bk = "1234";
constexpr double SampleSeconds = 0.003;

std::unique_ptr<Child> startClient(const ProgramPaths& paths, const RunDir& dir, Client client, int port,
                                   std::vector<std::string> options, int64_t records) {
    if (client == Client::Agent || client == Client::AgentTls) {
        // One cycle only: the first tick runs it, the next would come after 1,000 seconds.
        const std::string tls =
            client == Client::AgentTls ? "TLS=Yes\nTLSCA=" + paths.certificates + "/ca.pem\nTLSName=localhost\n" : "";
        writeAgentSettings(dir, AgentSettings{port, dir.data(), "999", Bk, tls});
        return startAgent(paths, dir, dir.path() + "/agent.out");
    }
    options.insert(options.end(), {"--bk", Bk});
    if (client == Client::Polled)
        options.insert(options.end(),
                       {"--poll-ms", std::to_string(PollPeriodMs), "--max-records", std::to_string(records)});
    return startReference(paths, dir, port, options);
}

// Samples a counter of the test server until it reaches `last`; the pace is taken between the first
// sample that moved past `first` and the one that reached `last`.
template <class Read>
Pace follow(SimProcess& sim, Child& client, int64_t first, int64_t last, double timeoutSeconds, Read read) {
    const double deadline = nowSeconds() + timeoutSeconds;
    bool started = false;
    double t0 = 0;
    int64_t v0 = 0;
    // Processor time: at the start, and the latest reading with its count (the reference client may end
    // right after its last record, before it can be read again).
    double cpu0 = -1, cpuLast = -1;
    int64_t cpuCount = 0;
    const auto cpuNow = [&]() -> double {
        try {
            return readProcFacts(client.pid()).runSeconds;
        } catch (const std::exception&) {
            return -1;
        }
    };
    for (;;) {
        const int64_t v = read(sim.stats());
        const double t = nowSeconds();
        const double cpu = started && v < last ? cpuNow() : -1;
        if (cpu >= 0) {
            cpuLast = cpu;
            cpuCount = v;
        }
        if (!started && v > first) {
            started = true;
            t0 = t;
            v0 = v;
            cpu0 = cpuNow();
        }
        if (v >= last) {
            if (!started || t <= t0 || v == v0) throw std::runtime_error("exchange too short to time");
            const double lastCpu = cpuNow();
            if (lastCpu >= 0) {
                cpuLast = lastCpu;
                cpuCount = v;
            }
            const double perRecord = cpu0 >= 0 && cpuLast > cpu0 && cpuCount > v0
                                         ? (cpuLast - cpu0) / static_cast<double>(cpuCount - v0)
                                         : 0;
            return Pace{static_cast<double>(v - v0) / (t - t0), v - v0, t - t0, perRecord};
        }
        if (t > deadline) throw std::runtime_error("exchange did not finish in time");
        if (!client.running() && v < last) {
            // The reference ends right after its last reply; give the server's counter a moment.
            sleepSeconds(0.05);
            if (read(sim.stats()) < last) throw std::runtime_error(std::string("the client ended early"));
        }
        sleepSeconds(SampleSeconds);
    }
}

// The server's options for the client: TLS with the throw-away certificate for the agent over TLS.
std::vector<std::string> serverOptions(const ProgramPaths& paths, Client client, std::vector<std::string> options) {
    if (client == Client::AgentTls)
        options.insert(options.end(), {"--tls-cert", paths.certificates + "/server.pem", "--tls-key",
                                       paths.certificates + "/server.key"});
    return options;
}

}  // namespace

const char* clientName(Client c) {
    switch (c) {
        case Client::Agent: return "agent";
        case Client::AgentTls: return "agent-tls";
        case Client::Reference: return "reference";
        case Client::Polled: return "polled";
    }
    return "?";
}

Pace measureDownload(const ProgramPaths& paths, const std::string& workDir, Client client, int64_t records) {
    RunDir dir(workDir, std::string("download-") + clientName(client));
    SimProcess sim(paths, dir,
                   serverOptions(paths, client, {"--bookings", std::string(Bk) + ":" + std::to_string(records)}));
    auto c = startClient(paths, dir, client, sim.port(), {}, records);
    // Counted as records acknowledged: pending goes from `records` down to 0.
    const Pace pace = follow(sim, *c, 0, records, 600, [&](const SimStats& s) { return records - s.bookingsPending; });
    c->stop();
    const int64_t stored = countLines(dir.data() + "InBookings.csv");
    if (stored != records)
        throw std::runtime_error(std::string(clientName(client)) + " stored " + std::to_string(stored) + " of " +
                                 std::to_string(records));
    return pace;
}

std::string outgoingBookingLine(int64_t n) {
    const std::string id = std::to_string(100000 + n);
    return '"' + id + R"(","2027-01-02","2027-01-05","Meyer","Anna","Hauptstr. )" + std::to_string(n % 97) +
           R"(, Berlin","DE","2","1","DBL",,")" + std::to_string(80 + n % 50) + R"(.00","EUR")";
}

Pace measureUpload(const ProgramPaths& paths, const std::string& workDir, Client client, int64_t records) {
    RunDir dir(workDir, std::string("upload-") + clientName(client));
    SimProcess sim(paths, dir, serverOptions(paths, client, {}));
    const std::string file = dir.data() + "Bookings.csv";
    std::string content;
    for (int64_t n = 1; n <= records; ++n) content += outgoingBookingLine(n) + "\r\n";
    writeFile(file, content);
    auto c = startClient(paths, dir, client, sim.port(), {"--upload", file, "--kind", "6"}, records);
    // Counted as lines the server received: the logon is line 1, the records follow.
    const Pace pace = follow(sim, *c, 1, records + 1, 600, [](const SimStats& s) { return s.lines; });
    if (client != Client::Polled) {
        // Sent in full: the file goes.
        const double deadline = nowSeconds() + 30;
        while (fileExists(file) && nowSeconds() < deadline) sleepSeconds(0.01);
        if (fileExists(file)) throw std::runtime_error(std::string(clientName(client)) + " left the upload file");
    }
    c->stop();
    return pace;
}

}  // namespace ostrell::bench
