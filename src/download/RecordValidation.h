#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "errors/ErrorReporter.h"

namespace ostrell::download {

// What a record of one type must look like: its field count and the field that holds its number.
struct RecordRule {
    size_t fieldsRequired;
    size_t numberIndex;  // from 0
};
inline constexpr RecordRule BookingRule{20, 5};  // type 10: the sixth field holds the number
inline constexpr RecordRule PaymentRule{4, 1};   // type 11: the second field holds the number

// The record line as validation sees it: commas inside double quotes kept as text, the quotes dropped,
// the other commas turned into "|" field separators. A "|" already in the line separates fields too and
// a "~" becomes a comma (the host never sends either inside a field).
std::string validationText(const std::string& line);

// The fields of a record line as validation counts them.
std::vector<std::string> validationFields(const std::string& line);

// Booking and payment records. Accepted when the line has exactly the required number
// of fields: the result is then the record number from the number field, or 0 when that field is not a
// number. A number outside the 32-bit range is reported under the procedure's name and the record
// rejected, since it cannot be acknowledged. Nothing: rejected.
std::optional<int32_t> validateBooking(const std::string& line, errors::ErrorReporter& reporter);
std::optional<int32_t> validatePayment(const std::string& line, errors::ErrorReporter& reporter);

// Splits text on separator into its fields, at least one.
// One separator at the very end closes the last field instead of opening an empty one, so "a|b|c" and
// "a|b|c|" both give three fields and an empty text gives one empty field. Counts are size_t: there is
// no limit on the number or length of fields. An empty separator gives the whole text as one field.
std::vector<std::string> splitFields(std::string text, const std::string& separator);

}  // namespace ostrell::download
