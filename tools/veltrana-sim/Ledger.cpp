#include "veltrana-sim/Ledger.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "veltrana-sim/LedgerFormat.h"

namespace ostrell::sim {

Ledger::~Ledger() {
    if (fd_ >= 0) ::close(fd_);
}

bool Ledger::open(const std::string& path, bool sync, std::string& error) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error = "cannot open ledger " + path + ": " + std::strerror(errno);
        return false;
    }
    sync_ = sync;
    return true;
}

void Ledger::outcome(std::string_view event, const std::vector<std::string_view>& fields) { write(event, fields); }

void Ledger::trace(std::string_view event, const std::vector<std::string_view>& fields) {
    if (!quiet_) write(event, fields);
}

void Ledger::write(std::string_view event, const std::vector<std::string_view>& fields) {
    if (fd_ < 0 || failed()) return;
    const std::string line = formatLedgerLine(event, fields);
    // O_APPEND and one write() per line: a reader never sees two lines interleaved. A short write
    // (disk full) is a failure, not something to patch up with a second write.
    ssize_t n;
    do {
        n = ::write(fd_, line.data(), line.size());
    } while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(line.size())) {
        error_ = n < 0 ? std::string("ledger write failed: ") + std::strerror(errno) : "ledger write was short";
        return;
    }
    if (sync_ && ::fsync(fd_) != 0) error_ = std::string("ledger fsync failed: ") + std::strerror(errno);
}

}  // namespace ostrell::sim
