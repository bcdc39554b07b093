#include "IdleAndMemory.h"

#include <stdexcept>

#include "ProcFacts.h"
#include "Throughput.h"

namespace ostrell::bench {

namespace {

// Waits until the agent has ended its connection `cycles` times in all (the server closes after "quit"),
// and then for the rest of that cycle: its quit pause and the release of its memory.
void waitForCycles(SimProcess& sim, Child& agent, int64_t cycles, double timeoutSeconds) {
    const double deadline = nowSeconds() + timeoutSeconds;
    for (;;) {
        const SimStats s = sim.stats();
        if (s.connections >= cycles && s.open == 0) {
            sleepSeconds(1.0);
            return;
        }
        if (!agent.running()) throw std::runtime_error("the agent ended");
        if (nowSeconds() > deadline) throw std::runtime_error("no cycle of the agent within the time");
        sleepSeconds(0.05);
    }
}

}  // namespace

IdleAndMemory measureIdleAndMemory(const ProgramPaths& paths, const std::string& workDir, double windowSeconds,
                                   int64_t loadRecords) {
    IdleAndMemory out;
    out.windowSeconds = windowSeconds;
    out.loadRecords = loadRecords;
    RunDir dir(workDir, "idle");
    SimProcess sim(paths, dir, {});
    writeAgentSettings(dir, AgentSettings{sim.port(), dir.data(), "", "1234", ""});  // the default cycle length
    auto agent = startAgent(paths, dir, dir.path() + "/agent.out");

    // Past start-up and the first cycle, which runs at the first tick.
    waitForCycles(sim, *agent, 1, 30);

    const int64_t c0 = sim.stats().connections;
    const ProcFacts f0 = readProcFacts(agent->pid());
    const double t0 = nowSeconds();
    sleepSeconds(windowSeconds);
    const ProcFacts f1 = readProcFacts(agent->pid());
    const double t1 = nowSeconds();
    out.cycles = sim.stats().connections - c0;
    const double seconds = t1 - t0;
    out.cpuPercent = (f1.cpuSeconds - f0.cpuSeconds) / seconds * 100;
    out.runPercent = (f1.runSeconds - f0.runSeconds) / seconds * 100;
    out.wakeupsPerSecond = static_cast<double>(f1.contextSwitches - f0.contextSwitches) / seconds;
    out.rssIdleKiB = f1.rssKiB;
    if (loadRecords <= 0) return out;

    // The next cycle downloads them all; cycles come every 16 s or so.
    const double loadTimeout = 60 + static_cast<double>(loadRecords) / 500;
    sim.command("set bookings 1234:" + std::to_string(loadRecords));
    {
        const double deadline = nowSeconds() + loadTimeout;
        while (sim.stats().bookingsPending > 0) {
            if (nowSeconds() > deadline) throw std::runtime_error("the download did not finish");
            sleepSeconds(0.1);
        }
    }
    waitForCycles(sim, *agent, sim.stats().connections, 30);
    out.rssAfterDownloadKiB = readProcFacts(agent->pid()).rssKiB;

    std::string content;
    for (int64_t n = 1; n <= loadRecords; ++n) content += outgoingBookingLine(n) + "\r\n";
    const std::string file = dir.data() + "Bookings.csv";
    writeFile(file, content);
    content = std::string();
    {
        const double deadline = nowSeconds() + loadTimeout;
        while (fileExists(file)) {
            if (nowSeconds() > deadline) throw std::runtime_error("the upload did not finish");
            sleepSeconds(0.1);
        }
    }
    waitForCycles(sim, *agent, sim.stats().connections, 30);
    out.rssAfterUploadKiB = readProcFacts(agent->pid()).rssKiB;

    waitForCycles(sim, *agent, sim.stats().connections + 1, 40);
    out.rssSettledKiB = readProcFacts(agent->pid()).rssKiB;
    return out;
}

}  // namespace ostrell::bench
