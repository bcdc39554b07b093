#include "Table.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace ostrell::bench {

bool Table::allMet() const {
    for (const auto& r : rows_)
        if (r.verdict == Verdict::Missed) return false;
    return true;
}

void Table::print(std::ostream& out) const {
    out << "| Figure | Measured | Target | Met | Details |\n|---|---|---|---|---|\n";
    for (const auto& r : rows_) {
        const char* met = r.verdict == Verdict::Met ? "yes" : r.verdict == Verdict::Missed ? "**no**" : "";
        out << "| " << r.figure << " | " << r.value << " | " << r.target << " | " << met << " | " << r.detail << " |\n";
    }
}

std::string fixed(double value, int decimals) {
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
    return text.data();
}

std::string grouped(double value) {
    std::string digits = std::to_string(static_cast<long long>(std::llround(value)));
    std::string out;
    const size_t start = digits[0] == '-' ? 1 : 0;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > start && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace ostrell::bench
