#include "upload/RecordConversion.h"

#include <algorithm>

namespace ostrell::upload {

namespace {

// Left to right; a match is not looked for inside the replacement or an earlier match.
std::string replaceAll(const std::string& text, const std::string& from, const std::string& to) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    for (;;) {
        const size_t hit = text.find(from, pos);
        if (hit == std::string::npos) break;
        out.append(text, pos, hit - pos);
        out += to;
        pos = hit + from.size();
    }
    out.append(text, pos, std::string::npos);
    return out;
}

void blankAfterTrailingBar(std::string& record) {
    if (!record.empty() && record.back() == '|') record += ' ';
}

}  // namespace

std::string barSeparated(const std::string& line) {
    std::string out;
    out.reserve(line.size());
    bool inQuotes = false;
    for (const char c : line) {
        switch (c) {
            case '"': inQuotes = !inQuotes; break;
            case ',': out += inQuotes ? ',' : '|'; break;
            case '\n': out += ' '; break;
            default: out += c;
        }
    }
    return out;
}

bool kindHasBatchMarker(OutKind kind) {
    return kind == OutKind::Periods || kind == OutKind::Prices || kind == OutKind::RoomTypes;
}

WireRecord convertRecord(OutKind kind, const std::string& line, int16_t batchMarker) {
    WireRecord wire;
    std::string record = barSeparated(line);
    switch (kind) {
        case OutKind::Child:
        case OutKind::Bookings:
            // Twice: one pass leaves every second bar of a run unmatched ("|||" -> "| ||").
            record = replaceAll(replaceAll(record, "||", "| |"), "||", "| |");
            blankAfterTrailingBar(record);
            break;
        case OutKind::Periods:
        case OutKind::Prices:
        case OutKind::RoomTypes:
            if (record.size() >= 7) record = record.substr(0, 7) + std::to_string(batchMarker) + "|" + record.substr(7);
            else wire.markerSkipped = true;
            blankAfterTrailingBar(record);
            break;
        case OutKind::Deleted: record = replaceAll(record, "|0|", "|0000|"); break;
        case OutKind::EndDate: break;
    }
    wire.text = std::to_string(wireDigit(kind)) + "|" + record;
    return wire;
}

ReplyVerdict judgeReply(OutKind kind, const std::string& reply) {
    if (reply == "BAD") return ReplyVerdict::GiveUp;
    std::string upper = reply;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); });
    const std::string digit = std::to_string(wireDigit(kind));
    if (upper.find(digit + "|SUCCESS") != std::string::npos) return ReplyVerdict::Accepted;
    if (upper.find(digit + "|FAILED") != std::string::npos) return ReplyVerdict::Refused;
    return ReplyVerdict::NoVerdict;
}

}  // namespace ostrell::upload
