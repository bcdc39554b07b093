#include "download/ReplyClassification.h"

#include <algorithm>

namespace ostrell::download {

namespace {
char lowerCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
}  // namespace

bool isEndOfRecords(const std::string& reply, const std::string& type) {
    const size_t at = reply.find(type);
    if (at == std::string::npos) return false;
    // What follows the type digits and their bar must be the word and nothing else: a booking whose
    // remark says "allergies none" is a record, and taken for the end it would block its BK number for good.
    std::string_view rest = trimmed(std::string_view(reply).substr(at + type.size()));
    if (!rest.empty() && rest.front() == '|') rest = trimmed(rest.substr(1));
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') rest = trimmed(rest.substr(1, rest.size() - 2));
    static constexpr std::string_view NoneWord = "none";
    return std::equal(rest.begin(), rest.end(), NoneWord.begin(), NoneWord.end(),
                      [](char a, char b) { return lowerCase(a) == b; });
}

ReplyKind classifyReply(const std::string& reply, const std::string& type) {
    if (reply.find(type) == std::string::npos)
        return reply.compare(0, 3, "BAD") == 0 ? ReplyKind::Failure : ReplyKind::Unexpected;
    if (isEndOfRecords(reply, type)) return ReplyKind::EndOfRecords;
    if (reply.size() <= 7) return ReplyKind::Short;
    return ReplyKind::Record;
}

std::string recordLine(const std::string& reply) {
    const size_t quote = reply.find('"');
    return quote == std::string::npos ? reply : reply.substr(quote);
}

bool quotesBalanced(const std::string& line) { return std::count(line.begin(), line.end(), '"') % 2 == 0; }

}  // namespace ostrell::download
