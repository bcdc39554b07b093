#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace ostrell::upload {

// The note of what the server accepted of one outgoing file: a first line naming the file (device and
// inode), then one line per accepted leading line of it, in order, holding that line's hash. It only
// ever grows by whole entries while the file is sent, so a kill leaves it true up to the last reply
// that was noted.
uint64_t hashLine(const std::string& line);  // FNV-1a
std::string noteHeader(const platform::FileIdentity& file);
std::string noteEntry(const std::string& line);
// How many leading lines of the file (lines as just read from it) the note text vouches for; nothing
// when it is no note, names another file, or has an entry the file's line does not match (the host
// rewrote the file). A last entry without its line end (cut short) does not count.
std::optional<size_t> notedLines(const std::string& text, const platform::FileIdentity& file,
                                 const std::vector<std::string>& lines);

// Keeps one note per outgoing file kind in the agent's state directory, so that lines the server
// accepted are not sent again after a stop, a crash or a cut-down that could not be made. Entries go in
// with one unsynced write each: the note is cheap enough to grow with every accepted record.
// Failures throw PlatformError for the caller's trap.
class SentLinesMemory {
public:
    SentLinesMemory(platform::FileSystem& fs, std::string stateDir) : fs_(fs), stateDir_(std::move(stateDir)) {}

    // How many leading lines of the file the server already has. A note that does not hold is forgotten.
    size_t acceptedBefore(const std::string& baseName, const platform::FileIdentity& file,
                          const std::vector<std::string>& lines);
    // Notes that the first `accepted` lines of the file are accepted, the last of them just now. A note
    // that is not the file's as read is written afresh (whole, renamed in); otherwise one entry goes on.
    void noteAccepted(const std::string& baseName, const platform::FileIdentity& file,
                      const std::vector<std::string>& lines, size_t accepted);
    // Closes the note of the file being sent; it stays for the next send of that file.
    void close() { open_.reset(); }
    void forget(const std::string& baseName);

private:
    std::string notePath(const std::string& baseName) const { return stateDir_ + "/" + baseName + ".csv.sent"; }

    platform::FileSystem& fs_;
    std::string stateDir_;
    std::string heldBaseName_;  // whose note holds for the file as read (acceptedBefore) or is open
    platform::FileIdentity heldFile_;
    size_t heldLines_ = 0;  // entries in it
    std::unique_ptr<platform::OpenFile> open_;
};

}  // namespace ostrell::upload
