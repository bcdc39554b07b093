#include "upload/OutFileLines.h"

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

CutDownPlan planCutDown(const std::string& bytesRead, const std::vector<std::string>& lines,
                        const std::vector<bool>& accepted, const std::string& bytesNow) {
    CutDownPlan plan;
    if (bytesNow.size() < bytesRead.size() || bytesNow.compare(0, bytesRead.size(), bytesRead) != 0) {
        plan.action = CutDownPlan::Action::Replaced;
        return plan;
    }
    const std::vector<std::string> now = readOutLines(bytesNow);
    std::string kept;
    size_t keptLines = 0;
    for (size_t n = 0; n < now.size(); ++n) {
        // The last line read may have been caught before the host finished it; grown since, it is a
        // line the server never saw.
        const bool wasSent = n < lines.size() && n < accepted.size() && accepted[n] && now[n] == lines[n];
        if (wasSent) {
            ++plan.removed;
            continue;
        }
        if (n >= lines.size()) ++plan.added;
        kept += now[n];
        // A last line without its end that was no record yet is one the host may still be writing: the
        // rest must join it.
        if (n + 1 < now.size() || n < lines.size() || !lastLineUnfinished(bytesNow)) kept += "\r\n";
        ++keptLines;
    }
    if (keptLines == 0) plan.action = CutDownPlan::Action::Delete;
    else if (plan.removed == 0) plan.action = CutDownPlan::Action::LeaveAlone;
    else {
        plan.action = CutDownPlan::Action::Rewrite;
        plan.content = std::move(kept);
    }
    return plan;
}

}  // namespace ostrell::upload
