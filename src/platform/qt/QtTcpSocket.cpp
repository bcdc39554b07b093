#include "platform/qt/QtTcpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <unistd.h>

#include <QHostAddress>
#include <QHostInfo>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/PlatformError.h"
#include "platform/posix/SocketErrorNumber.h"
#include "platform/qt/QtCallbackGuard.h"

namespace ostrell::platform {

namespace {

// One read takes this much at most; a longer arrival is the next notification's.
constexpr size_t ChunkBytes = 65536;

const char* const WrongState = "Wrong protocol or connection state for the requested transaction";

std::string addressText(const sockaddr* address) {
    std::array<char, INET6_ADDRSTRLEN> text{};
    if (address->sa_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text.data(), text.size());
    } else if (address->sa_family == AF_INET6) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&a))
            inet_ntop(AF_INET, &a.s6_addr[12], text.data(), text.size());  // ::ffff:a.b.c.d shows as a.b.c.d
        else inet_ntop(AF_INET6, &a, text.data(), text.size());
    }
    return text.data();
}

int32_t portOf(const sockaddr* address) {
    if (address->sa_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(address)->sin_port);
    if (address->sa_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(address)->sin6_port);
    return 0;
}

// A numeric address needs no lookup; it is connected to at once.
bool numericAddress(const std::string& host, int32_t port, sockaddr_storage& out, socklen_t& length) {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out);
    if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(port));
        length = sizeof(sockaddr_in);
        return true;
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&out);
    if (inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
        length = sizeof(sockaddr_in6);
        return true;
    }
    return false;
}

}  // namespace

QtTcpSocket::QtTcpSocket() : chunk_(ChunkBytes) {
    QObject::connect(&readable_, &QSocketNotifier::activated, [this] { onReadable(); });
    QObject::connect(&writable_, &QSocketNotifier::activated, [this] { onWritable(); });
}

QtTcpSocket::~QtTcpSocket() {
    events_ = nullptr;
    drop();
}

void QtTcpSocket::connect(const std::string& host, int32_t port) {
    if (phase_ != Phase::Closed) throw PlatformError(err::SocketError, WrongState);
    drop();  // a new connection starts with nothing of the last one
    inbox_.clear();
    remotePort_ = port;
    Address numeric;
    if (numericAddress(host, port, numeric.bytes, numeric.length)) {
        if (localPort_ != 0 && numeric.bytes.ss_family != AF_INET)
            throw PlatformError(socketErrorNumber(EAFNOSUPPORT), std::strerror(EAFNOSUPPORT));
        addresses_ = {numeric};
        nextAddress_ = 0;
        phase_ = Phase::Connecting;
        // A local port that cannot be had is the caller's failure, at once, as before any lookup.
        connectToNext();
        return;
    }
    phase_ = Phase::LookingUp;
    const uint64_t attempt = attempt_;
    lookupId_ =
        QHostInfo::lookupHost(QString::fromStdString(host), &context_, [this, attempt, port](const QHostInfo& info) {
            if (attempt != attempt_ || phase_ != Phase::LookingUp) return;
            lookupId_ = -1;
            std::vector<Address> found;
            for (const QHostAddress& a : info.addresses()) {
                // With a local port the socket is bound to IPv4, as the host product's socket is.
                if (localPort_ != 0 && a.protocol() != QAbstractSocket::IPv4Protocol) continue;
                Address address;
                if (numericAddress(a.toString().toStdString(), port, address.bytes, address.length))
                    found.push_back(address);
            }
            if (found.empty()) {
                const std::string text =
                    info.error() != QHostInfo::NoError ? info.errorString().toStdString() : "Host not found";
                fail(HostNotFoundNumber, text);
                return;
            }
            addressesFound(std::move(found));
        });
}

void QtTcpSocket::addressesFound(std::vector<Address> addresses) {
    addresses_ = std::move(addresses);
    nextAddress_ = 0;
    phase_ = Phase::Connecting;
    try {
        connectToNext();
    } catch (const PlatformError& e) {
        fail(e.number(), e.what());  // after a lookup there is no caller left to throw to
    }
}

// Starts the connection to the next address of the list. Throws when the local port cannot be bound;
// any other failure comes as an event.
void QtTcpSocket::connectToNext() {
    if (nextAddress_ >= addresses_.size()) {
        const int error = lastConnectErrno_ ? lastConnectErrno_ : ECONNREFUSED;
        fail(socketErrorNumber(error), std::strerror(error));
        return;
    }
    const Address& address = addresses_[nextAddress_++];
    if (fd_ >= 0) {
        readable_.setEnabled(false);
        writable_.setEnabled(false);
        ::close(fd_);
    }
    fd_ = ::socket(address.bytes.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        const int error = errno;
        phase_ = Phase::Closed;
        throw PlatformError(socketErrorNumber(error), std::strerror(error));
    }
    if (localPort_ != 0) {
        const int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(static_cast<uint16_t>(localPort_));
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            const int error = errno;
            drop();
            throw PlatformError(socketErrorNumber(error), std::strerror(error));
        }
    }
    // Done or not, the outcome is taken from the writable notification: connect() itself raises no event.
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address.bytes), address.length) != 0 &&
        errno != EINPROGRESS) {
        lastConnectErrno_ = errno;
        failLater(socketErrorNumber(errno), std::strerror(errno));
        return;
    }
    writable_.setSocket(fd_);
    writable_.setEnabled(true);
}

// A failure found inside connect() is reported from the loop, as every other socket event is.
void QtTcpSocket::failLater(int32_t number, const std::string& text) {
    const uint64_t attempt = attempt_;
    QMetaObject::invokeMethod(
        &context_,
        [this, attempt, number, text] {
            if (attempt != attempt_ || phase_ != Phase::Connecting) return;
            if (nextAddress_ < addresses_.size()) {
                try {
                    connectToNext();
                } catch (const PlatformError& e) {
                    fail(e.number(), e.what());
                }
                return;
            }
            fail(number, text);
        },
        Qt::QueuedConnection);
}

SocketState QtTcpSocket::state() const {
    switch (phase_) {
        case Phase::LookingUp:
        case Phase::Connecting: return SocketState::Connecting;
        case Phase::Connected: return SocketState::Connected;
        case Phase::Closed: break;
    }
    return SocketState::Closed;
}

void QtTcpSocket::send(const std::string& bytes) {
    if (phase_ != Phase::Connected) throw PlatformError(err::SocketError, WrongState);
    if (!outbox_.empty()) {
        outbox_ += bytes;  // behind what is still waiting, in order
        return;
    }
    // Out now, in one call: a request reaches the server without waiting for the loop, and a line sent
    // just before a close is not lost. Only what the kernel cannot take at once waits for the loop.
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n >= 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN) {
            outbox_.assign(bytes, done);
            writable_.setEnabled(true);
            return;
        }
        // The peer is gone: reading says so, as the close event, with whatever it sent before.
        if (errno == EPIPE || errno == ECONNRESET) return;
        const int error = errno;
        throw PlatformError(socketErrorNumber(error), std::strerror(error));
    }
}

void QtTcpSocket::sendQueued() {
    while (!outbox_.empty()) {
        const ssize_t n = ::send(fd_, outbox_.data(), outbox_.size(), MSG_NOSIGNAL);
        if (n >= 0) {
            outbox_.erase(0, static_cast<size_t>(n));
            continue;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN) return;  // the notifier stays on
        if (errno != EPIPE && errno != ECONNRESET) {
            const int error = errno;
            fail(socketErrorNumber(error), std::strerror(error));
            return;
        }
        outbox_.clear();  // the peer is gone: reading reports the close
    }
    writable_.setEnabled(false);
}

std::string QtTcpSocket::takeAll() { return std::exchange(inbox_, std::string()); }

void QtTcpSocket::close() {
    drop();
    inbox_.clear();
}

// Back to closed with no event: notifiers off, lookup abandoned, descriptor closed.
void QtTcpSocket::drop() {
    ++attempt_;
    if (lookupId_ >= 0) QHostInfo::abortHostLookup(lookupId_);
    lookupId_ = -1;
    readable_.setEnabled(false);
    writable_.setEnabled(false);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    phase_ = Phase::Closed;
    outbox_.clear();
    addresses_.clear();
    nextAddress_ = 0;
    lastConnectErrno_ = 0;
    boundPort_ = 0;
    localIP_.clear();
}

void QtTcpSocket::fail(int32_t number, const std::string& text) {
    drop();
    if (events_) runFromEventLoop("the error event", [&] { events_->onError(number, text); });
}

void QtTcpSocket::onWritable() {
    if (phase_ == Phase::Connected) {
        sendQueued();
        return;
    }
    if (phase_ != Phase::Connecting) return;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error == 0) {
        connectionMade();
        return;
    }
    lastConnectErrno_ = error;
    writable_.setEnabled(false);
    try {
        connectToNext();
    } catch (const PlatformError& e) {
        fail(e.number(), e.what());
    }
}

void QtTcpSocket::connectionMade() {
    writable_.setEnabled(false);
    const Address& peer = addresses_[nextAddress_ - 1];
    lastRemoteIP_ = addressText(reinterpret_cast<const sockaddr*>(&peer.bytes));
    // Asked once here: the exchange shows the socket's ends before every request.
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        localIP_ = addressText(reinterpret_cast<const sockaddr*>(&local));
        boundPort_ = portOf(reinterpret_cast<const sockaddr*>(&local));
    }
    addresses_.clear();
    nextAddress_ = 0;
    phase_ = Phase::Connected;
    readable_.setSocket(fd_);
    readable_.setEnabled(true);
    if (events_) runFromEventLoop("the connect event", [this] { events_->onConnect(); });
}

void QtTcpSocket::onReadable() {
    if (phase_ != Phase::Connected) return;
    const ssize_t n = ::read(fd_, chunk_.data(), ChunkBytes);
    if (n > 0) {
        inbox_.append(chunk_.data(), static_cast<size_t>(n));
        const auto total = static_cast<int64_t>(inbox_.size());
        if (events_) runFromEventLoop("the data event", [&] { events_->onDataArrival(total); });
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n == 0 || errno == ECONNRESET || errno == EPIPE) {
        // Everything before the close has been announced as it came; what was not taken stays in the
        // inbox for the close event's handler.
        std::string untaken = std::move(inbox_);
        drop();
        inbox_ = std::move(untaken);
        if (events_) runFromEventLoop("the close event", [this] { events_->onClose(); });
        return;
    }
    const int error = errno;
    fail(socketErrorNumber(error), std::strerror(error));
}

int32_t QtTcpSocket::localPort() const { return boundPort_ != 0 ? boundPort_ : localPort_; }

std::string QtTcpSocket::localIP() const { return localIP_; }

}  // namespace ostrell::platform
