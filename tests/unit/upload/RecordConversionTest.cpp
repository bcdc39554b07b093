#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "upload/OutFileNames.h"
#include "upload/OutLineReading.h"
#include "upload/RecordConversion.h"
#include "upload/ReplyVerdict.h"

using namespace ostrell::upload;
using namespace std::string_literals;

TEST(OutgoingFiles, LinesEndAtCrOrCrLfWhileALoneLfStaysInTheRecord) {
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r", {"a"}},
        {"\r", {""}},
        {"\r\n", {""}},
        {"\r\r", {"", ""}},
        {"\r\n\r\n", {"", ""}},
        {"\r\r\n", {"", ""}},
        {"  \r\n\r\nx", {"  ", "", "x"}},
        {"a\nb\n", {"a\nb\n"}},
        {"\n", {"\n"}},
        {"a\r\n\nb", {"a", "\nb"}},
        {"a\n\r\nb", {"a\n", "b"}},
        {"\x01\xff\0z\r\n"s, {"\x01\xff\0z"s}},
    };
    for (const auto& c : cases) EXPECT_EQ(readOutLines(c.bytes), c.lines) << "bytes: " << c.bytes;
}

TEST(RecordConversion, QuotedCommasStayQuotesGoOtherCommasBecomeBars) {
    struct Case {
        std::string line;
        std::string bars;
    };
    const std::vector<Case> cases = {
        {"PRC017,\"Room 1, sea view\",350,", "PRC017|Room 1, sea view|350|"},
        {"a,,b", "a||b"},
        {"\"x,y\",\"\",z", "x,y||z"},
        {"", ""},
        {"\"\"", ""},
        {"   ", "   "},
        // A "~" of the record is its own character, not a placeholder.
        {"a~b,\"c~,d\"", "a~b|c~,d"},
        {"~,~", "~|~"},
        // An unclosed quote protects the commas up to the end of its record only.
        {"\"open,still open,", "open,still open,"},
        {"x\"y,z", "xy,z"},
        // A lone LF would end the request line on the wire: it goes as a blank.
        {"a\nb,c\n", "a b|c "},
        {"\x01\xfe\0,|"s, "\x01\xfe\0||"s},
    };
    for (const auto& c : cases) EXPECT_EQ(barSeparated(c.line), c.bars) << "line: " << c.line;
}

TEST(RecordConversion, EachKindHasItsOwnRuleAndItsDigitInFront) {
    struct Case {
        int kind;
        std::string line;
        int16_t marker;
        std::string wire;
        bool markerSkipped;
    };
    const std::vector<Case> cases = {
        // The worked example, and a first field of another length: the marker lands inside a field.
        {4, "PRC017,\"Room 1, sea view\",350,", 0, "4|PRC017|0|Room 1, sea view|350| ", false},
        {4, "218,\"Room 1, sea view\",350,", 0, "4|218|Roo0|m 1, sea view|350| ", false},
        {4, "PRC017,x", 1, "4|PRC017|1|x", false},
        {3, "PER0001,x", 0, "3|PER00010||x", false},
        {7, "RT0001,Double,2", 1, "7|RT0001|1|Double|2", false},
        // A marker other than 0 or 1 goes as read.
        {7, "RT0001,Double", 7, "7|RT0001|7|Double", false},
        {7, "ABCDEFG", 0, "7|ABCDEFG0| ", false},
        // Too short for the marker: sent without it, trailing bar still padded.
        {7, "AB,C", 1, "7|AB|C", true},
        {3, "AB,", 1, "3|AB| ", true},
        {4, "", 0, "4|", true},
        // 1 and 6: each empty field between bars becomes one blank, a trailing bar gets one.
        {1, "a,,,,b", 0, "1|a| | | |b", false},
        {1, "a,,b", 0, "1|a| |b", false},
        {6, "x,,", 0, "6|x| | ", false},
        {6, ",a,", 0, "6||a| ", false},
        {1, "", 0, "1|", false},
        // 5: a zero field is widened; of two in a row only the first; first and last fields never.
        {5, "D1,0,0,x", 0, "5|D1|0000|0|x", false},
        {5, "a,0,b,0,c", 0, "5|a|0000|b|0000|c", false},
        {5, "0,5,0", 0, "5|0|5|0", false},
        {5, "a,00,b", 0, "5|a|00|b", false},
        // 2: nothing beyond the bars.
        {2, "a,,b,", 0, "2|a||b|", false},
        {2, "", 0, "2|", false},
    };
    for (const auto& c : cases) {
        const WireRecord w = convertRecord(c.kind, c.line, c.marker);
        EXPECT_EQ(w.text, c.wire) << "kind " << c.kind << " line: " << c.line;
        EXPECT_EQ(w.markerSkipped, c.markerSkipped) << "kind " << c.kind << " line: " << c.line;
    }
}

TEST(RecordConversion, AMegabyteLineIsConvertedWhole) {
    std::string line(1 << 20, 'x');
    line[10] = ',';
    const WireRecord w = convertRecord(2, line, 0);
    ASSERT_EQ(w.text.size(), line.size() + 2);
    EXPECT_EQ(w.text.substr(0, 14), "2|xxxxxxxxxx|x");
}

TEST(ReplyJudgement, ExactBadGivesUpAndTheKindsOwnWordsDecideInAnyCase) {
    struct Case {
        int kind;
        std::string reply;
        ReplyVerdict verdict;
    };
    const std::vector<Case> cases = {
        {4, "BAD", ReplyVerdict::GiveUp},
        {4, "bad", ReplyVerdict::NoVerdict},
        {4, "Bad", ReplyVerdict::NoVerdict},
        {4, "BAD - timed out", ReplyVerdict::NoVerdict},
        {4, "BAD - lost connection", ReplyVerdict::NoVerdict},
        {4, "4|SUCCESS", ReplyVerdict::Accepted},
        {4, "ok 4|success here", ReplyVerdict::Accepted},
        {4, "3|SUCCESS", ReplyVerdict::NoVerdict},
        {4, "4 |SUCCESS", ReplyVerdict::NoVerdict},
        {4, "4|Failed", ReplyVerdict::Refused},
        {4, "3|FAILED", ReplyVerdict::NoVerdict},
        {4, "4|FAILED then 4|SUCCESS", ReplyVerdict::Accepted},
        {1, "11|SUCCESS", ReplyVerdict::Accepted},
        {7, "", ReplyVerdict::NoVerdict},
    };
    for (const auto& c : cases) EXPECT_EQ(judgeReply(c.kind, c.reply), c.verdict) << c.kind << " " << c.reply;
}
