#pragma once
#include <string>

namespace ostrell::download {

// What a reply to a record request ("10|" or "11|" + BK number) means.
enum class ReplyKind {
    Failure,       // no type digits, begins with "BAD": the line exchange or the server gave up
    Unexpected,    // no type digits, anything else
    EndOfRecords,  // type digits and "NONE" in any case before any record line: nothing more for this BK number
    Short,         // type digits, no "NONE", 7 characters or fewer
    Record,        // type digits, no "NONE", 8 characters or more
};

// Classifies reply to a request of type ("10" or "11"); the tests run in this order, first match wins.
ReplyKind classifyReply(const std::string& reply, const std::string& type);

// The record line of a record reply: from its first double quote to the end, or the whole reply when
// it has no double quote.
std::string recordLine(const std::string& reply);

}  // namespace ostrell::download
