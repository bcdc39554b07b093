#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ostrell::platform {

// Keeps a report that comes again and again (a missing importer every cycle, a server that stays down)
// from flooding the system log: the first one is written, repeats are counted, and at most once an hour
// a line says how often it came meanwhile.
class RepeatFilter {
public:
    static constexpr int64_t SummaryEveryMs = int64_t{3600} * 1000;
    static constexpr size_t MaxTexts = 256;

    // The line to write for this report now, or nothing when it is a counted repeat.
    std::optional<std::string> pass(const std::string& text, int64_t nowMs);
    // Forgets every text, so that the next of each is written; returns the counts still owed, as lines.
    std::vector<std::string> forget();

private:
    struct Seen {
        int64_t writtenMs = 0;
        int64_t repeats = 0;
    };
    std::map<std::string, Seen> seen_;
};

}  // namespace ostrell::platform
