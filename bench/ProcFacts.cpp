#include "ProcFacts.h"

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace ostrell::bench {

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int64_t statusField(const std::string& status, const std::string& name) {
    const size_t at = status.find("\n" + name + ":");
    if (at == std::string::npos) return 0;
    return std::stoll(status.substr(at + name.size() + 2));
}

}  // namespace

ProcFacts readProcFacts(pid_t pid) {
    const std::string base = "/proc/" + std::to_string(pid);
    ProcFacts f;
    // Fields after the command name (which may hold blanks): utime and stime are the 14th and 15th.
    const std::string stat = readText(base + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int n = 3; fields >> field; ++n) {
        if (n == 14) utime = std::stoll(field);
        if (n == 15) {
            stime = std::stoll(field);
            break;
        }
    }
    f.cpuSeconds = static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
    f.rssKiB = statusField(readText(base + "/status"), "VmRSS");

    DIR* dir = opendir((base + "/task").c_str());
    if (!dir) throw std::runtime_error("process " + std::to_string(pid) + " is gone");
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        const std::string task = base + "/task/" + e->d_name;
        try {
            const std::string status = readText(task + "/status");
            // Voluntary only: a wake-up is the program going to sleep and being woken; an involuntary switch
            // is other load taking the processor from it.
            f.contextSwitches += statusField(status, "voluntary_ctxt_switches");
            std::istringstream sched(readText(task + "/schedstat"));
            long long ns = 0;
            sched >> ns;
            f.runSeconds += static_cast<double>(ns) / 1e9;
            ++f.threads;
        } catch (const std::exception&) {
            // a thread that ended between the listing and the read
        }
    }
    closedir(dir);
    return f;
}

}  // namespace ostrell::bench
