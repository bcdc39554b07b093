#pragma once
#include <cstdint>
#include <string>

#include "upload/OutFileNames.h"

namespace ostrell::upload {

// The CSV line made bar-separated: a comma inside double quotes stays a comma, every other comma becomes
// "|", and the quotes go. Each record starts outside quotes, so an unclosed quote spoils only its own
// record. A "~" of the line is kept as it is. A lone LF inside the line goes out as a blank, because an
// LF on the wire would end the request line early.
std::string barSeparated(const std::string& line);

// Kinds whose records carry the alternating batch marker ("Periods", "Prices", "RoomTypes").
bool kindHasBatchMarker(OutKind kind);

struct WireRecord {
    std::string text;            // kind digit, "|", converted record: the request line without its LF
    bool markerSkipped = false;  // a marker kind whose record is shorter than 7 characters
};

// The request line for one line of the outgoing file of this kind:
//  Child, Bookings: every empty field becomes one blank ("||" -> "| |", twice), and a trailing "|" gets a
//           blank;
//  Periods, Prices, RoomTypes: the batch marker and "|" go in after the first 7 characters (whatever they are), then a
//           trailing "|" gets a blank; a record shorter than 7 characters goes without the marker;
//  Deleted: "|0|" -> "|0000|", left to right, matches not overlapping;
//  EndDate: no change.
WireRecord convertRecord(OutKind kind, const std::string& line, int16_t batchMarker);

enum class ReplyVerdict {
    GiveUp,     // exactly "BAD": the file is given up at this record
    Accepted,   // the kind digit and "|SUCCESS", anywhere, any letter case
    Refused,    // the kind digit and "|FAILED", anywhere, any letter case: a failed attempt
    NoVerdict,  // anything else, the "BAD - " failure words included: a failed attempt
};

// The server's answer to a record of this kind, judged by its text alone, tests in this order.
ReplyVerdict judgeReply(OutKind kind, const std::string& reply);

}  // namespace ostrell::upload
