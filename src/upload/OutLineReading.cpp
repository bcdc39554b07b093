#include "upload/OutLineReading.h"

namespace ostrell::upload {

std::vector<std::string> readOutLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t cr = bytes.find('\r', start);
        if (cr == std::string::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, cr - start));
        start = cr + 1;
        if (start < bytes.size() && bytes[start] == '\n') ++start;
    }
    return lines;
}

bool lastLineUnfinished(const std::string& bytes) {
    return !bytes.empty() && bytes.back() != '\r' && !bytes.ends_with("\r\n");
}

}  // namespace ostrell::upload
