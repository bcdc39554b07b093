#pragma once
#include <string>

namespace ostrell::net {

// One server line after the receive side's clean-up.
struct CleanedLine {
    std::string text;     // trimmed when it counts, as it stood after line-end removal otherwise
    bool counts = false;  // three or more characters before trimming: a reply
};

// The receive side's clean-up of one line: the greeting rule (lower-case the whole line and delete every
// "welcome" when it holds that word in any case) when asked for, then every CR LF pair, CR and LF
// removed; a text of three or more characters counts as a reply and loses its blanks at both ends.
CleanedLine cleanLine(const std::string& raw, bool applyGreetingRule);

// ASCII lower case; other bytes of the single-byte text stay as they are.
std::string lowerCase(std::string text);
// Leading and trailing blanks (spaces only) removed.
std::string trimBlanks(const std::string& text);

}  // namespace ostrell::net
