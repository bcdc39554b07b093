#pragma once
#include <string>

#include "upload/OutFileNames.h"

namespace ostrell::upload {

enum class ReplyVerdict {
    GiveUp,     // exactly "BAD": the file is given up at this record
    Accepted,   // the kind digit and "|SUCCESS", anywhere, any letter case
    Refused,    // the kind digit and "|FAILED", anywhere, any letter case: a failed attempt
    NoVerdict,  // anything else, the "BAD - " failure words included: a failed attempt
};

// The server's answer to a record of this kind, judged by its text alone, tests in this order.
ReplyVerdict judgeReply(OutKind kind, const std::string& reply);

}  // namespace ostrell::upload
