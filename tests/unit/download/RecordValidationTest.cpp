#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "download/RecordValidation.h"
#include "unit/Fixture.h"
#include "unit/GeneratedLocale.h"

using namespace ostrell;
using unittest::bookingLine;
using unittest::paymentLine;

// A record line, which validator, and the record number it yields (nothing: rejected). One whose number
// is past 32 bits is also reported under the validator's name.
TEST(RecordValidation, ARecordNeedsItsFieldCountAndTakesItsNumberFromItsNumberField) {
    using Validator = std::optional<int32_t> (*)(const std::string&, errors::ErrorReporter&);
    const Validator payment = &download::validatePayment;
    struct Case {
        const char* why;
        Validator validate = &download::validateBooking;
        std::string line;
        std::optional<int32_t> recordNo = std::nullopt;
        const char* reportedBy = nullptr;
    };
    const std::string b123 = bookingLine("123"), b19 = b123.substr(0, b123.rfind(",\""));
    const auto cases = std::to_array<Case>({
        {.why = "quoted comma is text, 1,5 is no number", .line = bookingLine("1,5"), .recordNo = 0},
        {.why = "21 fields", .line = b123 + ",\"extra\""},
        {.why = "19 fields", .line = b19},
        {.why = "trailing comma closes the 20th field", .line = b123 + ",", .recordNo = 123},
        {.why = "a pipe inside a field separates", .line = bookingLine("123", "Smith|Ann")},
        {.why = "a tilde becomes a comma", .line = bookingLine("123", "Smith~Ann"), .recordNo = 123},
        {.why = "doubled quotes flip twice", .line = bookingLine("123", R"(say ""hi"", ok)"), .recordNo = 123},
        {.why = "a fraction, halves to even", .validate = payment, .line = paymentLine("3.5"), .recordNo = 4},
        {.why = "past 32 bits", .validate = payment, .line = paymentLine("-2147483649"), .reportedBy = "Valid9"},
    });
    // The toolkit takes the locale from LANG: a decimal comma must not cut "3.5" to 3, or the server hears of
    // record 3 and sends record 4 again and again.
    const testsupport::GeneratedLocale locale("de_DE.UTF-8");
    ASSERT_TRUE(testsupport::GeneratedLocale::hasDecimalComma());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        unittest::Base base;
        EXPECT_EQ(c.validate(c.line, base.reporter), c.recordNo);
        EXPECT_EQ(unittest::reportedProcedures(base.sinks),
                  c.reportedBy ? unittest::Lines{c.reportedBy} : unittest::Lines{});
    }
}
