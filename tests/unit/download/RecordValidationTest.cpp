#include <gtest/gtest.h>

#include <optional>

#include "download/RecordValidation.h"
#include "unit/Fixture.h"

using namespace ostrell;
using download::validateBooking;
using download::validatePayment;
using unittest::bookingLine;
using unittest::paymentLine;

namespace {
struct Reporter {
    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    errors::ErrorReporter reporter{sinks, terminator};
};

struct Case {
    std::string why;
    std::string line;
    std::optional<int32_t> recordNo;  // nothing: rejected
};

using Validator = bool (*)(const std::string&, int32_t&, errors::ErrorReporter&);

void expectCases(Validator validate, const std::vector<Case>& cases) {
    Reporter r;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why + ": " + c.line.substr(0, 200));
        const std::string before = c.line;
        int32_t recordNo = 77;
        const bool accepted = validate(c.line, recordNo, r.reporter);
        EXPECT_EQ(c.line, before);
        EXPECT_EQ(accepted, c.recordNo.has_value());
        EXPECT_EQ(recordNo, c.recordNo.value_or(77)) << "a rejected record leaves RecordNo alone";
    }
    EXPECT_TRUE(r.sinks.reports.empty());
}

std::string withoutLastField(const std::string& line) { return line.substr(0, line.rfind(",\"")); }
}  // namespace

TEST(RecordValidation, BookingNeedsTwentyFieldsAndTakesItsNumberFromTheSixth) {
    const std::string b123 = bookingLine("123");
    expectCases(&validateBooking,
                {
                    {"plain", b123, 123},
                    {"name instead of number", bookingLine("Mr Jones"), 0},
                    {"empty number field", bookingLine(""), 0},
                    {"quoted comma is text, 1,5 is no number", bookingLine("1,5"), 0},
                    {"half to even, down", bookingLine("2.5"), 2},
                    {"half to even, up", bookingLine("3.5"), 4},
                    {"blanks around", bookingLine("  42 "), 42},
                    {"negative", bookingLine("-7"), -7},
                    {"exponent", bookingLine("+1e3"), 1000},
                    {"largest", bookingLine("2147483647"), 2147483647},
                    {"smallest", bookingLine("-2147483648"), -2147483648},
                    {"21 fields", b123 + ",\"extra\"", std::nullopt},
                    {"19 fields", withoutLastField(b123), std::nullopt},
                    {"trailing comma closes the 20th field", b123 + ",", 123},
                    {"empty quoted last field counts one fewer", withoutLastField(b123) + ",\"\"", std::nullopt},
                    {"a pipe inside a field separates", bookingLine("123", "Smith|Ann"), std::nullopt},
                    {"a tilde becomes a comma", bookingLine("123", "Smith~Ann"), 123},
                    {"doubled quotes flip twice", bookingLine("123", "say \"\"hi\"\", ok"), 123},
                    {"no quotes at all", "a,b,c,d,e,9,g,h,i,j,k,l,m,n,o,p,q,r,s,t", 9},
                    {"unbalanced quote swallows the rest", "\"BK1,b,c,d,e,9,g,h,i,j,k,l,m,n,o,p,q,r,s,t", std::nullopt},
                    {"only quotes", "\"\"\"\"\"\"", std::nullopt},
                    {"empty line", "", std::nullopt},
                });
}

TEST(RecordValidation, PaymentNeedsFourFieldsAndTakesItsNumberFromTheSecond) {
    expectCases(&validatePayment, {
                                      {"plain", paymentLine("88"), 88},
                                      {"a quoted comma in the amount", paymentLine("88", "1,200.50"), 88},
                                      {"three fields and a trailing comma", "\"BK1\",\"88\",\"120.50\",", std::nullopt},
                                      {"five fields", paymentLine("88") + ",\"x\"", std::nullopt},
                                      {"number not numeric", paymentLine("eighty"), 0},
                                      {"control and non-ASCII bytes",
                                       std::string("\"\x01\x7f\",\"5\",\"\xe9t\xe9\",\"\xff\x00\"", 19), 5},
                                      {"NONE as a field", "\"NONE\",\"6\",\"NONE\",\"NONE\"", 6},
                                      {"1 MiB field", paymentLine("9", std::string(1 << 20, 'z')), 9},
                                  });
}

TEST(RecordValidation, ANumberPast32BitsIsReportedUnderTheValidatorsNameAndRejected) {
    Reporter r;
    const std::string huge[] = {"2147483648", "-2147483649", "2147483647.5", "99999999999999999999", "1e999"};
    for (const auto& n : huge) {
        int32_t recordNo = 77;
        EXPECT_FALSE(validateBooking(bookingLine(n), recordNo, r.reporter)) << n;
        EXPECT_FALSE(validatePayment(paymentLine(n), recordNo, r.reporter)) << n;
        EXPECT_EQ(recordNo, 77) << n;
    }
    ASSERT_EQ(r.sinks.reports.size(), 10u);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(r.sinks.reports[i].procedureName, i % 2 ? "Valid9" : "Valid8");
        EXPECT_EQ(r.sinks.reports[i].number, platform::err::Overflow);
        EXPECT_EQ(r.sinks.reports[i].moduleName, "frmMain");
        EXPECT_NE(r.sinks.reports[i].line, 0);
    }
}
