#include "download/RecordValidation.h"

#include "download/SplitFields.h"
#include "errors/Trap.h"
#include "settings/NumberConversion.h"

namespace ostrell::download {

namespace {
bool validRecord(const std::string& line, int32_t& recordNo, RecordRule rule, errors::Trap& trap) {
    const std::vector<std::string> fields = validationFields(line);
    if (fields.size() - 1 != rule.fieldsRequired) return false;
    const std::string& numberField = fields[rule.recordNoField];
    if (!settings::isNumeric(numberField)) {
        recordNo = 0;
        return true;
    }
    // toWholeNumber throws Overflow past 32 bits: the trap reports it and the record is rejected.
    return trap.value(
        10,
        [&] {
            recordNo = settings::toWholeNumber(numberField);
            return true;
        },
        false);
}
}  // namespace

std::string validationText(const std::string& line) {
    std::string out;
    out.reserve(line.size());
    bool insideQuotes = false;
    for (const char c : line) {
        switch (c) {
            case '"': insideQuotes = !insideQuotes; break;  // doubled quotes flip twice: nothing to undo
            case ',': out += insideQuotes ? ',' : '|'; break;
            case '~': out += ','; break;
            default: out += c;
        }
    }
    return out;
}

std::vector<std::string> validationFields(const std::string& line) { return splitFields(validationText(line), "|"); }

bool validateBooking(const std::string& line, int32_t& recordNo, errors::ErrorReporter& reporter) {
    errors::Trap trap(reporter, "Valid8");
    return validRecord(line, recordNo, BookingRule, trap);
}

bool validatePayment(const std::string& line, int32_t& recordNo, errors::ErrorReporter& reporter) {
    errors::Trap trap(reporter, "Valid9");
    return validRecord(line, recordNo, PaymentRule, trap);
}

}  // namespace ostrell::download
