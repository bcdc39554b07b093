// The benchmark suite: runs the ostrell program, the reference client and the test server on loopback,
// and the product's units in-process, and prints one table of ratios measured in this run.
//
//   ostrell_bench [--quick | --smoke] [--rounds N] [--idle-seconds S] [--work DIR] [--agent PATH]
//                 [--only a,b,...]
//
// Sections (--only): download, upload, tls, polling, idle (with memory), startup, scaling. Default work
// directory: /dev/shm when it exists (so the per-record fsync costs what the page cache costs and the
// ratios show the programs' own overhead), else $TMPDIR or /tmp.
#include <fcntl.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "IdleAndMemory.h"
#include "Programs.h"
#include "Scaling.h"
#include "Startup.h"
#include "Table.h"
#include "Throughput.h"

using namespace ostrell::bench;

namespace {

struct Plan {
    std::string mode = "full";
    int rounds = 7;
    int64_t downloadRecords = 20000;
    int64_t uploadRecords = 10000;
    int64_t polledDownload = 10;
    int64_t polledUpload = 20;
    double idleSeconds = 60;
    int64_t memoryRecords = 100000;
    int startupRuns = 7;
    int64_t scalingSmall = 1000;
    int64_t scalingLarge = 100000;
    std::set<std::string> only;
    std::string work;
    ProgramPaths paths{OSTRELL_AGENT_EXE, OSTRELL_SIM_EXE, OSTRELL_REFERENCE_EXE, ""};

    bool wants(const std::string& section) const { return only.empty() || only.count(section) > 0; }
};

Plan parse(int argc, char** argv) {
    Plan p;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) throw std::runtime_error(a + " needs a value");
            return argv[++i];
        };
        if (a == "--quick") {
            p.mode = "quick";
            p.rounds = 3;
            p.downloadRecords = 5000;
            p.uploadRecords = 3000;
            p.polledDownload = 5;
            p.polledUpload = 10;
            p.idleSeconds = 20;
            p.memoryRecords = 10000;
            p.startupRuns = 5;
        } else if (a == "--smoke") {
            p.mode = "smoke";
            p.rounds = 1;
            p.downloadRecords = 300;
            p.uploadRecords = 300;
            p.polledDownload = 2;
            p.polledUpload = 3;
            p.idleSeconds = 2;
            p.memoryRecords = 0;
            p.startupRuns = 2;
            p.scalingSmall = 100;
            p.scalingLarge = 2000;
        } else if (a == "--rounds") p.rounds = std::max(1, std::atoi(next().c_str()));
        else if (a == "--idle-seconds") p.idleSeconds = std::atof(next().c_str());
        else if (a == "--work") p.work = next();
        else if (a == "--agent") p.paths.agent = next();  // another build of the program, to compare
        else if (a == "--only") {
            std::stringstream list(next());
            for (std::string s; std::getline(list, s, ',');) p.only.insert(s);
        } else {
            std::cerr << "usage: ostrell_bench [--quick | --smoke] [--rounds N] [--idle-seconds S] [--work DIR]"
                         " [--agent PATH] [--only download,upload,tls,polling,idle,startup,scaling]\n";
            std::exit(2);
        }
    }
    return p;
}

std::string defaultWorkParent() {
    if (std::filesystem::is_directory("/dev/shm") && ::access("/dev/shm", W_OK) == 0) return "/dev/shm";
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

bool onTmpfs(const std::string& path) {
    struct statfs s {};
    return ::statfs(path.c_str(), &s) == 0 && s.f_type == 0x01021994;  // TMPFS_MAGIC
}

// A writable directory on a real disk, where the host's settings file would live.
std::string diskDirectory() {
    std::vector<std::string> candidates;
    if (const char* d = std::getenv("OSTRELL_BENCH_DISK")) candidates.emplace_back(d);
    if (const char* d = std::getenv("TMPDIR")) candidates.emplace_back(d);
    candidates.insert(candidates.end(), {"/var/tmp", "/tmp", std::filesystem::current_path().string()});
    for (const auto& c : candidates)
        if (!c.empty() && std::filesystem::is_directory(c) && ::access(c.c_str(), W_OK) == 0 && !onTmpfs(c)) return c;
    return {};
}

// Milliseconds one append with fsync takes in dir, for the header: the disk sets the pace of durable work.
double fsyncMs(const std::string& dir) {
    const std::string path = dir + "/fsync-probe";
    const int runs = 50;
    const double t0 = nowSeconds();
    for (int i = 0; i < runs; ++i) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return -1;
        const ssize_t written = ::write(fd, "probe line\r\n", 12);
        const int synced = ::fsync(fd);
        ::close(fd);
        if (written != 12 || synced != 0) return -1;
    }
    const double ms = (nowSeconds() - t0) * 1000 / runs;
    ::unlink(path.c_str());
    return ms;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The agent and the minimal client, back to back in each round (who goes first alternates, so the
// machine's drift falls on both); the ratio is taken per round, and its median reported.
struct Paired {
    std::vector<double> ratios, agent, reference, agentCpu, referenceCpu;
    double ratio() const { return median(ratios); }
    std::string detail(const std::string& what) const {
        const auto [lo, hi] = std::minmax_element(ratios.begin(), ratios.end());
        return "agent " + grouped(median(agent)) + "/s, minimal " + grouped(median(reference)) + "/s; " + what +
               ", median of " + std::to_string(ratios.size()) + " rounds (" + fixed(*lo, 2) + " to " + fixed(*hi, 2) +
               "); processor time per record: agent " + fixed(median(agentCpu) * 1e6, 1) + " µs, minimal " +
               fixed(median(referenceCpu) * 1e6, 1) + " µs";
    }
};

template <class Measure>
Paired paired(int rounds, Measure measure, Client first = Client::Agent, Client second = Client::Reference) {
    Paired p;
    for (int r = 0; r < rounds; ++r) {
        Pace a, b;
        if (r % 2 == 0) {
            a = measure(first);
            b = measure(second);
        } else {
            b = measure(second);
            a = measure(first);
        }
        p.agent.push_back(a.perSecond);
        p.reference.push_back(b.perSecond);
        p.agentCpu.push_back(a.cpuPerRecord);
        p.referenceCpu.push_back(b.cpuPerRecord);
        p.ratios.push_back(a.perSecond / b.perSecond);
    }
    return p;
}

Table::Verdict atLeast(double value, double target) {
    return value >= target ? Table::Verdict::Met : Table::Verdict::Missed;
}
Table::Verdict below(double value, double target) {
    return value < target ? Table::Verdict::Met : Table::Verdict::Missed;
}
// How many poll periods a polled reply took: a fair baseline notices each reply at its first poll (1.0).
std::string pollsPerReply(double recordsPerSecond, int repliesPerRecord) {
    const double periods = 1000.0 / (recordsPerSecond * repliesPerRecord * PollPeriodMs);
    return fixed(periods, 2) + " polls";
}

Table::Verdict atMost(double value, double target) {
    return value <= target ? Table::Verdict::Met : Table::Verdict::Missed;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication qt(argc, argv);  // the scaling section runs the product's units on the Qt clock
    Plan plan;
    try {
        plan = parse(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 2;
    }
    const std::string parent = plan.work.empty() ? defaultWorkParent() : plan.work;
    std::array<char, 4096> pattern{};
    std::snprintf(pattern.data(), pattern.size(), "%s/ostrell-bench.XXXXXX", parent.c_str());
    if (!::mkdtemp(pattern.data())) {
        std::cerr << "cannot make a work directory in " << parent << "\n";
        return 1;
    }
    const std::string work = pattern.data();

    std::cout << "Ostrell benchmarks (" << plan.mode << "), " << sysconf(_SC_NPROCESSORS_ONLN) << " cores, work in "
              << work << (onTmpfs(work) ? " (tmpfs)" : "") << "\n";
    const double fsyncHere = fsyncMs(work);
    const double fsyncDisk = fsyncMs(std::filesystem::current_path().string());
    std::cout << "one append + fsync: " << fixed(fsyncHere, 3) << " ms in the work directory, " << fixed(fsyncDisk, 3)
              << " ms in the current directory\n"
              << std::flush;

    Table table;
    int status = 0;
    try {
        double agentDown = 0, agentUp = 0;  // records per second, for the polling comparison
        // The agent against the minimal client, on tmpfs (the programs' own cost) and on a disk directory
        // (where both wait for the disk's fsync; fewer records, as each costs a disk flush).
        const std::string disk = diskDirectory();
        struct Place {
            std::string where, dir;
            int64_t divisor;
        };
        std::vector<Place> places{{onTmpfs(work) ? "tmpfs" : "work directory", work, 1}};
        std::string diskWork;
        if (!disk.empty() && !onTmpfs(disk) && plan.mode != "smoke") {
            std::array<char, 4096> diskPattern{};
            std::snprintf(diskPattern.data(), diskPattern.size(), "%s/ostrell-bench.XXXXXX", disk.c_str());
            if (::mkdtemp(diskPattern.data())) {
                diskWork = diskPattern.data();
                places.push_back({"disk " + disk, diskWork, 10});
            }
        }
        for (const Place& place : places) {
            if (plan.wants("download")) {
                const int64_t n = plan.downloadRecords / place.divisor;
                std::cout << "download (" << place.where << "): " << plan.rounds << " rounds of " << n << " bookings..."
                          << std::endl;
                const Paired p =
                    paired(plan.rounds, [&](Client c) { return measureDownload(plan.paths, place.dir, c, n); });
                if (agentDown == 0) agentDown = median(p.agent);
                table.add({"Download records/s, agent ÷ minimal client, " + place.where, fixed(p.ratio(), 2), "≥ 0.9",
                           atLeast(p.ratio(), 0.9), p.detail(grouped(static_cast<double>(n)) + " bookings")});
            }
            if (plan.wants("upload")) {
                const int64_t n = plan.uploadRecords / place.divisor;
                std::cout << "upload (" << place.where << "): " << plan.rounds << " rounds of " << n << " lines..."
                          << std::endl;
                const Paired p =
                    paired(plan.rounds, [&](Client c) { return measureUpload(plan.paths, place.dir, c, n); });
                if (agentUp == 0) agentUp = median(p.agent);
                table.add({"Upload records/s, agent ÷ minimal client, " + place.where, fixed(p.ratio(), 2), "≥ 0.9",
                           atLeast(p.ratio(), 0.9), p.detail(grouped(static_cast<double>(n)) + "-line file")});
            }
        }
        if (!diskWork.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(diskWork, ignored);
        }
        if (plan.wants("tls")) {
            // The agent over TLS against itself in clear text, on tmpfs: what the encryption costs.
            plan.paths.certificates = work + "/certificates";
            if (std::system(
                    (std::string(OSTRELL_MAKE_CERTS) + " " + plan.paths.certificates + " >/dev/null 2>&1").c_str()) !=
                0)
                throw std::runtime_error("cannot make the throw-away certificates (openssl)");
            for (const bool down : {true, false}) {
                const int64_t n = down ? plan.downloadRecords : plan.uploadRecords;
                std::cout << "tls: " << plan.rounds << " rounds of " << n << (down ? " bookings" : " upload lines")
                          << " over TLS and in clear text..." << std::endl;
                const Paired p = paired(
                    plan.rounds,
                    [&](Client c) {
                        return down ? measureDownload(plan.paths, work, c, n) : measureUpload(plan.paths, work, c, n);
                    },
                    Client::AgentTls, Client::Agent);
                const auto [lo, hi] = std::minmax_element(p.ratios.begin(), p.ratios.end());
                table.add({std::string(down ? "Download" : "Upload") + " records/s, agent over TLS ÷ clear text, " +
                               (onTmpfs(work) ? "tmpfs" : "work directory"),
                           fixed(p.ratio(), 2), "recorded", Table::Verdict::Info,
                           "TLS " + grouped(median(p.agent)) + "/s, clear text " + grouped(median(p.reference)) +
                               "/s; " + grouped(static_cast<double>(n)) + (down ? " bookings" : "-line file") +
                               ", median of " + std::to_string(p.ratios.size()) + " rounds (" + fixed(*lo, 2) + " to " +
                               fixed(*hi, 2) + "); processor time per record: TLS " +
                               fixed(median(p.agentCpu) * 1e6, 1) + " µs, clear text " +
                               fixed(median(p.referenceCpu) * 1e6, 1) + " µs"});
            }
        }
        if (plan.wants("polling")) {
            std::cout << "polling baseline: " << plan.polledDownload << " bookings and " << plan.polledUpload
                      << " upload lines at " << PollPeriodMs << " ms polls..." << std::endl;
            if (agentDown == 0)
                agentDown = measureDownload(plan.paths, work, Client::Agent, plan.downloadRecords).perSecond;
            if (agentUp == 0) agentUp = measureUpload(plan.paths, work, Client::Agent, plan.uploadRecords).perSecond;
            const Pace down = measureDownload(plan.paths, work, Client::Polled, plan.polledDownload);
            const Pace up = measureUpload(plan.paths, work, Client::Polled, plan.polledUpload);
            const double downGain = agentDown / down.perSecond;
            const double upGain = agentUp / up.perSecond;
            table.add({"Download speed-up over replies noticed at 200 ms polls", fixed(downGain, 0) + "×", "≥ 100×",
                       atLeast(downGain, 100),
                       "polled " + fixed(down.perSecond, 2) + " records/s over " + std::to_string(down.records) +
                           " records, " + pollsPerReply(down.perSecond, 2) +
                           " per reply (record and acknowledgement)"});
            table.add({"Upload speed-up over replies noticed at 200 ms polls", fixed(upGain, 0) + "×", "≥ 100×",
                       atLeast(upGain, 100),
                       "polled " + fixed(up.perSecond, 2) + " records/s over " + std::to_string(up.records) +
                           " records, " + pollsPerReply(up.perSecond, 1) + " per reply"});
        }
        if (plan.wants("idle")) {
            std::cout << "idle: " << plan.idleSeconds << " s window, then memory with " << plan.memoryRecords
                      << " records each way..." << std::endl;
            const IdleAndMemory m = measureIdleAndMemory(plan.paths, work, plan.idleSeconds, plan.memoryRecords);
            const std::string window = fixed(m.windowSeconds, 0) + " s, " + std::to_string(m.cycles) +
                                       " cycles (default TimeOut), server answering NONE";
            table.add({"Idle CPU, % of one core (schedstat)", fixed(m.runPercent, 3) + " %", "< 0.1 %",
                       below(m.runPercent, 0.1), window + "; utime + stime " + fixed(m.cpuPercent, 3) + " %"});
            table.add({"Idle wake-ups per second (voluntary context switches)", fixed(m.wakeupsPerSecond, 2), "≤ 1.0",
                       atMost(m.wakeupsPerSecond, 1.0), window + "; settings and data on tmpfs"});
            if (!disk.empty()) {
                // The same with the settings file on a disk, as on a desktop: each cycle saves two time
                // stamps, and every save waits for the disk.
                std::cout << "idle with the settings on the disk (" << disk << "): " << plan.idleSeconds << " s..."
                          << std::endl;
                std::array<char, 4096> diskPattern{};
                std::snprintf(diskPattern.data(), diskPattern.size(), "%s/ostrell-bench.XXXXXX", disk.c_str());
                if (::mkdtemp(diskPattern.data())) {
                    const IdleAndMemory d = measureIdleAndMemory(plan.paths, diskPattern.data(), plan.idleSeconds, 0);
                    std::error_code ignored;
                    std::filesystem::remove_all(diskPattern.data(), ignored);
                    table.add({"Idle wake-ups per second, settings file on the disk", fixed(d.wakeupsPerSecond, 2),
                               "≤ 1.0", atMost(d.wakeupsPerSecond, 1.0),
                               fixed(d.windowSeconds, 0) + " s, " + std::to_string(d.cycles) + " cycles; CPU " +
                                   fixed(d.runPercent, 3) + " %; " + disk + " (" + fixed(fsyncMs(disk), 2) +
                                   " ms per append + fsync)"});
                }
            }
            const double idleMiB = static_cast<double>(m.rssIdleKiB) / 1024;
            table.add({"Resident size idle, headless (MiB)", fixed(idleMiB, 1), "< 30", below(idleMiB, 30), "VmRSS"});
            if (m.loadRecords > 0) {
                const int64_t peak = std::max({m.rssAfterDownloadKiB, m.rssAfterUploadKiB, m.rssSettledKiB});
                const double growth = static_cast<double>(peak - m.rssIdleKiB) / 1024;
                table.add({"Resident growth after " + grouped(static_cast<double>(m.loadRecords)) +
                               " records down and " + grouped(static_cast<double>(m.loadRecords)) + " lines up (MiB)",
                           fixed(growth, 2), "≤ 2", growth <= 2 ? Table::Verdict::Met : Table::Verdict::Missed,
                           "after download " + fixed(static_cast<double>(m.rssAfterDownloadKiB) / 1024, 1) +
                               ", after upload " + fixed(static_cast<double>(m.rssAfterUploadKiB) / 1024, 1) +
                               ", a cycle later " + fixed(static_cast<double>(m.rssSettledKiB) / 1024, 1) + " MiB"});
            }
        }
        if (plan.wants("startup")) {
            std::cout << "start-up: " << plan.startupRuns << " runs..." << std::endl;
            std::vector<double> s = measureStartup(plan.paths, work, plan.startupRuns);
            std::sort(s.begin(), s.end());
            const double median = s[s.size() / 2] * 1000;
            table.add({"Start-up to ready (spawn to the status file), ms", fixed(median, 0), "< 200",
                       below(median, 200),
                       "median of " + std::to_string(s.size()) + "; fastest " + fixed(s.front() * 1000, 0) +
                           ", slowest " + fixed(s.back() * 1000, 0)});
        }
        if (plan.wants("scaling")) {
            std::cout << "scaling: " << plan.scalingSmall << " and " << plan.scalingLarge << " lines..." << std::endl;
            const Scaling s = measureScaling(work, plan.scalingSmall, plan.scalingLarge);
            const double cut = s.cutDownLarge / s.cutDownSmall;
            const double log = s.logLarge / s.logSmall;
            table.add({"Cut-down per line, " + grouped(static_cast<double>(s.largeLines)) + "-line ÷ " +
                           grouped(static_cast<double>(s.smallLines)) + "-line file",
                       fixed(cut, 2), "≤ 1.5 (linear)", cut <= 1.5 ? Table::Verdict::Met : Table::Verdict::Missed,
                       "half accepted, rest cut down; " + fixed(s.cutDownLarge * 1e6, 1) + " µs and " +
                           fixed(s.cutDownSmall * 1e6, 1) + " µs per line"});
            table.add({"Transfer log per line, through a 5 MiB rotation ÷ small log", fixed(log, 2), "≤ 1.5 (linear)",
                       log <= 1.5 ? Table::Verdict::Met : Table::Verdict::Missed,
                       grouped(static_cast<double>(s.logLargeLines)) + " lines with one rotation vs " +
                           grouped(static_cast<double>(s.logSmallLines)) + "; " + fixed(s.logLarge * 1e6, 1) +
                           " µs and " + fixed(s.logSmall * 1e6, 1) + " µs per line"});
        }
    } catch (const std::exception& e) {
        std::cerr << "benchmark failed: " << e.what() << "\n";
        status = 1;
    }
    std::error_code ignored;
    std::filesystem::remove_all(work, ignored);

    std::cout << "\n";
    table.print(std::cout);
    std::cout << (table.allMet() ? "\nAll measured figures met their targets.\n"
                                 : "\nSome figures missed their targets.\n");
    return status;
}
