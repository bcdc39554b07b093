#include "translog/TransferLog.h"

#include "errors/Trap.h"

namespace ostrell::translog {

void TransferLog::write(const std::string& text) {
    errors::Trap trap(reporter_, "LogRec");
    // No data folder (reported by the parameter refresh): the log has no home, and the working directory
    // or the folder's parent is not one.
    if (params_.dataDirPath.empty()) return;
    const std::string path = logPath();
    // One write per line, so a reader between calls never sees half a line, into a file kept open between
    // lines. The log is a trace, not data the server relies on, so it is not fsynced line by line. The
    // length is looked at once, then kept by adding what each line adds: only when it seems past the limit
    // is the file measured again, as another writer may have shortened or removed it.
    const std::string line = clock_.logTimestamp() + " " + text + "\r\n";
    const bool measured = length_ < 0 || path != lengthPath_;
    const int64_t before = length_;
    length_ = -1;  // unknown should the append fail
    const bool written = trap(10, [&] {
        if (measured) {
            length_ = fs_.append(path, line, false);
            lengthPath_ = path;
        } else {
            fs_.appendUnmeasured(path, line);
            length_ = before + static_cast<int64_t>(line.size());
        }
    });
    if (written && length_ <= TransferLogLimit) return;
    const bool tooLarge = written && measured ? true : trap.value(15, false, [&] {
        length_ = -1;
        const int64_t now = fs_.isFile(path) ? fs_.length(path) : 0;
        length_ = now;
        lengthPath_ = path;
        return now > TransferLogLimit;
    });
    if (!tooLarge) return;
    length_ = -1;  // a new file from the next line on
    const std::string backup = path + ".bak";
    trap(20, [&] {
        if (fs_.isFile(backup)) fs_.remove(backup);
    });
    trap(25, [&] { fs_.rename(path, backup); });
    trap(30, [&] { fs_.syncDirectory(platform::parentDirectory(path)); });
}

}  // namespace ostrell::translog
