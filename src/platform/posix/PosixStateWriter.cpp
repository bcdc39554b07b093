#include "platform/posix/PosixStateWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/PlatformError.h"

namespace ostrell::platform {

namespace {
[[noreturn]] void fail(const std::string& what, const std::string& path) {
    throw PlatformError(err::PathFileAccessError, what + " " + path + ": " + std::strerror(errno));
}

void makeDirectories(const std::string& dir) {
    for (size_t at = 1; at != std::string::npos;) {
        at = dir.find('/', at + 1);
        const std::string part = dir.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) fail("cannot create", part);
    }
}
}  // namespace

std::string PosixStateWriter::readState(const std::string& name) {
    std::ifstream in(directory_ + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return in ? text.str() : std::string();
}

void PosixStateWriter::writeState(const std::string& name, const std::string& text) {
    makeDirectories(directory_);
    const std::string path = directory_ + "/" + name;
    const std::string temp = path + ".tmp";
    unlink(temp.c_str());  // a leftover of a crash
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) fail("cannot create", temp);
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(fd);
            unlink(temp.c_str());
            fail("cannot write", temp);
        }
        done += static_cast<size_t>(n);
    }
    // Not synced: the status is rewritten after every cycle, and waiting for the disk each time cost
    // an idle agent four wake-ups a cycle. After a power cut it may show an older cycle, or be empty on
    // a file system that does not order the rename after the data; its readers take an empty file as
    // "nothing known yet", and the next cycle writes it again.
    if (close(fd) != 0) {
        unlink(temp.c_str());
        fail("cannot write", temp);
    }
    if (rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        fail("cannot rename", temp);
    }
}

}  // namespace ostrell::platform
