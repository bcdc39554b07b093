#include "download/SplitFields.h"

namespace ostrell::download {

std::vector<std::string> splitFields(std::string text, const std::string& separator) {
    if (separator.empty()) return {std::move(text)};
    std::vector<std::string> fields;
    if (text.size() < separator.size() ||
        text.compare(text.size() - separator.size(), separator.size(), separator) != 0)
        text += separator;
    // Walk the separators front to back instead of cutting the text down each time: linear in the length.
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
        fields.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    return fields;
}

}  // namespace ostrell::download
