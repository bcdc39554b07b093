#include "net/ReplyCleanup.h"

namespace ostrell::net {

std::string lowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string trimBlanks(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

namespace {
void eraseAll(std::string& text, const std::string& word) {
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at)) text.erase(at, word.size());
}
}  // namespace

CleanedLine cleanLine(const std::string& raw, bool applyGreetingRule) {
    std::string text = raw;
    if (applyGreetingRule) {
        std::string lower = lowerCase(text);
        if (lower.find("welcome") != std::string::npos) {
            eraseAll(lower, "welcome");
            text.swap(lower);
        }
    }
    // Pairs first, then the strays: the order only matters for what is counted, and it is the same.
    eraseAll(text, "\r\n");
    eraseAll(text, "\r");
    eraseAll(text, "\n");
    CleanedLine out;
    out.counts = text.size() >= 3;
    out.text = out.counts ? trimBlanks(text) : text;
    return out;
}

}  // namespace ostrell::net
