#include "platform/RepeatFilter.h"

namespace ostrell::platform {

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
    const std::string line = text + " (repeated " + std::to_string(s.repeats) + " times since it was last written)";
    s = Seen{nowMs, 0};
    return line;
}

}  // namespace ostrell::platform
