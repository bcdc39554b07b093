#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrell::sim {

// One ledger line: an event word, then its fields, separated by TAB and ended by LF. In the fields a
// backslash is written "\\" and every byte below 0x20 or equal to 0x7F as "\xHH" (TAB, CR and LF
// included), so a line is always one line; bytes above 0x7F are written as they are.
struct LedgerEntry {
    std::string event;
    std::vector<std::string> fields;
};

std::string escapeLedgerField(std::string_view field);
std::optional<std::string> unescapeLedgerField(std::string_view field);

std::string formatLedgerLine(std::string_view event, const std::vector<std::string_view>& fields);
// The line without its LF; nothing when it is malformed (a bad escape).
std::optional<LedgerEntry> parseLedgerLine(std::string_view line);

// All complete lines of a ledger file; a last line without LF (being written) is left out.
std::vector<LedgerEntry> readLedgerFile(const std::string& path);

}  // namespace ostrell::sim
