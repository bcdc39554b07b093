#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "veltrana-sim/DataStore.h"
#include "veltrana-sim/Ledger.h"
#include "veltrana-sim/UploadRules.h"

namespace ostrell::sim {

// The server's side of one connection, as far as the protocol goes.
struct Session {
    uint64_t id = 0;
    bool loggedOn = false;
    // The records last sent on this connection: an acknowledgement with their number means them.
    std::optional<DataStore::RecordId> lastBooking;
    std::optional<DataStore::RecordId> lastPayment;
};

struct Outcome {
    std::optional<std::string> reply;  // without its line end; nothing: no answer
    bool close = false;                // "quit": close the connection (after the quit pause)
};

// Line in, reply out, with no networking: logon, upload records, download requests and
// acknowledgements, quit. Everything that counts for the tests goes to the ledger here.
class ProtocolCore {
public:
    static constexpr std::string_view Logon = "tolvane|QHT514";

    ProtocolCore(DataStore& store, UploadRules& rules, Ledger& ledger)
        : store_(store), rules_(rules), ledger_(ledger) {}

    // Ledger traces of the transport: a connection opened or closed, a line received (also the ones a
    // fault then drops or ignores).
    void opened(const Session& s);
    void closed(const Session& s, std::string_view reason);
    void received(const Session& s, std::string_view line);
    // An outcome: a fault switch changed what this connection got (a test counts a case only when its
    // fault fired).
    void faultFired(const Session& s, std::string_view fault);

    // Carries out one line (its LF removed; a CR before it is ignored too).
    Outcome handle(Session& s, std::string_view line);

private:
    Outcome upload(Session& s, int kind, std::string_view line);
    Outcome request(Session& s, RecordKind kind, std::string_view bk);
    Outcome acknowledge(Session& s, RecordKind kind, std::string_view number);

    DataStore& store_;
    UploadRules& rules_;
    Ledger& ledger_;
};

}  // namespace ostrell::sim
