#include "Startup.h"

#include <stdexcept>

namespace ostrell::bench {

std::vector<double> measureStartup(const ProgramPaths& paths, const std::string& workDir, int runs) {
    RunDir dir(workDir, "startup");
    SimProcess sim(paths, dir, {});
    writeAgentSettings(dir, AgentSettings{sim.port(), dir.data(), "999", "1234", ""});
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i) {
        const double t0 = nowSeconds();
        auto agent = startAgent(paths, dir, "");
        if (!agent->waitForLine(ReadyText, 10)) throw std::runtime_error("the agent printed no ready line");
        seconds.push_back(nowSeconds() - t0);
        agent->stop();
    }
    return seconds;
}

}  // namespace ostrell::bench
