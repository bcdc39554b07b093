#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace ostrell::upload {

// What the server accepted of an outgoing file that could not be cut down or deleted (a read-only data
// directory): its leading lines, which file (device and inode) and a hash of those lines.
struct SentLinesNote {
    platform::FileIdentity file;
    size_t lines = 0;
    uint64_t hash = 0;
};

// FNV-1a over the first count lines, each with its line end, so "ab","c" and "a","bc" differ.
uint64_t hashLeadingLines(const std::vector<std::string>& lines, size_t count);
std::string noteText(const SentLinesNote& note);
// Nothing for a text that is not exactly a note (damaged, cut short, from another version).
std::optional<SentLinesNote> parseNote(const std::string& text);

// Keeps one note per outgoing file kind in the agent's state directory, so a file stuck in a read-only
// folder is not sent again in full every cycle. The note holds only while the file is the same one and
// still begins with exactly the noted lines (the host may append); otherwise it is forgotten.
// Failures throw PlatformError for the caller's trap.
class SentLinesMemory {
public:
    SentLinesMemory(platform::FileSystem& fs, std::string stateDir) : fs_(fs), stateDir_(std::move(stateDir)) {}

    // How many leading lines of the file at path (lines as just read from it) the server already has.
    size_t acceptedBefore(const std::string& baseName, const std::string& path, const std::vector<std::string>& lines);
    void remember(const std::string& baseName, const std::string& path, const std::vector<std::string>& lines,
                  size_t accepted);
    void forget(const std::string& baseName);

private:
    std::string notePath(const std::string& baseName) const { return stateDir_ + "/" + baseName + ".csv.sent"; }

    platform::FileSystem& fs_;
    std::string stateDir_;
};

}  // namespace ostrell::upload
