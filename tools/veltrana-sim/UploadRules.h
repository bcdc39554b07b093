#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ostrell::sim {

// What the server does with one upload record line "K|...".
enum class UploadVerdict {
    Accept,  // "K|SUCCESS"
    Refuse,  // "K|FAILED"
    Bad,     // exactly "BAD"
    Silent,  // no answer at all
};

const char* verdictName(UploadVerdict v);

// Per-kind rules on upload records. Records of each kind are counted from 1 over the whole run, every
// receipt counting (a record sent again is the next one), so "refuse 4:1" refuses the first attempt of
// the first kind-4 record and accepts its retry. When several rules match, the first of Silent, Bad,
// Refuse wins; a record containing a refusal text is refused. Anything else is accepted.
class UploadRules {
public:
    // text: "KIND:WHICH" with KIND 1..7 or "*" (every kind) and WHICH "N", "N-M", "N+" or "all".
    bool add(UploadVerdict verdict, std::string_view text, std::string& error);
    void addRefuseText(std::string text) { refuseTexts_.push_back(std::move(text)); }
    void clear();

    // Counts the record and decides. kind is 1..7.
    UploadVerdict judge(int kind, std::string_view line);
    uint64_t received(int kind) const { return counts_[kind]; }

private:
    struct Rule {
        UploadVerdict verdict;
        int kind;  // 0: every kind
        uint64_t from;
        uint64_t to;
    };
    std::vector<Rule> rules_;
    std::vector<std::string> refuseTexts_;
    std::array<uint64_t, 8> counts_{};
};

}  // namespace ostrell::sim
