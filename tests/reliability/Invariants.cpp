#include "reliability/Invariants.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "download/ReplyClassification.h"
#include "net/ReplyCleanup.h"
#include "upload/OutFileNames.h"
#include "upload/OutLineReading.h"
#include "upload/RecordConversion.h"

namespace ostrell::reliability {

namespace {

bool is(const sim::LedgerEntry& e, const char* event) { return e.event == event; }

// The line the agent keeps of a record reply: trimmed, from its first double quote on.
std::string storedForm(const std::string& prefix, const std::string& line) {
    return download::recordLine(net::trimBlanks(prefix + line));
}

std::string shorten(const std::string& text) { return text.size() <= 80 ? text : text.substr(0, 77) + "..."; }

}  // namespace

std::vector<std::string> incomingLines(const std::string& content) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(content.substr(start));
            break;
        }
        size_t stop = end;
        if (stop > start && content[stop - 1] == '\r') --stop;
        lines.push_back(content.substr(start, stop - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> checkUploads(const std::vector<sim::LedgerEntry>& ledger, const OutgoingFiles& before,
                                      const DataDirState& after) {
    std::vector<std::string> violations;
    // Accepted wire lines per kind, as a multiset.
    std::array<std::map<std::string, size_t>, 8> accepted;
    for (const auto& e : ledger)
        if (is(e, "ACCEPT") && e.fields.size() >= 3) {
            const int kind = std::atoi(e.fields[1].c_str());
            if (kind >= upload::FirstOutKind && kind <= upload::LastOutKind) ++accepted[kind][e.fields[2]];
        }

    for (int kind = upload::FirstOutKind; kind <= upload::LastOutKind; ++kind) {
        if (!before[kind]) continue;
        std::map<std::string, size_t> wanted;
        for (const auto& line : upload::readOutLines(*before[kind])) ++wanted[line];
        std::map<std::string, size_t> remaining;
        if (after.outgoing[kind])
            for (const auto& line : upload::readOutLines(*after.outgoing[kind])) ++remaining[line];

        for (const auto& [line, count] : wanted) {
            size_t have = remaining.count(line) ? remaining[line] : 0;
            // The batch marker alternates per file sent in full, so a record may have gone with either.
            std::set<std::string> wires;
            for (int16_t marker : {0, 1}) wires.insert(upload::convertRecord(kind, line, marker).text);
            for (const auto& wire : wires) {
                auto it = accepted[kind].find(wire);
                if (it == accepted[kind].end()) continue;
                // An acceptance vouches for one copy of the line only.
                const size_t use = std::min(it->second, count - std::min(count, have));
                it->second -= use;
                have += use;
            }
            if (have < count)
                violations.push_back("U: " + std::string(upload::OutFileNames[kind]) + ".csv line lost (" +
                                     std::to_string(count - have) + " of " + std::to_string(count) +
                                     " neither accepted nor in the file): " + shorten(line));
        }
    }
    for (const auto& temp : after.leftoverTempFiles) violations.push_back("U: work file left behind: " + temp);
    return violations;
}

std::vector<std::string> checkDownloads(const std::vector<sim::LedgerEntry>& ledger, const DataDirState& after) {
    std::vector<std::string> violations;
    struct Side {
        const char* send;
        const char* ack;
        const char* prefix;
        const char* file;
        const std::string* content;
    };
    const Side sides[] = {{"SEND10", "ACK12", "10|", "InBookings.csv", &after.bookings},
                          {"SEND11", "ACK13", "11|", "Payment.csv", &after.payments}};
    for (const Side& side : sides) {
        std::map<std::string, size_t> inFile;
        for (const auto& line : incomingLines(*side.content)) ++inFile[line];

        std::set<std::string> sent;
        std::set<std::string> acknowledged;
        for (const auto& e : ledger) {
            if (e.fields.size() < 4) continue;
            if (is(e, side.send)) sent.insert(storedForm(side.prefix, e.fields[3]));
            if (is(e, side.ack)) acknowledged.insert(storedForm(side.prefix, e.fields[3]));
        }
        for (const auto& record : acknowledged) {
            const size_t n = inFile.count(record) ? inFile[record] : 0;
            if (n == 0)
                violations.push_back("D: acknowledged but not in " + std::string(side.file) + ": " + shorten(record));
            else if (n > 1)
                violations.push_back("D: stored " + std::to_string(n) + " times in " + side.file + ": " +
                                     shorten(record));
        }
        for (const auto& [line, n] : inFile)
            if (!sent.count(line))
                violations.push_back("D: " + std::string(side.file) +
                                     " holds a line the server never sent: " + shorten(line));
    }
    return violations;
}

std::vector<std::string> checkInvariants(const std::vector<sim::LedgerEntry>& ledger, const OutgoingFiles& before,
                                         const DataDirState& after) {
    std::vector<std::string> all = checkUploads(ledger, before, after);
    for (auto& v : checkDownloads(ledger, after)) all.push_back(std::move(v));
    return all;
}

}  // namespace ostrell::reliability
