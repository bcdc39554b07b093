#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "veltrana-sim/DataStore.h"
#include "veltrana-sim/FaultSwitches.h"
#include "veltrana-sim/UploadRules.h"

namespace ostrell::sim {

// Command-line options. Those that may also change while the server runs (data, upload rules, faults)
// are kept as (name, value) pairs in command-line order and applied with applyLive, at start after
// the data directories are loaded, and later through the admin port.
struct SimOptions {
    int port = 0;                       // --port N (0: a free port)
    std::string portFile;               // --port-file F
    int adminPort = -1;                 // --admin-port N (0: a free port); off by default
    std::string adminPortFile;          // --admin-port-file F
    std::vector<std::string> dataDirs;  // --data DIR (repeatable)
    std::string ledgerPath;             // --ledger FILE
    bool ledgerQuiet = false;           // --ledger-quiet
    bool ledgerSync = true;             // --ledger-nosync turns it off
    int exitAfterIdleMs = 0;            // --exit-after-idle-ms N
    uint64_t seed = 1;                  // --seed N
    bool help = false;                  // --help
    std::string tlsCertificate;         // --tls-cert FILE (PEM): serve TLS
    std::string tlsKey;                 // --tls-key FILE (PEM)
    std::vector<std::pair<std::string, std::string>> live;
};

bool parseOptions(const std::vector<std::string>& args, SimOptions& out, std::string& error);

// Names accepted by applyLive: the fault switches, "bookings", "payments", "bad-bookings",
// "bad-payments" (BK:N), "refuse", "bad", "silent" (KIND:WHICH), "refuse-text" (TEXT),
// "expire-after" (N), "clear-rules" and "clear-faults" (no value).
bool applyLive(std::string_view name, std::string_view value, DataStore& store, UploadRules& rules,
               FaultSwitches& faults, std::string& error);

std::string usageText();

}  // namespace ostrell::sim
