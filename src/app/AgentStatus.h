#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace ostrell::app {

// What the agent leaves in its status file for `ostrell --status`.
struct AgentStatus {
    int64_t pid = 0;
    std::string server;       // "host:port"
    int cycleSeconds = 15;    // "TimeOut" when it was written
    std::string lastAttempt;  // ISO 8601 with offset; empty when none yet
    std::string lastSuccess;  // likewise
};

// One "key=value" line per field.
std::string statusFileText(const AgentStatus& s);
// Unknown lines are skipped, missing ones keep their defaults.
AgentStatus parseStatusFile(const std::string& text);

// Seconds since the epoch of "YYYY-MM-DDTHH:MM:SS" followed by "Z" or an offset "+HH:MM"; nothing for
// any other text.
std::optional<int64_t> epochSecondsOf(const std::string& iso);

// The link counts as healthy while the last success lies within three cycles plus a minute.
bool lastSuccessRecent(int64_t nowEpochSeconds, const std::string& lastSuccess, int cycleSeconds);

// "14:05:25" for an ISO time of 14:05:10 and 15 seconds; empty when the text has no time of day.
std::string clockTimeAfter(const std::string& iso, int seconds);

// "14:05" of an ISO time, for messages; the text as it is when it has no time of day.
std::string clockTimeOf(const std::string& iso);

}  // namespace ostrell::app
