#include "net/LineFramer.h"

namespace ostrell::net {

LineFramer::Result LineFramer::feed(std::string_view bytes, const std::function<void(const std::string&)>& onLine) {
    while (!bytes.empty()) {
        const size_t lf = bytes.find('\n');
        const size_t take = lf == std::string_view::npos ? bytes.size() : lf;
        // Checked before appending, so a flood never grows the held text past the limit.
        if (partial_.size() + take > maxLineBytes_) {
            partial_.clear();
            partial_.shrink_to_fit();
            return Result::LineTooLong;
        }
        if (lf == std::string_view::npos) {
            partial_.append(bytes);
            return Result::Ok;
        }
        partial_.append(bytes.substr(0, lf + 1));
        bytes.remove_prefix(lf + 1);
        std::string line;
        line.swap(partial_);
        onLine(line);
    }
    return Result::Ok;
}

std::string LineFramer::takePartial() {
    std::string out;
    out.swap(partial_);
    return out;
}

}  // namespace ostrell::net
