#pragma once
#include <string>
#include <vector>

namespace ostrell::upload {

// Splits an outgoing file into its records, as the host writes them: a line ends at CR or at CR LF (the
// end is not part of the record); a lone LF does not end a line and stays inside the record; the last
// line needs no line end. Every line is a record, blank ones included. An empty file has no records.
std::vector<std::string> readOutLines(const std::string& bytes);

// True when the last line has no line end (yet): the host may still be writing it.
bool lastLineUnfinished(const std::string& bytes);

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
    std::string content;  // for Rewrite: the remaining lines, each ended by CR LF but an
                          // unfinished last line that was no record
    size_t removed = 0;   // accepted lines taken out
    size_t added = 0;     // lines the host added after the first read, kept
};

// bytesRead / lines / accepted describe the file as it was read and sent (accepted[n] for lines[n]);
// bytesNow is its content now. When bytesNow starts with bytesRead, the host only appended: a line goes
// when it was accepted and reads now exactly as it was sent; every other line stays, appended ones too.
CutDownPlan planCutDown(const std::string& bytesRead, const std::vector<std::string>& lines,
                        const std::vector<bool>& accepted, const std::string& bytesNow);

}  // namespace ostrell::upload
