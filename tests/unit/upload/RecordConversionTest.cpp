#include <gtest/gtest.h>

#include <array>

#include "upload/OutFileLines.h"
#include "upload/RecordConversion.h"

using namespace ostrell::upload;
using namespace std::string_literals;
using Lines = std::vector<std::string>;

TEST(RecordConversion, EachKindHasItsOwnRuleAndItsDigitInFront) {
    struct Case {
        int kind;
        std::string line, wire;
        int16_t marker = 0;
        bool markerSkipped = false;
    };
    const auto cases = std::to_array<Case>({
        {.kind = 2, .line = R"("x,y","",z)", .wire = "2|x,y||z"},                 // quoted commas stay, the quotes go
        {.kind = 2, .line = "\"open,still open,", .wire = "2|open,still open,"},  // unclosed: to the record's end
        {.kind = 2, .line = "a\nb,c\n", .wire = "2|a b|c "},  // a lone LF would end the request line: a blank
        {.kind = 2, .line = "\x01\xfe\0,|"s, .wire = "2|\x01\xfe\0||"s},
        {.kind = 3, .line = "PER0001,x", .wire = "3|PER00010||x"},  // the marker after 7 characters, any
        {.kind = 7, .line = "ABCDEFG", .wire = "7|ABCDEFG1| ", .marker = 1},
        {.kind = 7, .line = "AB,C", .wire = "7|AB|C", .marker = 1, .markerSkipped = true},  // too short for it
        {.kind = 1, .line = "a,,,,b", .wire = "1|a| | | |b"},      // each empty field one blank, a trailing bar too
        {.kind = 5, .line = "D1,0,0,x", .wire = "5|D1|0000|0|x"},  // of two zeros in a row only the first
    });
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
        Action action = Action::Rewrite;
        std::string content = {};
    };
    const auto cases = std::to_array<Case>({
        {.read = "a\rb\rc\nx\rd",
         .accepted = {true, true, false, false},
         .now = "a\rb\rc\nx\rd",
         .content = "c\nx\r\nd\r\n"},
        {.read = "", .accepted = {}, .now = "new\r\n", .action = Action::LeaveAlone},
        // d may be half-written; a last line finished since was not sent
        {.read = "a\r\nb\r\n", .accepted = {true, false}, .now = "a\r\nb\r\nc\rd", .content = "b\r\nc\r\nd"},
        {.read = "a\r\nb", .accepted = {true, true}, .now = "a\r\nbc\r\n", .content = "bc\r\n"},
        {.read = "a\r\nb\r\n", .accepted = {true, false}, .now = "a\r\nB\r\nc\r\n", .action = Action::Replaced},
    });
    for (const auto& c : cases) {
        const CutDownPlan plan = planCutDown(c.read, readOutLines(c.read), c.accepted, c.now);
        EXPECT_EQ(plan.action, c.action) << c.now;
        EXPECT_EQ(plan.content, c.content) << c.now;
    }
}
