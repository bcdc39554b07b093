#include "platform/IniDocument.h"

#include <stdexcept>

namespace ostrell::platform {

namespace {

// Written by some editors in front of the first line; not part of it, and kept where it is.
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// One line of the text: its content without the line end, and where the next line begins.
struct Line {
    size_t begin;
    size_t end;   // content end: before "\r\n" or "\n", or the end of the text
    size_t next;  // after the line end
};

Line lineAt(const std::string& text, size_t begin) {
    const size_t lf = text.find('\n', begin);
    if (lf == std::string::npos) return {begin, text.size(), text.size()};
    const size_t end = lf > begin && text[lf - 1] == '\r' ? lf - 1 : lf;
    return {begin, end, lf + 1};
}

// The name of a "[Section]" line, or nothing for any other line.
std::optional<std::string_view> sectionName(std::string_view content) {
    const std::string_view t = trimmed(content);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return std::nullopt;
    return trimmed(t.substr(1, t.size() - 2));
}

bool isComment(std::string_view content) {
    const std::string_view t = trimmed(content);
    return !t.empty() && (t.front() == ';' || t.front() == '#');
}

}  // namespace

IniDocument::Place IniDocument::find(std::string_view section, std::string_view key) const {
    Place place;
    bool inSection = false;
    bool firstSectionOver = false;  // a new key goes into the first of repeated sections
    for (size_t pos = firstLineBegin(); pos < text_.size();) {
        const Line line = lineAt(text_, pos);
        const std::string_view content(text_.data() + line.begin, line.end - line.begin);
        pos = line.next;
        if (const auto name = sectionName(content)) {
            if (inSection) firstSectionOver = true;
            inSection = sameName(*name, section);
            if (inSection && !place.sectionEnd) place.sectionEnd = line.next;
            continue;
        }
        if (!inSection) continue;
        // Blank lines at a section's end stay between it and the next section.
        if (!firstSectionOver && !trimmed(content).empty()) place.sectionEnd = line.next;
        if (isComment(content)) continue;
        const size_t eq = content.find('=');
        if (eq == std::string_view::npos || !sameName(trimmed(content.substr(0, eq)), key)) continue;
        place.key = KeyLine{line.begin + eq + 1, line.end};
        return place;
    }
    return place;
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const {
    const Place place = find(section, key);
    if (!place.key) return std::nullopt;
    return text_.substr(place.key->valueBegin, place.key->valueEnd - place.key->valueBegin);
}

size_t IniDocument::firstLineBegin() const {
    return std::string_view(text_).substr(0, ByteOrderMark.size()) == ByteOrderMark ? ByteOrderMark.size() : 0;
}

std::string IniDocument::lineEnd() const { return text_.find("\r\n") != std::string::npos ? "\r\n" : "\n"; }

void IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
    if (value.find_first_of("\r\n") != std::string_view::npos)
        throw std::invalid_argument("a settings value cannot hold a line break");
    const Place place = find(section, key);
    if (place.key) {
        text_.replace(place.key->valueBegin, place.key->valueEnd - place.key->valueBegin, value);
        return;
    }
    const std::string eol = lineEnd();
    size_t at = place.sectionEnd.value_or(text_.size());
    // A last line without its line end gets one, so that what we add starts a line of its own.
    if (at > firstLineBegin() && text_[at - 1] != '\n') {
        text_.insert(at, eol);
        at += eol.size();
    }
    std::string added;
    if (!place.sectionEnd) added = "[" + std::string(section) + "]" + eol;
    added += std::string(key) + "=" + std::string(value) + eol;
    text_.insert(at, added);
}

}  // namespace ostrell::platform
