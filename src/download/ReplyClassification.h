#pragma once
#include <string>

namespace ostrell::download {

// What a reply to a record request ("10|" or "11|" + BK number) means.
enum class ReplyKind {
    Failure,       // no type digits, begins with "BAD": the line exchange or the server gave up
    Unexpected,    // no type digits, anything else
    EndOfRecords,  // type digits, then "NONE" and nothing else: nothing more for this BK number
    Short,         // type digits, not the end, 7 characters or fewer
    Record,        // type digits, not the end, 8 characters or more
};

// The end-of-records reply: after the first type digits (and a "|" after them) comes "NONE" in any
// case, maybe in double quotes, with blanks around, and nothing else: "10|NONE", "10| \"none\" ".
bool isEndOfRecords(const std::string& reply, const std::string& type);

// Classifies reply to a request of type ("10" or "11"); the tests run in this order, first match wins.
ReplyKind classifyReply(const std::string& reply, const std::string& type);

// The record line of a record reply: from its first double quote to the end, or the whole reply when
// it has no double quote.
std::string recordLine(const std::string& reply);

// An odd number of double quotes: a quoted field was cut, so the line cannot be a whole record.
bool quotesBalanced(const std::string& line);

}  // namespace ostrell::download
