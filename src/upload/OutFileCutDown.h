#pragma once
#include <string>
#include <vector>

#include "errors/Trap.h"
#include "platform/FileSystem.h"
#include "translog/TransferLog.h"

namespace ostrell::upload {

// What becomes of an outgoing file once its records were offered, decided from what was read before
// sending and what the file holds now.
struct CutDownPlan {
    enum class Action {
        LeaveAlone,  // nothing accepted is in it (or only lines the host added since)
        Replaced,    // its content no longer starts with what was sent: the host rewrote it
        Delete,      // every line in it was accepted
        Rewrite,     // accepted lines go, the rest stays in order
    };
    Action action = Action::LeaveAlone;
    std::string content;  // for Rewrite: the remaining lines, each ended by CR LF
    size_t removed = 0;   // accepted lines taken out
    size_t added = 0;     // lines the host added after the first read, kept
};

// bytesRead / lines / accepted describe the file as it was read and sent (accepted[n] for lines[n]);
// bytesNow is its content now. When bytesNow starts with bytesRead, the host only appended: a line goes
// when it was accepted and reads now exactly as it was sent; every other line stays, appended ones too.
CutDownPlan planCutDown(const std::string& bytesRead, const std::vector<std::string>& lines,
                        const std::vector<bool>& accepted, const std::string& bytesNow);

// Deletes or cuts down the outgoing file at path after sending, failures reported through trap (labels
// 100 and up of the sending procedure). The cut-down is atomic: the remaining lines go to a temporary
// file in the same directory (durable), which is renamed over the original, then the directory is synced.
// On any failure the original stays as it was and no temporary file is left. True when the file no
// longer holds lines the server accepted from it (or they cannot be told apart any more); false when
// they are still in it because it could not be deleted or cut down.
//
// One window stays open: lines the host appends between the re-read here and the rename or delete that
// follows (a few file operations later) are not seen and go with the old file. Closing it would need a
// lock the host does not take.
bool settleSentFile(platform::FileSystem& fs, translog::TransferLog& log, errors::Trap& trap, const std::string& path,
                    const std::string& bytesRead, const std::vector<std::string>& lines,
                    const std::vector<bool>& accepted);

}  // namespace ostrell::upload
