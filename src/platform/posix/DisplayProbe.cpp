#include "platform/posix/DisplayProbe.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace ostrell::platform {

namespace {
bool connectUnix(const std::string& path, bool abstract) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const size_t offset = abstract ? 1 : 0;
    if (path.size() + offset >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path + offset, path.data(), path.size());
    const auto len =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&addr), len) == 0;
    close(fd);
    return ok;
}

bool connectTcp(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
    bool ok = false;
    for (addrinfo* a = found; a && !ok; a = a->ai_next) {
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        ok = connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        close(fd);
    }
    freeaddrinfo(found);
    return ok;
}
}  // namespace

bool xDisplayReachable(const std::string& display) {
    const size_t colon = display.rfind(':');
    if (colon == std::string::npos) return false;
    std::string host = display.substr(0, colon);
    const std::string rest = display.substr(colon + 1);
    int number = 0;
    size_t i = 0;
    for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i) number = number * 10 + (rest[i] - '0');
    if (i == 0) return false;
    if (host.empty() || host == "unix") {
        const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
        return connectUnix(path, true) || connectUnix(path, false);
    }
    return connectTcp(host, 6000 + number);
}

bool waylandDisplayReachable(const std::string& waylandDisplay, const std::string& runtimeDir) {
    if (waylandDisplay.empty()) return false;
    const std::string path = waylandDisplay.front() == '/' ? waylandDisplay : runtimeDir + "/" + waylandDisplay;
    return connectUnix(path, false);
}

}  // namespace ostrell::platform
