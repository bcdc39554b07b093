#include "download/TransferLog.h"

#include "errors/Trap.h"

namespace ostrell::download {

void TransferLog::LogRec(const std::string& text) {
    errors::Trap trap(reporter_, "LogRec");
    const std::string path = logPath();
    // One write per line, so a reader between calls never sees half a line. The log is a trace, not
    // data the server relies on, so it is not fsynced line by line.
    int64_t length = -1;  // as the append left the file; unknown when it failed
    trap(10, [&] { length = fs_.append(path, clock_.logTimestamp() + " " + text + "\r\n", false); });
    // The append tells the length it left, which saves looking at the file for every line.
    const bool tooLarge =
        length >= 0 ? length > TransferLogLimit
                    : trap.value(15, [&] { return fs_.isFile(path) && fs_.length(path) > TransferLogLimit; }, false);
    if (!tooLarge) return;
    const std::string backup = path + ".bak";
    trap(20, [&] { if (fs_.isFile(backup)) fs_.remove(backup); });
    trap(25, [&] { fs_.rename(path, backup); });
    trap(30, [&] { fs_.syncDirectory(platform::parentDirectory(path)); });
}

}  // namespace ostrell::download
