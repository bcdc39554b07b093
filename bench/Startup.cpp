#include "Startup.h"

#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace ostrell::bench {

std::vector<double> measureStartup(const ProgramPaths& paths, const std::string& workDir, int runs) {
    RunDir dir(workDir, "startup");
    SimProcess sim(paths, dir, {});
    writeAgentSettings(dir, AgentSettings{sim.port(), dir.data(), "999", "1234", ""});
    const std::string status = dir.path() + "/state/ostrell/status";
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i) {
        std::filesystem::remove(status);
        const double t0 = nowSeconds();
        auto agent = startAgent(paths, dir, "");
        // Looked for every millisecond, for at most 10 s: the figure is some tens of milliseconds.
        for (int look = 0; look < 10000 && !std::filesystem::exists(status); ++look) ::usleep(1000);
        if (!std::filesystem::exists(status)) throw std::runtime_error("the agent wrote no status file");
        seconds.push_back(nowSeconds() - t0);
        agent->stop();
    }
    return seconds;
}

}  // namespace ostrell::bench
