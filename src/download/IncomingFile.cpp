#include "download/IncomingFile.h"

#include <functional>

namespace ostrell::download {

namespace {
// Calls onLine with each line of content, without its LF or CR LF.
template <class F>
void forEachLine(const std::string& content, F&& onLine) {
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        const bool open = end == std::string::npos;
        if (open) end = content.size();
        size_t stop = end;
        if (!open && stop > start && content[stop - 1] == '\r') --stop;
        onLine(std::string_view(content).substr(start, stop - start));
        start = end + 1;
    }
}
}  // namespace

void IncomingFile::load(const std::string& path) {
    path_.clear();  // stays unloaded if the read below fails
    const std::string content = fs_.isFile(path) ? fs_.readAll(path) : std::string();
    std::unordered_set<size_t> hashes;
    forEachLine(content, [&](std::string_view line) { hashes.insert(std::hash<std::string_view>{}(line)); });
    lineHashes_ = std::move(hashes);
    knownLength_ = static_cast<int64_t>(content.size());
    lastLineOpen_ = !content.empty() && content.back() != '\n';
    path_ = path;
}

bool IncomingFile::fileHolds(const std::string& path, const std::string& line) {
    bool found = false;
    forEachLine(fs_.readAll(path), [&](std::string_view l) { found = found || l == line; });
    return found;
}

IncomingFile::Outcome IncomingFile::store(const std::string& path, const std::string& line) {
    const size_t hash = std::hash<std::string_view>{}(line);
    // The usual case: the file is as this object left it and the line is new, so it goes in with the one
    // open that also checks the length. Anything else reads the file again first.
    if (path == path_ && !lineHashes_.count(hash)) {
        const std::string bytes = (lastLineOpen_ ? "\r\n" : "") + line + "\r\n";
        path_.clear();  // if the append fails, what the file now holds is unknown: read it again next time
        const int64_t length = fs_.appendIfLength(path, bytes, true, knownLength_);
        if (length >= 0) {
            lineHashes_.insert(hash);
            knownLength_ = length;
            lastLineOpen_ = false;
            path_ = path;
            return Outcome::Appended;
        }
    } else if (path == path_) {
        // A line this file held: still there only if no other writer changed the file since.
        const int64_t length = fs_.isFile(path) ? fs_.length(path) : 0;
        if (length != knownLength_) path_.clear();
    }
    if (path != path_) load(path);
    if (lineHashes_.count(hash) && fileHolds(path, line)) {
        // Already in the file, but perhaps only in the cache of a write whose fsync failed: make it
        // durable before the caller acknowledges it.
        fs_.append(path, std::string(), true);
        return Outcome::AlreadyStored;
    }
    // A tail without a line end (a torn write, or a file the host wrote without a final line end) is
    // closed first, so the record does not run into it.
    const std::string bytes = (lastLineOpen_ ? "\r\n" : "") + line + "\r\n";
    path_.clear();  // if the append fails, what the file now holds is unknown: read it again next time
    fs_.append(path, bytes, true);
    lineHashes_.insert(hash);
    knownLength_ += static_cast<int64_t>(bytes.size());
    lastLineOpen_ = false;
    path_ = path;
    return Outcome::Appended;
}

}  // namespace ostrell::download
