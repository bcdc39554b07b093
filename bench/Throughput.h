#pragma once
#include <cstdint>
#include <string>

#include "Programs.h"

namespace ostrell::bench {

enum class Client {
    Agent,      // the ostrell program
    AgentTls,   // the ostrell program over TLS (the server serving TLS with a throw-away certificate)
    Reference,  // the blocking reference client
    Polled,     // the reference client noticing each reply only after a fixed 200 ms sleep
};
const char* clientName(Client c);

inline constexpr int PollPeriodMs = 200;

// Records per second over one exchange, timed by the test server's counters from the first record
// handled to the last (so start-up, connection and logon are not in it).
struct Pace {
    double perSecond = 0;
    int64_t records = 0;
    double seconds = 0;
    // The client's processor time per record over the same stretch (schedstat): steadier than the pace
    // on a shared machine, where waiting for a processor swings the pace by a factor of several.
    double cpuPerRecord = 0;
};

// Downloads `records` bookings (Polled: stops after `records`).
Pace measureDownload(const ProgramPaths& paths, const std::string& workDir, Client client, int64_t records);
// Uploads a file of `records` lines of kind 6 ("Bookings.csv").
Pace measureUpload(const ProgramPaths& paths, const std::string& workDir, Client client, int64_t records);

// A Brannick outgoing bookings line: quoted fields, a comma inside one, an empty field.
std::string outgoingBookingLine(int64_t n);

}  // namespace ostrell::bench
