#pragma once
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "veltrana-sim/LedgerFormat.h"

namespace ostrell::reliability {

// The outgoing files of the seven kinds (index 1 to 7; 0 unused): content, or nothing when absent.
using OutgoingFiles = std::array<std::optional<std::string>, 8>;

// What the data directory holds after a run, as far as the two invariants care.
struct DataDirState {
    OutgoingFiles outgoing;
    std::string bookings;                        // InBookings.csv ("" when absent)
    std::string payments;                        // Payment.csv
    std::vector<std::string> leftoverTempFiles;  // work files of a cut-down that outlived the run
};

// U: every line that was in an outgoing file before the run was accepted by the server (an ACCEPT in
// the ledger of the same kind whose wire line is that line converted, with batch marker 0 or 1) or is
// still in its file; counted as multisets, so a line that was there twice needs two. A leftover work
// file is a violation too: the host would never see it go.
std::vector<std::string> checkUploads(const std::vector<sim::LedgerEntry>& ledger, const OutgoingFiles& before,
                                      const DataDirState& after);

// D: every record the server saw acknowledged (ACK12 / ACK13) is in its incoming file exactly once,
// as the whole line the agent keeps of the reply. And every line of an incoming file is a record the
// server sent (SEND10 / SEND11): anything else is a record stored damaged.
std::vector<std::string> checkDownloads(const std::vector<sim::LedgerEntry>& ledger, const DataDirState& after);

// Both, U first.
std::vector<std::string> checkInvariants(const std::vector<sim::LedgerEntry>& ledger, const OutgoingFiles& before,
                                         const DataDirState& after);

// The lines of an incoming file: split on LF, one CR before it dropped; a last line without a line end
// is kept as it is (a torn tail).
std::vector<std::string> incomingLines(const std::string& content);

}  // namespace ostrell::reliability
