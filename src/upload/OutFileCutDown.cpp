#include "upload/OutFileCutDown.h"

#include "upload/OutFileNames.h"
#include "upload/OutLineReading.h"

namespace ostrell::upload {

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
        kept += "\r\n";
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

bool settleSentFile(platform::FileSystem& fs, translog::TransferLog& log, errors::Trap& trap, const std::string& path,
                    const std::string& bytesRead, const std::vector<std::string>& lines,
                    const std::vector<bool>& accepted) {
    const std::string dir = platform::parentDirectory(path);
    // Taken away by the host while we sent: nothing left to dispose of.
    if (!trap.value(
            100, [&] { return fs.isFile(path) || fs.isSymlink(path); }, true))
        return true;
    std::string bytesNow;
    if (!trap(105, [&] { bytesNow = fs.readAll(path); })) return false;

    const CutDownPlan plan = planCutDown(bytesRead, lines, accepted, bytesNow);
    switch (plan.action) {
        case CutDownPlan::Action::LeaveAlone: return true;
        case CutDownPlan::Action::Replaced:
            log.write("File changed while being sent - left as it is: " + path);
            return true;
        case CutDownPlan::Action::Delete:
            if (!trap(110, [&] { fs.remove(path); })) return false;
            trap(115, [&] { fs.syncDirectory(dir); });
            return true;
        case CutDownPlan::Action::Rewrite: break;
    }

    // The copy is made exclusively, with the original's mode and group: it becomes the host's file.
    const std::string temp = outTempPath(path);
    trap(118, [&] {
        if (fs.isFile(temp) || fs.isSymlink(temp)) fs.remove(temp);
    });
    const bool swapped =
        trap(120, [&] { fs.createLike(temp, plan.content, path); }) && trap(125, [&] { fs.rename(temp, path); });
    if (!swapped) {
        // The original is untouched; a half-written or unrenamed copy must not stay beside it.
        trap(130, [&] {
            if (fs.isFile(temp)) fs.remove(temp);
        });
        return false;
    }
    trap(135, [&] { fs.syncDirectory(dir); });
    return true;
}

}  // namespace ostrell::upload
