#include <gtest/gtest.h>

#include "download/ReplyClassification.h"

using namespace ostrell::download;

namespace ostrell::download {
void PrintTo(ReplyKind k, std::ostream* os) { *os << replyKindName(k); }
}  // namespace ostrell::download

TEST(ReplyClassification, AppliesTheRulesInOrderFirstMatchWins) {
    struct Case {
        std::string reply;
        std::string type;
        ReplyKind kind;
    };
    using K = ReplyKind;
    const Case cases[] = {
        // 1: no type digits anywhere.
        {"BAD - timed out", "10", K::Failure},
        {"BAD - not connected", "11", K::Failure},
        {"BAD", "10", K::Failure},
        {"BADNONE", "10", K::Failure},
        {"BA", "10", K::Unexpected},
        {"bad - timed out", "10", K::Unexpected},  // exact case
        {" BAD", "10", K::Unexpected},
        {"", "10", K::Unexpected},
        {"NONE", "10", K::Unexpected},             // the end word alone is not the end
        {"11|NONE", "10", K::Unexpected},          // another type's end
        {"10|\"a\",\"b\"", "11", K::Unexpected},   // a booking where a payment was asked for
        {"1 0|NONE", "10", K::Unexpected},
        // 2: type digits and NONE in any case, anywhere, even in a failure word or before the digits.
        {"10|NONE", "10", K::EndOfRecords},
        {"10|none", "10", K::EndOfRecords},
        {"NoNe10", "10", K::EndOfRecords},
        {"BAD 10 NONE", "10", K::EndOfRecords},
        {"10|\"Nonesuch Lodge\",\"5\"", "10", K::Record},  // the word inside the record line is data
        {"10|none\"x\"", "10", K::EndOfRecords},
        // 3: seven characters or fewer.
        {"10", "10", K::Short},
        {"10|1234", "10", K::Short},
        {"x11yyyy", "11", K::Short},
        // 4: the rest.
        {"10|12345", "10", K::Record},
        {"BAD 10 something", "10", K::Record},  // begins with BAD but holds the digits
        {"10|abc,def", "10", K::Record},
        {std::string("10|\x01\xff\xe9\x7f\"x\"", 10), "10", K::Record},
        {"x\"y\"z1011", "11", K::Record},
    };
    for (const auto& c : cases) EXPECT_EQ(classifyReply(c.reply, c.type), c.kind) << "[" << c.reply << "] T=" << c.type;
}

TEST(ReplyClassification, RecordLineStartsAtTheFirstDoubleQuoteOrIsTheWholeReply) {
    EXPECT_EQ(recordLine("10|\"a\",\"b\""), "\"a\",\"b\"");
    EXPECT_EQ(recordLine("10|x\"y\"\"z"), "\"y\"\"z");
    EXPECT_EQ(recordLine("\"lead\""), "\"lead\"");
    EXPECT_EQ(recordLine("10|abc,def"), "10|abc,def");
    EXPECT_EQ(recordLine("10|abc\""), "\"");
}
