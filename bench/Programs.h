#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Child.h"

namespace ostrell::bench {

// Where the programs under test are.
struct ProgramPaths {
    std::string agent;
    std::string sim;
    std::string reference;
    std::string certificates;  // a directory made by scripts/make-test-certs.sh, for the TLS rounds
};

// A fresh directory for one run: config/ (the agent's XDG_CONFIG_HOME) and data/ (its data directory).
class RunDir {
public:
    RunDir(const std::string& parent, const std::string& name);
    ~RunDir();
    RunDir(const RunDir&) = delete;
    RunDir& operator=(const RunDir&) = delete;

    const std::string& path() const { return path_; }
    std::string data() const { return path_ + "/data/"; }  // ends with its separator, as DataDir does
    std::string config() const { return path_ + "/config"; }

private:
    std::string path_;
};

// The counters the test server's admin port gives.
struct SimStats {
    int64_t bookingsPending = 0;
    int64_t paymentsPending = 0;
    int64_t lines = 0;
    int64_t connections = 0;
    int64_t open = 0;
};

// veltrana-sim on a free loopback port with its admin port, no ledger (a ledger would add the server's
// own fsyncs to every record).
class SimProcess {
public:
    SimProcess(const ProgramPaths& paths, const RunDir& dir, const std::vector<std::string>& options);
    ~SimProcess();

    int port() const { return port_; }
    SimStats stats();
    // An admin command ("set bookings 1234:100"); throws unless the answer is OK.
    void command(const std::string& line);
    pid_t pid() const { return child_->pid(); }

private:
    std::string ask(const std::string& line);

    std::unique_ptr<Child> child_;
    int port_ = 0;
    int adminPort_ = 0;
    int admin_ = -1;
    std::string buffer_;
};

// The agent's settings as the host writes them.
struct AgentSettings {
    int serverPort = 0;
    std::string dataDir;
    std::string timeOut;  // empty: the default
    std::string bk = "1234";
    std::string extraLines;  // more [Ostrell] lines, each ended by LF
};
void writeAgentSettings(const RunDir& dir, const AgentSettings& s);

// The real ostrell program, headless as it runs unattended (its line per cycle, no monitor trace),
// its output going to stdoutPath (empty: a pipe).
std::unique_ptr<Child> startAgent(const ProgramPaths& paths, const RunDir& dir, const std::string& stdoutPath);

// The reference client with the given extra options.
std::unique_ptr<Child> startReference(const ProgramPaths& paths, const RunDir& dir, int port,
                                      const std::vector<std::string>& options);

// Lines in a file (0 when missing).
int64_t countLines(const std::string& path);
bool fileExists(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

}  // namespace ostrell::bench
