#include "settings/NumberConversion.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/PlatformError.h"

namespace ostrell::settings {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The numeric text without its surrounding blanks, or nothing when the syntax does not hold.
std::optional<std::string> numericCore(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    const std::string s = text.substr(b, e - b);
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < s.size() && isDigit(s[i])) ++i, ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    return s;
}

// Numbers are read with a decimal point whatever the user's locale says: the toolkit sets the locale
// from LANG, and under a German or French one strtod would stop at the '.' of "15.5".
locale_t cLocale() {
    static const locale_t Posix = ::newlocale(LC_ALL_MASK, "C", locale_t{});
    return Posix;
}

double roundedOrThrow(const std::string& text, double lo, double hi) {
    const auto v = numericValue(text);
    if (!v) throw platform::PlatformError(platform::err::TypeMismatch, "Type mismatch");
    const double r = std::nearbyint(*v);  // the default rounding mode sends halves to the even neighbour
    if (!std::isfinite(r) || r < lo || r > hi) throw platform::PlatformError(platform::err::Overflow, "Overflow");
    return r;
}
}  // namespace

bool isNumeric(const std::string& text) { return numericCore(text).has_value(); }

std::optional<double> numericValue(const std::string& text) {
    const auto core = numericCore(text);
    if (!core) return std::nullopt;
    return ::strtod_l(core->c_str(), nullptr, cLocale());
}

int32_t toWholeNumber(const std::string& text) {
    return static_cast<int32_t>(
        roundedOrThrow(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int16_t toSmallWholeNumber(const std::string& text) {
    return static_cast<int16_t>(
        roundedOrThrow(text, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

}  // namespace ostrell::settings
