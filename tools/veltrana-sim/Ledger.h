#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace ostrell::sim {

// The server's append-only record of what it received and what was acknowledged (format in
// LedgerFormat.h and the README). Each line goes out in one write() on a descriptor kept open, then
// fsync(), so a line a test reads is on disk and whole. Without a path nothing is written.
class Ledger {
public:
    Ledger() = default;
    ~Ledger();
    Ledger(const Ledger&) = delete;
    Ledger& operator=(const Ledger&) = delete;

    // Opens (creates) the file for appending. sync=false skips the fsync (benchmarks only).
    bool open(const std::string& path, bool sync, std::string& error);
    // Trace events (every line received, connections, records sent) are left out when quiet; outcome
    // events (acceptances, refusals, acknowledgements) are always written.
    void setQuiet(bool quiet) { quiet_ = quiet; }

    void outcome(std::string_view event, const std::vector<std::string_view>& fields);
    void trace(std::string_view event, const std::vector<std::string_view>& fields);

    // The first write or fsync failure, if any: the server stops then, since its ledger cannot be trusted.
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }

private:
    void write(std::string_view event, const std::vector<std::string_view>& fields);

    int fd_ = -1;
    bool sync_ = true;
    bool quiet_ = false;
    std::string error_;
};

}  // namespace ostrell::sim
