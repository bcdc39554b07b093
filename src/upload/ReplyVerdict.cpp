#include "upload/ReplyVerdict.h"

#include <algorithm>

namespace ostrell::upload {

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
