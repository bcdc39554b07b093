#include "app/CycleSummary.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace ostrell::app {

void SummaryCounter::lineAccepted(const std::string& fileName) {
    auto file = std::find_if(summary_.linesAccepted.begin(), summary_.linesAccepted.end(),
                             [&](const auto& counted) { return counted.first == fileName; });
    if (file == summary_.linesAccepted.end()) file = summary_.linesAccepted.insert(file, {fileName, 0});
    ++file->second;
}

void SummaryCounter::recordStored(const std::string& bkNumber, cycle::RecordKind kind) {
    auto bk = std::find_if(summary_.stored.begin(), summary_.stored.end(),
                           [&](const CycleSummary::Stored& s) { return s.bkNumber == bkNumber; });
    if (bk == summary_.stored.end()) bk = summary_.stored.insert(bk, {bkNumber, 0, 0});
    ++(kind == cycle::RecordKind::Booking ? bk->bookings : bk->payments);
}

namespace {
std::string plural(int n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

std::string reasonOf(const CycleSummary& s) {
    return s.failure.empty() ? "no connection within the connection wait" : s.failure;
}

std::string logonUnansweredText(const CycleSummary& s) {
    return "no answer to the logon from " + s.host + ":" + std::to_string(s.port);
}
}  // namespace

std::string cycleSummaryLine(const CycleSummary& s) {
    const std::string server = s.host + ":" + std::to_string(s.port);
    std::string line = "cycle: ";
    if (!s.connected) {
        // A cycle that never reached the server failed, whether or not anything was reported on the way.
        line = "cycle failed: " +
               (s.logonUnanswered ? logonUnansweredText(s) : "not connected to " + server + " (" + reasonOf(s) + ")");
        if (s.errors > 0) line += ", " + plural(s.errors, "error", "errors");
    } else {
        line += "connected to " + server;
        std::string sent;
        for (const auto& [fileName, lines] : s.linesAccepted)
            sent += (sent.empty() ? "" : ", ") + fileName + " " + plural(lines, "line", "lines");
        line += sent.empty() ? ", nothing sent" : ", sent " + sent;
        std::string stored;
        for (const CycleSummary::Stored& bk : s.stored) {
            if (bk.bookings == 0 && bk.payments == 0) continue;
            stored += (stored.empty() ? "" : ", ") + bk.bkNumber + ": " + plural(bk.bookings, "booking", "bookings") +
                      " " + plural(bk.payments, "payment", "payments");
        }
        line += stored.empty() ? ", nothing stored" : ", stored " + stored;
    }
    std::array<char, 32> seconds{};
    std::snprintf(seconds.data(), seconds.size(), "%.1f s", static_cast<double>(s.durationMs) / 1000.0);
    if (s.connected) line += ", " + plural(s.errors, "error", "errors");
    return line + ", " + seconds.data();
}

std::string recoveryLine(const CycleSummary& s, int failedCycles, const std::string& since) {
    return "contact with " + s.host + ":" + std::to_string(s.port) + " again after " +
           plural(failedCycles, "failed cycle", "failed cycles") + " (none since " + since + ")";
}

std::string connectionWarning(const CycleSummary& s) {
    if (s.logonUnanswered) return logonUnansweredText(s);
    return "cannot connect to " + s.host + " port " + std::to_string(s.port) + ": " + reasonOf(s);
}

}  // namespace ostrell::app
