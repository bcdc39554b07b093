#include "download/ReplyClassification.h"

#include <algorithm>

namespace ostrell::download {

namespace {
bool containsNoneInAnyCase(const std::string& reply) {
    static const std::string NoneWord = "none";
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::search(reply.begin(), reply.end(), NoneWord.begin(), NoneWord.end(),
                       [&](char a, char b) { return lower(a) == b; }) != reply.end();
}
}  // namespace

ReplyKind classifyReply(const std::string& reply, const std::string& type) {
    if (reply.find(type) == std::string::npos)
        return reply.compare(0, 3, "BAD") == 0 ? ReplyKind::Failure : ReplyKind::Unexpected;
    // "NONE" counts only in front of the record line: a booking for "Nonesuch Lodge" is a record, not the
    // end of the queue (taken as the end, it would block every later booking of that BK number for good).
    if (containsNoneInAnyCase(reply.substr(0, reply.find('"')))) return ReplyKind::EndOfRecords;
    if (reply.size() <= 7) return ReplyKind::Short;
    return ReplyKind::Record;
}

std::string recordLine(const std::string& reply) {
    const size_t quote = reply.find('"');
    return quote == std::string::npos ? reply : reply.substr(quote);
}

}  // namespace ostrell::download
