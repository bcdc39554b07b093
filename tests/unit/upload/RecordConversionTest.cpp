#include <gtest/gtest.h>

#include <array>

#include "upload/OutFileCutDown.h"
#include "upload/OutLineReading.h"
#include "upload/RecordConversion.h"

using namespace ostrell::upload;
using namespace std::string_literals;
using Lines = std::vector<std::string>;

TEST(RecordConversion, EachKindHasItsOwnRuleAndItsDigitInFront) {
    struct Case {
        int kind;
        std::string line;
        int16_t marker;
        std::string wire;
        bool markerSkipped;
    };
    // clang-format off
    const auto cases = std::to_array<Case>({
        {2, R"("x,y","",z)", 0, "2|x,y||z", false},  // quoted commas stay, the quotes go
        {2, "\"open,still open,", 0, "2|open,still open,", false},  // an unclosed quote to the end of its record
        {2, "a\nb,c\n", 0, "2|a b|c ", false},  // a lone LF would end the request line: a blank
        {2, "\x01\xfe\0,|"s, 0, "2|\x01\xfe\0||"s, false},
        {3, "PER0001,x", 0, "3|PER00010||x", false},  // the marker after 7 characters, whatever they are
        {7, "ABCDEFG", 1, "7|ABCDEFG1| ", false},
        {7, "AB,C", 1, "7|AB|C", true},  // too short for the marker: sent without it
        {1, "a,,,,b", 0, "1|a| | | |b", false},  // each empty field one blank, a trailing bar one too
        {5, "D1,0,0,x", 0, "5|D1|0000|0|x", false},  // of two zeros in a row only the first; ends never
    });
    // clang-format on
    for (const auto& c : cases) {
        const WireRecord w = convertRecord(static_cast<OutKind>(c.kind), c.line, c.marker);
        EXPECT_EQ(w.text, c.wire) << c.kind << " " << c.line;
        EXPECT_EQ(w.markerSkipped, c.markerSkipped) << c.kind << " " << c.line;
    }
}

// What was read and accepted, what the file holds now: what becomes of it, and what a cut-down leaves.
TEST(CutDownPlan, AcceptedLinesGoWhatTheHostAddedStaysAndARewrittenFileIsLeftAlone) {
    using Action = CutDownPlan::Action;
    struct Case {
        std::string read;
        std::vector<bool> accepted;
        std::string now;
        Action action;
        std::string content;
    };
    // clang-format off
    const auto cases = std::to_array<Case>({
        {"a\rb\rc\nx\rd", {true, true, false, false}, "a\rb\rc\nx\rd", Action::Rewrite, "c\nx\r\nd\r\n"},
        {"", {}, "new\r\n", Action::LeaveAlone, ""},
        {"a\r\nb\r\n", {true, false}, "a\r\nb\r\nc\rd", Action::Rewrite, "b\r\nc\r\nd"},  // d may be half-written
        {"a\r\nb", {true, true}, "a\r\nbc\r\n", Action::Rewrite, "bc\r\n"},  // a last line finished since was not sent
        {"a\r\nb\r\n", {true, false}, "a\r\nB\r\nc\r\n", Action::Replaced, ""},
    });
    // clang-format on
    for (const auto& c : cases) {
        const CutDownPlan plan = planCutDown(c.read, readOutLines(c.read), c.accepted, c.now);
        EXPECT_EQ(plan.action, c.action) << c.now;
        EXPECT_EQ(plan.content, c.content) << c.now;
    }
}
