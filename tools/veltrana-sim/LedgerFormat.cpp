#include "veltrana-sim/LedgerFormat.h"

#include <fstream>
#include <iterator>

namespace ostrell::sim {

namespace {
constexpr std::string_view Hex = "0123456789ABCDEF";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
}  // namespace

std::string escapeLedgerField(std::string_view field) {
    std::string out;
    out.reserve(field.size() + 8);
    for (char c : field) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (b < 0x20 || b == 0x7F) {
            out += "\\x";
            out += Hex[b >> 4];
            out += Hex[b & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> unescapeLedgerField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (i + 1 < field.size() && field[i + 1] == '\\') {
            out += '\\';
            i += 1;
        } else if (i + 3 < field.size() && field[i + 1] == 'x' && hexValue(field[i + 2]) >= 0 &&
                   hexValue(field[i + 3]) >= 0) {
            out += static_cast<char>(hexValue(field[i + 2]) * 16 + hexValue(field[i + 3]));
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

std::string formatLedgerLine(std::string_view event, const std::vector<std::string_view>& fields) {
    std::string line(event);
    for (auto f : fields) {
        line += '\t';
        line += escapeLedgerField(f);
    }
    line += '\n';
    return line;
}

std::optional<LedgerEntry> parseLedgerLine(std::string_view line) {
    LedgerEntry entry;
    size_t start = 0;
    bool first = true;
    while (true) {
        const size_t tab = line.find('\t', start);
        const std::string_view part =
            line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
        if (first) {
            entry.event = std::string(part);
            first = false;
        } else {
            auto field = unescapeLedgerField(part);
            if (!field) return std::nullopt;
            entry.fields.push_back(std::move(*field));
        }
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    return entry;
}

std::vector<LedgerEntry> readLedgerFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<LedgerEntry> entries;
    size_t start = 0;
    for (size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
        if (auto e = parseLedgerLine(std::string_view(text).substr(start, lf - start)))
            entries.push_back(std::move(*e));
        start = lf + 1;
    }
    return entries;
}

}  // namespace ostrell::sim
