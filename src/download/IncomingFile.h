#pragma once
#include <cstdint>
#include <string>
#include <unordered_set>

#include "platform/FileSystem.h"

namespace ostrell::download {

inline constexpr const char* BookingsFileName = "InBookings.csv";
inline constexpr const char* PaymentsFileName = "Payment.csv";

// One incoming file for the length of one download. It stores record lines durably, each as one line
// ended by CR LF, and knows the lines the file already holds so that a record the server sends again
// (its acknowledgement was lost) is not stored twice. The lines are read once, and again only when the
// file's length is not what this object last left it at: the host's importer may take or shorten the
// file between records. Only a hash of each line is kept; a hash that matches is confirmed against the
// file itself, so a collision can never pass a new record off as stored.
class IncomingFile {
public:
    enum class Outcome { Appended, AlreadyStored };

    explicit IncomingFile(platform::FileSystem& fs) : fs_(fs) {}

    // On return the line is durably in the file at path. Throws PlatformError when that cannot be made
    // so; then nothing may be acknowledged.
    Outcome store(const std::string& path, const std::string& line);

private:
    void load(const std::string& path);
    bool fileHolds(const std::string& path, const std::string& line);

    platform::FileSystem& fs_;
    std::string path_;  // the file the lines below belong to; empty: not loaded
    std::unordered_set<size_t> lineHashes_;
    int64_t knownLength_ = 0;
    bool lastLineOpen_ = false;  // the file does not end with a line end (torn or foreign tail)
};

}  // namespace ostrell::download
