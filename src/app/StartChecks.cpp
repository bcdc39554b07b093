#include "app/StartChecks.h"

#include <algorithm>
#include <vector>

namespace ostrell::app {

FirstRun firstRunChoice(bool settingsFileExists, bool hostVersionStored, bool autostart) {
    if (autostart) return settingsFileExists && hostVersionStored ? FirstRun::Start : FirstRun::QuietEnd;
    return settingsFileExists ? FirstRun::Start : FirstRun::NotSetUp;
}

std::string notSetUpText(const std::string& settingsFile) {
    return "Brannick is not set up for this account (there is no " + settingsFile + "), so Ostrell does not run.";
}

namespace {
// The parts as digit strings without leading zeros ("0" for zero); nothing when a part is not a number.
std::optional<std::vector<std::string>> versionParts(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t dot = text.find('.', start);
        std::string part = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        const size_t first = part.find_first_not_of(' ');
        if (first == std::string::npos) return std::nullopt;
        part = part.substr(first, part.find_last_not_of(' ') - first + 1);
        for (char c : part)
            if (c < '0' || c > '9') return std::nullopt;
        const size_t nonZero = part.find_first_not_of('0');
        parts.push_back(nonZero == std::string::npos ? "0" : part.substr(nonZero));
        if (dot == std::string::npos) return parts;
        start = dot + 1;
    }
}

int compareNumbers(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
}  // namespace

std::optional<int> compareVersions(const std::string& a, const std::string& b) {
    const auto pa = versionParts(a);
    const auto pb = versionParts(b);
    if (!pa || !pb) return std::nullopt;
    const size_t n = std::max(pa->size(), pb->size());
    for (size_t i = 0; i < n; ++i) {
        const std::string& x = i < pa->size() ? (*pa)[i] : std::string("0");
        const std::string& y = i < pb->size() ? (*pb)[i] : std::string("0");
        if (const int c = compareNumbers(x, y); c != 0) return c;
    }
    return 0;
}

bool hostVersionAccepted(const std::string& hostVersion, const std::string& minimum) {
    const auto c = compareVersions(hostVersion, minimum);
    return c && *c >= 0;
}

}  // namespace ostrell::app
