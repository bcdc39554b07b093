#include "download/RecordValidation.h"

#include "errors/Trap.h"
#include "settings/NumberConversion.h"

namespace ostrell::download {

namespace {
std::optional<int32_t> validRecord(const std::string& line, RecordRule rule, errors::Trap& trap) {
    const std::vector<std::string> fields = validationFields(line);
    if (fields.size() != rule.fieldsRequired) return std::nullopt;
    const std::string& numberField = fields[rule.numberIndex];
    if (!settings::isNumeric(numberField)) return 0;
    // toWholeNumber throws Overflow past 32 bits: the trap reports it and the record is rejected.
    return trap.value(10, std::optional<int32_t>(),
                      [&] { return std::optional<int32_t>(settings::toWholeNumber(numberField)); });
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

std::optional<int32_t> validateBooking(const std::string& line, errors::ErrorReporter& reporter) {
    errors::Trap trap(reporter, "Valid8");
    return validRecord(line, BookingRule, trap);
}

std::optional<int32_t> validatePayment(const std::string& line, errors::ErrorReporter& reporter) {
    errors::Trap trap(reporter, "Valid9");
    return validRecord(line, PaymentRule, trap);
}

std::vector<std::string> splitFields(std::string text, const std::string& separator) {
    if (separator.empty()) return {std::move(text)};
    std::vector<std::string> fields;
    if (text.size() < separator.size() ||
        text.compare(text.size() - separator.size(), separator.size(), separator) != 0)
        text += separator;
    // Walk the separators front to back instead of cutting the text down each time: linear in the length.
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
        fields.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    return fields;
}

}  // namespace ostrell::download
