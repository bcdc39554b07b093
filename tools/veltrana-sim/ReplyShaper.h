#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "veltrana-sim/FaultSwitches.h"

namespace ostrell::sim {

// One write to the client: bytes, or a stream of filler bytes (never CR or LF) too long to hold in
// memory, sent after a pause counted from the end of the previous piece (the first piece: from the
// moment the request came).
struct Piece {
    std::string bytes;
    uint64_t endlessBytes = 0;
    int pauseBeforeMs = 0;
};

// Turns a reply into the writes that carry it, with the switched-on faults: line end, garbage, an extra
// merged line, splitting, delay, the endless line. Random bytes come from a seeded generator so a run
// can be repeated.
class ReplyShaper {
public:
    explicit ReplyShaper(uint64_t seed) : random_(seed) {}

    std::vector<Piece> reply(const FaultSwitches& f, const LineFate& fate, std::string_view text);
    std::vector<Piece> banner(const FaultSwitches& f);

private:
    std::string garbage(size_t n);
    std::vector<Piece> pieces(const FaultSwitches& f, const std::string& payload, int firstPauseMs);

    std::mt19937_64 random_;
};

std::string_view lineEnd(const FaultSwitches& f);

}  // namespace ostrell::sim
