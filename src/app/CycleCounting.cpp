#include "app/CycleCounting.h"

#include "upload/ReplyVerdict.h"

namespace ostrell::app {

CycleSummary::Stored& CountingExchange::storedFor(const std::string& bkNumber) {
    for (CycleSummary::Stored& s : summary_.stored)
        if (s.bkNumber == bkNumber) return s;
    summary_.stored.push_back({bkNumber, 0, 0});
    return summary_.stored.back();
}

std::string CountingExchange::requestReply(const std::string& request) {
    std::string reply = inner_.requestReply(request);
    const std::string type = request.substr(0, request.find('|'));
    if (type == "10" || type == "11") {
        bkNumber_ = request.substr(3);
    } else if (type == "12") {
        ++storedFor(bkNumber_).bookings;
    } else if (type == "13") {
        ++storedFor(bkNumber_).payments;
    } else if (type.size() == 1 && type[0] >= '1' && type[0] <= '7') {
        const auto kind = static_cast<upload::OutKind>(type[0] - '0');
        if (upload::judgeReply(kind, reply) == upload::ReplyVerdict::Accepted) ++summary_.linesAccepted[kind];
    }
    return reply;
}

}  // namespace ostrell::app
