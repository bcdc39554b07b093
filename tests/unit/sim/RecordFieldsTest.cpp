#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "veltrana-sim/RecordFields.h"
#include "veltrana-sim/RecordGenerator.h"

using namespace ostrell::sim;

namespace {
std::string bookingWithNumberField(const std::string& field6) {
    std::string line;
    for (int i = 1; i <= 20; ++i) line += (i > 1 ? "," : "") + (i == 6 ? field6 : "\"f" + std::to_string(i) + "\"");
    return line;
}
}  // namespace

TEST(SimRecordFields, CountsFieldsTheWayTheAgentDoes) {
    EXPECT_EQ(recordFields("\"a,b\",\"c\"").size(), 2u);          // a quoted comma stays in its field
    EXPECT_EQ(recordFields("\"a,b\",\"c\"")[0], "a,b");
    EXPECT_EQ(recordFields("a,b,c,").size(), 3u);                 // a trailing separator closes, not opens
    EXPECT_EQ(recordFields("\"a\",\"b\",\"\"").size(), 2u);       // an empty quoted last field vanishes
    EXPECT_EQ(recordFields("a||c").size(), 3u);
    EXPECT_EQ(recordFields("a|b,c").size(), 3u);                  // a bar separates like a comma
    EXPECT_EQ(recordFields("").size(), 1u);
    EXPECT_EQ(recordFields("x~y")[0], "x,y");
    EXPECT_EQ(recordFields("\"say \"\"hi, you\"\"\",b").size(), 2u);  // doubled quotes flip twice
}

TEST(SimRecordFields, RecordNumberIsWhatTheAgentAcknowledges) {
    EXPECT_EQ(recordNumber(bookingWithNumberField("\"123\""), BookingShape), 123);
    EXPECT_EQ(recordNumber(bookingWithNumberField("\" -7 \""), BookingShape), -7);
    EXPECT_EQ(recordNumber(bookingWithNumberField("\"Smith\""), BookingShape), 0);  // not a number: 0, still valid
    EXPECT_EQ(recordNumber(bookingWithNumberField("\"\""), BookingShape), 0);
    EXPECT_EQ(recordNumber(bookingWithNumberField("\"2.5\""), BookingShape), 2);   // halves to even
    EXPECT_EQ(recordNumber(bookingWithNumberField("\"3.5\""), BookingShape), 4);
    EXPECT_EQ(recordNumber(bookingWithNumberField("\"1e3\""), BookingShape), 1000);
    EXPECT_EQ(recordNumber(bookingWithNumberField("\"2147483648\""), BookingShape), std::nullopt);  // beyond 32 bits
    EXPECT_EQ(recordNumber(bookingWithNumberField("\"-2147483648\""), BookingShape), INT32_MIN);
    EXPECT_EQ(recordNumber(bookingWithNumberField("\"1\",\"extra\""), BookingShape), std::nullopt);  // 21 fields
    EXPECT_EQ(recordNumber("\"P1\",\"42\",\"10.00\",\"card, visa\"", PaymentShape), 42);
    EXPECT_EQ(recordNumber("\"P1\",\"42\",\"10.00\",", PaymentShape), std::nullopt);  // 3 fields and a comma
}

TEST(SimRecordGenerator, MadeUpRecordsAreValidAwkwardAndNeverLookLikeTheEnd) {
    bool sawWelcome = false, sawHighByte = false, sawQuotedComma = false, sawDoubledQuote = false;
    for (int32_t n = 1; n <= 500; ++n) {
        for (const auto& [line, shape] : {std::pair{bookingRecord(n), BookingShape}, std::pair{paymentRecord(n), PaymentShape}}) {
            SCOPED_TRACE(line);
            EXPECT_EQ(recordNumber(line, shape), n);
            ASSERT_FALSE(line.empty());
            EXPECT_EQ(line.front(), '"');  // the agent keeps the reply from its first quote on
            EXPECT_EQ(line.back(), '"');   // and trims blanks at the ends
            std::string lower;
            for (char c : line) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            EXPECT_EQ(lower.find("none"), std::string::npos);
            EXPECT_EQ(line.find_first_of("\r\n|"), std::string::npos);
            sawWelcome |= line.find("Welcome") != std::string::npos;
            for (char c : line) sawHighByte |= static_cast<unsigned char>(c) > 127;
            sawQuotedComma |= recordFields(line).size() < static_cast<size_t>(std::count(line.begin(), line.end(), ',')) + 1;
            sawDoubledQuote |= line.find("\"\"s") != std::string::npos;
        }
        EXPECT_EQ(recordNumber(badBookingRecord(n), BookingShape), std::nullopt);
        EXPECT_EQ(recordNumber(badPaymentRecord(n), PaymentShape), std::nullopt);
    }
    EXPECT_TRUE(sawWelcome);
    EXPECT_TRUE(sawHighByte);
    EXPECT_TRUE(sawQuotedComma);
    EXPECT_TRUE(sawDoubledQuote);
}
