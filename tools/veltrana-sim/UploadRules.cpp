#include "veltrana-sim/UploadRules.h"

#include <charconv>
#include <limits>

namespace ostrell::sim {

const char* verdictName(UploadVerdict v) {
    switch (v) {
        case UploadVerdict::Accept: return "ACCEPT";
        case UploadVerdict::Refuse: return "REFUSE";
        case UploadVerdict::Bad: return "ANSWERBAD";
        case UploadVerdict::Silent: return "SILENT";
    }
    return "?";
}

namespace {
bool parseCount(std::string_view s, uint64_t& out) {
    if (s.empty()) return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size() && out > 0;
}
}  // namespace

bool UploadRules::add(UploadVerdict verdict, std::string_view text, std::string& error) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        error = "expected KIND:WHICH, got '" + std::string(text) + "'";
        return false;
    }
    const std::string_view kindText = text.substr(0, colon);
    const std::string_view which = text.substr(colon + 1);
    Rule rule{verdict, 0, 0, 0};
    if (kindText == "*") {
        rule.kind = 0;
    } else if (kindText.size() == 1 && kindText[0] >= '1' && kindText[0] <= '7') {
        rule.kind = kindText[0] - '0';
    } else {
        error = "record kind must be 1..7 or *, got '" + std::string(kindText) + "'";
        return false;
    }
    constexpr uint64_t Last = std::numeric_limits<uint64_t>::max();
    const auto dash = which.find('-');
    bool ok;
    if (which == "all") {
        rule.from = 1, rule.to = Last, ok = true;
    } else if (!which.empty() && which.back() == '+') {
        ok = parseCount(which.substr(0, which.size() - 1), rule.from), rule.to = Last;
    } else if (dash != std::string_view::npos) {
        ok = parseCount(which.substr(0, dash), rule.from) && parseCount(which.substr(dash + 1), rule.to) &&
             rule.from <= rule.to;
    } else {
        ok = parseCount(which, rule.from), rule.to = rule.from;
    }
    if (!ok) {
        error = "which records: N, N-M, N+ or all (from 1), got '" + std::string(which) + "'";
        return false;
    }
    rules_.push_back(rule);
    return true;
}

void UploadRules::clear() {
    rules_.clear();
    refuseTexts_.clear();
}

UploadVerdict UploadRules::judge(int kind, std::string_view line) {
    const uint64_t n = ++counts_[kind];
    bool silent = false, bad = false, refuse = false;
    for (const Rule& r : rules_) {
        if ((r.kind == 0 || r.kind == kind) && n >= r.from && n <= r.to) {
            silent |= r.verdict == UploadVerdict::Silent;
            bad |= r.verdict == UploadVerdict::Bad;
            refuse |= r.verdict == UploadVerdict::Refuse;
        }
    }
    for (const auto& text : refuseTexts_) refuse |= line.find(text) != std::string_view::npos;
    if (silent) return UploadVerdict::Silent;
    if (bad) return UploadVerdict::Bad;
    if (refuse) return UploadVerdict::Refuse;
    return UploadVerdict::Accept;
}

}  // namespace ostrell::sim
