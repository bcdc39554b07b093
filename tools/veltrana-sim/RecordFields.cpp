#include "veltrana-sim/RecordFields.h"

#include <cctype>
#include <cfenv>
#include <cmath>
#include <cstdlib>

namespace ostrell::sim {

std::vector<std::string> recordFields(std::string_view line) {
    // First the text the agent splits: quotes dropped, separating commas as "|", the rest as text.
    std::string text;
    text.reserve(line.size() + 1);
    bool inQuotes = false;
    for (char c : line) {
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ',') {
            text += inQuotes ? ',' : '|';
        } else if (c == '~') {
            text += ',';  // the agent's placeholder for quoted commas turns a "~" into a comma too
        } else {
            text += c;
        }
    }
    if (text.empty() || text.back() != '|') text += '|';
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t bar = text.find('|'); bar != std::string::npos; bar = text.find('|', start)) {
        fields.emplace_back(text, start, bar - start);
        start = bar + 1;
    }
    return fields;
}

namespace {

// Optional sign, digits with an optional decimal point (at least one digit), optional exponent.
bool readsAsNumber(std::string_view s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

}  // namespace

std::optional<int32_t> recordNumber(std::string_view line, RecordShape shape) {
    const auto fields = recordFields(line);
    if (fields.size() != shape.fields) return std::nullopt;
    std::string_view field = fields[shape.numberField - 1];
    while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
    while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
    if (!readsAsNumber(field)) return 0;
    const double value = std::strtod(std::string(field).c_str(), nullptr);
    const double rounded = std::nearbyint(value);  // default rounding: to nearest, halves to even
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return std::nullopt;
    return static_cast<int32_t>(rounded);
}

}  // namespace ostrell::sim
