#pragma once
#include <cstdint>
#include <optional>
#include <string>

// The desktop platform's text-to-number rules, as the host product writes numbers.
namespace ostrell::settings {

// The numeric test: blanks around, an optional sign, digits with an optional decimal point and
// fraction (at least one digit), an optional exponent. An empty text is not numeric.
bool isNumeric(const std::string& text);

// The value of a numeric text, or nothing when it is not numeric.
std::optional<double> numericValue(const std::string& text);

// Whole-number conversion: rounds to nearest, halves to even (15.5 -> 16, 14.5 -> 14).
// Throws PlatformError: type mismatch (13) when not numeric, overflow (6) when out of range.
int32_t toWholeNumber(const std::string& text);
int16_t toSmallWholeNumber(const std::string& text);

}  // namespace ostrell::settings
