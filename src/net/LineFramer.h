#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace ostrell::net {

// Cuts the server's byte stream into lines on LF. A network may split one reply over several
// arrivals or merge several replies into one; framing on LF gives one reply per line either way.
// Only the unfinished line is held, and never more than the limit of it.
class LineFramer {
public:
    explicit LineFramer(size_t maxLineBytes) : maxLineBytes_(maxLineBytes) {}

    enum class Result { Ok, LineTooLong };

    // Hands each complete line (with its LF) to onLine, in order, and keeps the unfinished rest.
    // A line longer than the limit (not counting its LF) stops the feed: LineTooLong, nothing is held.
    Result feed(std::string_view bytes, const std::function<void(const std::string& line)>& onLine);

    bool hasPartial() const { return !partial_.empty(); }
    // The unfinished line as it stands, which the framer then forgets.
    std::string takePartial();
    void clear() { partial_.clear(); }

private:
    size_t maxLineBytes_;
    std::string partial_;
};

}  // namespace ostrell::net
