#include "app/AgentStatus.h"

#include <array>
#include <cstdio>
#include <sstream>

namespace ostrell::app {

std::string statusFileText(const AgentStatus& s) {
    return "pid=" + std::to_string(s.pid) + "\nserver=" + s.server +
           "\ncycle_seconds=" + std::to_string(s.cycleSeconds) + "\nlast_attempt=" + s.lastAttempt +
           "\nlast_success=" + s.lastSuccess + "\n";
}

AgentStatus parseStatusFile(const std::string& text) {
    AgentStatus s;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        try {
            if (key == "pid") s.pid = std::stoll(value);
            else if (key == "cycle_seconds") s.cycleSeconds = std::stoi(value);
        } catch (const std::exception&) {
            // A damaged number keeps its default: the report says what it can.
        }
        if (key == "server") s.server = value;
        else if (key == "last_attempt") s.lastAttempt = value;
        else if (key == "last_success") s.lastSuccess = value;
    }
    return s;
}

namespace {
// Days since 1970-01-01 of a civil date (Howard Hinnant's algorithm).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool digitsAt(const std::string& s, size_t at, size_t n, int& out) {
    if (at + n > s.size()) return false;
    out = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}
}  // namespace

std::optional<int64_t> epochSecondsOf(const std::string& iso) {
    int y, mo, d, h, mi, sec;
    if (iso.size() < 20 || iso[4] != '-' || iso[7] != '-' || iso[10] != 'T' || iso[13] != ':' || iso[16] != ':')
        return std::nullopt;
    if (!digitsAt(iso, 0, 4, y) || !digitsAt(iso, 5, 2, mo) || !digitsAt(iso, 8, 2, d) || !digitsAt(iso, 11, 2, h) ||
        !digitsAt(iso, 14, 2, mi) || !digitsAt(iso, 17, 2, sec) || mo < 1 || mo > 12 || d < 1 || d > 31)
        return std::nullopt;
    int64_t offset = 0;
    const std::string zone = iso.substr(19);
    int oh, om;
    if (zone == "Z") offset = 0;
    else if (zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && zone[3] == ':' && digitsAt(zone, 1, 2, oh) &&
             digitsAt(zone, 4, 2, om))
        offset = int64_t{zone[0] == '-' ? -1 : 1} * (oh * 3600 + om * 60);
    else return std::nullopt;
    return daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + int64_t{h} * 3600 +
           int64_t{mi} * 60 + sec - offset;
}

bool lastSuccessRecent(int64_t nowEpochSeconds, const std::string& lastSuccess, int cycleSeconds) {
    const std::optional<int64_t> at = epochSecondsOf(lastSuccess);
    if (!at) return false;
    const int64_t cycle = cycleSeconds > 0 ? cycleSeconds : 0;
    return nowEpochSeconds - *at <= 3 * cycle + 60;
}

std::string clockTimeAfter(const std::string& iso, int seconds) {
    int h = 0, m = 0, s = 0;
    if (!digitsAt(iso, 11, 2, h) || !digitsAt(iso, 14, 2, m) || !digitsAt(iso, 17, 2, s)) return {};
    constexpr int Day = 86400;
    const int t = ((h * 3600 + m * 60 + s + seconds) % Day + Day) % Day;
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%02d:%02d:%02d", t / 3600, t / 60 % 60, t % 60);
    return text.data();
}

std::string clockTimeOf(const std::string& iso) { return iso.size() >= 16 && iso[10] == 'T' ? iso.substr(11, 5) : iso; }

}  // namespace ostrell::app
