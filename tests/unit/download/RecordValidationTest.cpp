#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "download/RecordValidation.h"
#include "unit/Fixture.h"

using namespace ostrell;
using unittest::bookingLine;
using unittest::paymentLine;

// A record line, which validator, and the record number it yields (nothing: rejected). One whose number
// is past 32 bits is also reported under the validator's name.
TEST(RecordValidation, ARecordNeedsItsFieldCountAndTakesItsNumberFromItsNumberField) {
    using Validator = std::optional<int32_t> (*)(const std::string&, errors::ErrorReporter&);
    const Validator booking = &download::validateBooking, payment = &download::validatePayment;
    struct Case {
        const char* why;
        Validator validate;
        std::string line;
        std::optional<int32_t> recordNo;
        const char* reportedBy = nullptr;
    };
    const std::string b123 = bookingLine("123"), b19 = b123.substr(0, b123.rfind(",\""));
    // clang-format off
    const auto cases = std::to_array<Case>({
        {"name instead of number", booking, bookingLine("Mr Jones"), 0},
        {"quoted comma is text, 1,5 is no number", booking, bookingLine("1,5"), 0},
        {"21 fields", booking, b123 + ",\"extra\"", std::nullopt},
        {"19 fields", booking, b19, std::nullopt},
        {"trailing comma closes the 20th field", booking, b123 + ",", 123},
        {"a pipe inside a field separates", booking, bookingLine("123", "Smith|Ann"), std::nullopt},
        {"a tilde becomes a comma", booking, bookingLine("123", "Smith~Ann"), 123},
        {"doubled quotes flip twice", booking, bookingLine("123", R"(say ""hi"", ok)"), 123},
        {"past 32 bits", booking, bookingLine("2147483648"), std::nullopt, "Valid8"},
        {"payment past 32 bits", payment, paymentLine("-2147483649"), std::nullopt, "Valid9"},
    });
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        unittest::Base base;
        EXPECT_EQ(c.validate(c.line, base.reporter), c.recordNo);
        EXPECT_EQ(unittest::reportedProcedures(base.sinks),
                  c.reportedBy ? unittest::Lines{c.reportedBy} : unittest::Lines{});
    }
}
