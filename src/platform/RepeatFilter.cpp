#include "platform/RepeatFilter.h"

namespace ostrell::platform {

namespace {
std::string summaryLine(const std::string& text, int64_t repeats) {
    return text + " (repeated " + std::to_string(repeats) + " times since it was last written)";
}
}  // namespace

std::optional<std::string> RepeatFilter::pass(const std::string& text, int64_t nowMs) {
    auto it = seen_.find(text);
    if (it == seen_.end()) {
        // Bounded memory: a flood of different texts only costs the suppression of old ones.
        if (seen_.size() >= MaxTexts) seen_.clear();
        seen_[text] = Seen{nowMs, 0};
        return text;
    }
    Seen& s = it->second;
    ++s.repeats;
    if (nowMs - s.writtenMs < SummaryEveryMs) return std::nullopt;
    const std::string line = summaryLine(text, s.repeats);
    s = Seen{nowMs, 0};
    return line;
}

std::vector<std::string> RepeatFilter::forget() {
    std::vector<std::string> owed;
    for (const auto& [text, seen] : seen_)
        if (seen.repeats > 0) owed.push_back(summaryLine(text, seen.repeats));
    seen_.clear();
    return owed;
}

}  // namespace ostrell::platform
